// The format tables a run decides by: which files it converts at all, and
// the target extension each export class gives a source extension. The run
// (ScriptRunner, ConversionController) and the file list, which shows what
// a run would leave out, read the same tables.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_report.h"
#include "filelist/nq_file_data_object.h"

namespace morvane {

// Source extension -> export class ("office", "iwork", "pdf") -> target
// extension.
using ExportFormatTable = std::map<std::string, std::map<std::string, std::string>>;
const ExportFormatTable& exportFormatTable();

// The target extensions of `extension` for the export classes that are on
// in `exportClassFlags` (shaped as MorvaneOptions::exportClassFlags), in
// the order of the flags; empty for an extension without a table row.
std::vector<std::string> exportTargets(const std::string& extension,
                                       const std::map<std::string, bool>& exportClassFlags);

// True for pages, numbers, key, docx, xlsx and pptx, exactly (no case
// folding): the extensions a file needs to be converted.
bool isConvertibleExtension(std::string_view extension);

// What a run does with one entry of its walk.
enum class RunTreatment {
  converted,     // planned with at least one target
  walked,        // a folder: its contents decide for themselves
  notConverted,  // copied or left, as the target options say
};

// A document package (a folder named *.pages, *.numbers, *.key) counts as
// one document; other folders are walked; a file or package is converted
// when its extension is convertible and one of the classes that are on
// gives it a target. Finder aliases are not told apart (that needs a read
// of the file); a run copies or skips them. Pure: no file-system access.
RunTreatment runTreatment(const NQFileDataObject& entry,
                          const std::map<std::string, bool>& exportClassFlags);

// Why the classes that are on give no export to a document with
// `extension`; nothing when one of them gives it one, or when the
// extension has no table row.
std::optional<MissingExport> missingExport(const std::string& extension,
                                           const std::map<std::string, bool>& exportClassFlags);

// The same for an entry a run would convert but for its formats: a file
// with a convertible extension or a document package. Nothing for any
// other entry (folders, special files, files that are copied or left).
std::optional<MissingExport> missingExport(const NQFileDataObject& entry,
                                           const std::map<std::string, bool>& exportClassFlags);

// What a run of a list would make, decided as the run decides, without
// file-system access (aliases count as files).
struct RunForecast {
  std::size_t converted = 0;  // documents with at least one export
  std::size_t copied = 0;     // files that would be copied
  std::vector<DocumentWithoutExport> withoutExport;

  // No file at all would be made, and that for want of exports.
  bool convertsNothing() const { return converted == 0 && copied == 0 && !withoutExport.empty(); }
};
RunForecast forecastRun(const std::vector<NQFileDataObject>& list,
                        const std::map<std::string, bool>& exportClassFlags, bool copyOthers);

}  // namespace morvane
