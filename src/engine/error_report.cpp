#include "engine/error_report.h"

#include <optional>

namespace morvane {

ErrorReport::ErrorReport(std::string reason) { fields.emplace_back("message", std::move(reason)); }

ReportedDocument documentNamedIn(const std::vector<std::pair<std::string, std::string>>& fields) {
  ReportedDocument named;
  for (const auto& [key, value] : fields) {
    if (key == "document") named.document = value;
    if (key == "message") named.reason = value;
    if (key == "details") named.details = value;
  }
  return named;
}

namespace {

// Where in the script it failed: Morvane's words, not the user's.
bool namesScriptPlace(const std::string& key) { return key == "statement" || key == "line"; }

// The one failed document the fields name, with its reason and details
// taken out of them; none when no document is named.
std::optional<ReportedDocument> takeNamedDocument(
    std::vector<std::pair<std::string, std::string>>* fields) {
  ReportedDocument failed = documentNamedIn(*fields);
  if (failed.document.empty()) return std::nullopt;
  std::erase_if(*fields, [](const auto& field) {
    return field.first == "document" || field.first == "message" || field.first == "details";
  });
  return failed;
}

}  // namespace

ErrorReport errorReportFor(const ScriptError& error, const std::string& script, bool withScript) {
  ErrorReport report;
  for (const auto& field : error.info) {
    if (withScript || !namesScriptPlace(field.first)) report.fields.push_back(field);
  }
  if (error.failedDocuments.empty()) {
    if (std::optional<ReportedDocument> named = takeNamedDocument(&report.fields)) {
      report.failedDocuments.push_back(std::move(*named));
    }
  } else {
    // The fields tell the first of them once more.
    takeNamedDocument(&report.fields);
    for (const FailedDocument& failed : error.failedDocuments) {
      report.failedDocuments.push_back(
          {failed.document, failed.reason.sentence, failed.reason.details});
    }
  }
  if (withScript) report.script = script;
  return report;
}

namespace {

std::string fieldName(const std::string& key) {
  if (key == "message") return "Reason";
  if (key == "details") return "Details";
  if (key == "document") return "Document";
  if (key == "application") return "Application";
  if (key == "statement") return "Statement";
  if (key == "line") return "Line";
  return key;
}

void appendLine(std::string& text, const std::string& name, const std::string& value) {
  if (!value.empty()) text += name + ": " + value + "\n";
}

}  // namespace

std::string errorReportText(const ReportOrigin& origin, const ErrorReport& report) {
  std::string text = "Morvane " + origin.morvane + "\n";
  for (const std::string& line : origin.backend) text += line + "\n";
  appendLine(text, "Distribution", origin.distribution);
  appendLine(text, "Kernel", origin.kernel);
  if (!report.fields.empty()) {
    text += "\nError:\n";
    for (const auto& [key, value] : report.fields) text += fieldName(key) + ": " + value + "\n";
  }
  if (!report.failedDocuments.empty()) {
    text += "\nFailed documents (" + std::to_string(report.failedDocuments.size()) + "):\n";
    for (const ReportedDocument& failed : report.failedDocuments) {
      appendLine(text, "Document", failed.document);
      appendLine(text, "Reason", failed.reason);
      appendLine(text, "Details", failed.details);
      text += "\n";
    }
    text.pop_back();
  }
  if (!report.script.empty()) {
    text += "\nScript:\n" + report.script;
    if (report.script.back() != '\n') text += "\n";
  }
  return text;
}

}  // namespace morvane
