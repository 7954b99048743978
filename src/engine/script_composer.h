// ScriptComposer: the text of a run's one automation script. Each planned
// record's statements are written as it is planned; composing joins them
// under one tell block per application. Also the script's string literal,
// which no path can end early.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "engine/conversion_tables.h"
#include "filelist/nq_file_data_object.h"
#include "platform/env.h"

namespace morvane {

// One planned conversion: the entry, its application, and its targets
// (targetPaths[i] gets the format targetFormats[i]).
struct FileConversionConfig {
  NQFileDataObject file;
  std::string app;
  std::vector<std::filesystem::path> targetPaths;
  std::vector<std::string> targetFormats;
};

class ScriptComposer {
 public:
  // Both outlive the composer.
  ScriptComposer(const ConversionTables& tables, Env& env) : tables_(tables), env_(env) {}

  // Writes the record's statements under its application: open, one save
  // (iWork formats) or export per target, close.
  void addRecord(const FileConversionConfig& config);

  // The script text for every record added so far, one tell block per
  // application in the order of their names; logs each target's format.
  std::string compose() const;

 private:
  // One application's statements as planned, and the target formats in
  // their order, for the log lines of composition.
  struct PlannedScript {
    std::string statements;
    std::vector<std::string> targetFormats;
  };

  const ConversionTables& tables_;
  Env& env_;
  std::map<std::string, PlannedScript> planned_;
};

// A path as one string literal of the script: between double quotes, with
// backslash, double quote, line feed, carriage return and tab escaped.
std::string scriptStringLiteral(std::string_view text);
void appendScriptStringLiteral(std::string& out, std::string_view text);

}  // namespace morvane
