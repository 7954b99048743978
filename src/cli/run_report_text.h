// A run's report in English words, as the command line tells it: the
// counts ("42 documents converted, 3 files copied"), each failed document
// and why, the exports left out and the documents without an export.
#pragma once

#include <string>
#include <vector>

#include "engine/alerts.h"
#include "engine/run_report.h"

namespace morvane {

// "42 documents converted, 3 files copied"; "No document was converted";
// with skipped exports ", 1 export skipped: its target is a document of
// this run".
std::string describeRun(const RunReport& report);

// describeRun and, below it, one line per skipped export naming its
// target ("Not written: …") and per document without an export ("Not
// converted: a.docx — docx files have no Office export").
std::string describeRunWithNames(const RunReport& report);

// The whole text under a run's alert: the removed target folder, each
// failed document and why ("Not converted: …" and the reason below it),
// then describeRunWithNames.
std::string describeRunReport(const RunReport& report);

// The text under an alert: its summary, and its run's report in words.
std::string englishSummary(const Alert& alert);

// "docx files have no Office export" and, with `advice`, ": choose PDF or
// iWork".
std::string describeMissingExport(const MissingExport& missing, bool advice);

// The line of a run that would make no file, one per reason:
// "docx files have no Office export: choose PDF or iWork (a.docx, b.docx)".
std::vector<std::string> describeNothingToConvert(const RunReport& report);

}  // namespace morvane
