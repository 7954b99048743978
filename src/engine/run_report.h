// RunReport: what one run did, as data: how many documents were converted
// and files copied, each document that failed and why, the exports left
// out and the documents the chosen formats give no export. The engine
// says none of it in words; the command line tells it in English and the
// window in the user's language.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "engine/failure_reason.h"
#include "engine/script_service.h"

namespace morvane {

// How a run ended: with the success alert, with the error alert, at a
// question the user declined (or could not answer), cancelled, or before
// it started because no file at all would be made (every document of the
// list lacks an export in the chosen formats, and nothing is copied).
enum class RunOutcome { succeeded, failed, endedAtQuestion, cancelled, nothingToConvert };

// Why the chosen export formats give a document no export: its extension
// ("docx"), the export classes that are on ("office"), and those that
// would give it one ("iwork", "pdf"), in the order of the option flags.
struct MissingExport {
  std::string extension;
  std::vector<std::string> classesOn;
  std::vector<std::string> classesWithExport;
  bool operator==(const MissingExport&) const = default;
};

struct DocumentWithoutExport {
  std::string document;
  MissingExport why;
};

// An export not written because its target is one of the run's own
// source documents.
struct SkippedExport {
  std::string document;
  std::string target;
};

struct RunReport {
  std::size_t converted = 0;  // documents whose exports all landed
  std::size_t copied = 0;     // non-convertible files copied
  // Each document that failed and why; a failure that is no document's
  // (the script could not run) has an empty document.
  std::vector<FailedDocument> failed = {};
  std::vector<SkippedExport> skippedExports = {};
  std::vector<DocumentWithoutExport> withoutExport = {};
  bool cancelled = false;
  std::size_t planned = 0;  // documents the run set out to convert
  // The target folder, when it was removed during the run.
  std::optional<std::string> lostTarget = std::nullopt;
};

}  // namespace morvane
