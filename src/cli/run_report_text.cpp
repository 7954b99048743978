#include "cli/run_report_text.h"

#include <filesystem>
#include <algorithm>

namespace morvane {

namespace {

std::string exportClassName(const std::string& exportClass) {
  if (exportClass == "office") return "Office";
  if (exportClass == "iwork") return "iWork";
  if (exportClass == "pdf") return "PDF";
  return exportClass;
}

// "PDF or iWork": PDF first, as it is there for every document.
std::string alternatives(const std::vector<std::string>& classes, const char* joiner) {
  std::vector<std::string> ordered;
  for (const std::string& c : classes) {
    if (c == "pdf") ordered.insert(ordered.begin(), c);
    else ordered.push_back(c);
  }
  std::string text;
  for (std::size_t i = 0; i < ordered.size(); ++i) {
    if (i > 0) text += joiner;
    text += exportClassName(ordered[i]);
  }
  return text;
}

}  // namespace

std::string describeRun(const RunReport& report) {
  std::string text = report.converted == 0   ? std::string("No document was converted")
                     : report.converted == 1 ? std::string("1 document converted")
                                             : std::to_string(report.converted) +
                                                   " documents converted";
  if (report.copied == 1) text += ", 1 file copied";
  if (report.copied > 1) text += ", " + std::to_string(report.copied) + " files copied";
  const std::size_t skipped = report.skippedExports.size();
  if (skipped == 1) text += ", 1 export skipped: its target is a document of this run";
  if (skipped > 1) {
    text += ", " + std::to_string(skipped) +
            " exports skipped: their targets are documents of this run";
  }
  return text;
}

std::string describeMissingExport(const MissingExport& missing, bool advice) {
  std::string text = missing.extension + " files have no " +
                     (missing.classesOn.empty() ? std::string()
                                                : alternatives(missing.classesOn, " or ") + " ") +
                     "export";
  if (advice && !missing.classesWithExport.empty()) {
    text += ": choose " + alternatives(missing.classesWithExport, " or ");
  }
  return text;
}

std::string describeRunWithNames(const RunReport& report) {
  std::string text = describeRun(report);
  for (const SkippedExport& skipped : report.skippedExports) {
    text += "\nNot written: " + skipped.target;
  }
  for (const DocumentWithoutExport& d : report.withoutExport) {
    text += "\nNot converted: " + d.document + " — " + describeMissingExport(d.why, false);
  }
  return text;
}

std::string describeRunReport(const RunReport& report) {
  std::string text;
  if (report.lostTarget) {
    text += "The target folder " + *report.lostTarget +
            " was removed during the run; it was not made again, and what the run wrote into "
            "it is gone\n";
  }
  for (const FailedDocument& failed : report.failed) {
    if (!failed.document.empty()) text += "Not converted: " + failed.document + "\n";
    if (!failed.reason.sentence.empty()) text += failed.reason.sentence + "\n";
  }
  return text + describeRunWithNames(report);
}

std::string englishSummary(const Alert& alert) {
  std::string text = alert.summary;
  if (alert.report) text += (text.empty() ? "" : "\n") + describeRunReport(*alert.report);
  return text;
}

std::vector<std::string> describeNothingToConvert(const RunReport& report) {
  // The documents grouped by their reason, in the order first met.
  std::vector<std::pair<MissingExport, std::vector<std::string>>> groups;
  for (const DocumentWithoutExport& d : report.withoutExport) {
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& g) { return g.first == d.why; });
    if (group == groups.end()) group = groups.insert(groups.end(), {d.why, {}});
    group->second.push_back(std::filesystem::path(d.document).filename().string());
  }
  std::vector<std::string> lines;
  for (const auto& [why, names] : groups) {
    std::string line = describeMissingExport(why, true) + " (";
    for (std::size_t i = 0; i < names.size() && i < 3; ++i) line += (i > 0 ? ", " : "") + names[i];
    if (names.size() > 3) line += " and " + std::to_string(names.size() - 3) + " more";
    lines.push_back(line + ")");
  }
  return lines;
}

}  // namespace morvane
