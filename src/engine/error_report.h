// The error report a user may send after a failed run: where it happened
// (Morvane's, LibreOffice's and the iWork reader's versions, the
// distribution and the kernel), what failed (each failed document with its
// reason and the words behind it), and the script itself only where it ran
// in the user's own applications. Nothing of it is stored.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/script_service.h"

namespace morvane {

// One document a run could not convert.
struct ReportedDocument {
  std::string document;
  std::string reason;   // in the user's words
  std::string details;  // the words the reason explains (LibreOffice's); may be empty
  bool operator==(const ReportedDocument&) const = default;
};

// What failed, for the report.
struct ErrorReport {
  ErrorReport() = default;
  // A failure that is no document's (an unusable target folder): its
  // reason as the one field "message". Implicit: a text is a report.
  ErrorReport(std::string reason);
  ErrorReport(const char* reason) : ErrorReport(std::string(reason)) {}

  // What the service told beyond the failed documents, as named fields.
  std::vector<std::pair<std::string, std::string>> fields;
  std::vector<ReportedDocument> failedDocuments;
  // The script's text; empty unless it ran in the user's own applications.
  std::string script;
};

// Where a report comes from.
struct ReportOrigin {
  std::string morvane;               // Morvane's version, "0.1.0"
  std::vector<std::string> backend;  // "LibreOffice 7.4.7.2", "iWork reader: …"; may be empty
  std::string distribution;          // "Debian GNU/Linux 12 (bookworm)"; may be empty
  std::string kernel;                // "6.1.0-18-amd64"; may be empty
};

// The report of a failed script. The failed documents are those the error
// lists, else the one its fields name; their reasons and details leave the
// fields. Where the script did not run in the user's own applications
// (`withScript` false: ScriptService::drivesUserApplications), neither the
// script nor the statement and line it failed at are told: they are
// Morvane's own words for what LibreOffice did.
ErrorReport errorReportFor(const ScriptError& error, const std::string& script, bool withScript);

// The document the fields of a failed script name ("document"), with its
// reason ("message") and details ("details"), each the last of its name;
// each empty where the fields do not give it.
ReportedDocument documentNamedIn(const std::vector<std::pair<std::string, std::string>>& fields);

// The report as the text of a mail: the origin, one line each, then what
// failed, then the script where there is one.
std::string errorReportText(const ReportOrigin& origin, const ErrorReport& report);

}  // namespace morvane
