// RunTexts: a run's report in the user's language, for the window: the
// counts with their plural forms, each failed document and why (the known
// reasons translated, others in the words they came in), the exports left
// out and the documents without an export; and why the list greys an
// entry or Run cannot start.
#pragma once

#include <QCoreApplication>
#include <QString>
#include <vector>

#include "engine/export_formats.h"
#include "engine/run_report.h"
#include "filelist/nq_file_data_object.h"

namespace morvane {

class RunTexts {
  Q_DECLARE_TR_FUNCTIONS(morvane::RunTexts)

 public:
  // "42 documents converted, 3 files copied"; "No document was converted".
  static QString counts(const RunReport& report);
  // The text under a run's alert: the removed target folder, each failed
  // document and why, the counts, the exports not written and the
  // documents without an export.
  static QString summary(const RunReport& report);
  // The alert's details: each failed document, why, and the original words.
  static QString details(const RunReport& report);
  // The reason in the user's language where its wording is known, else
  // its sentence as it came.
  static QString reason(const FailureReason& reason);
  // "docx files have no Office export" and, with `advice`, ": choose PDF or iWork".
  static QString missingExport(const MissingExport& missing, bool advice);
  // The hint of a run that would make no file: each reason with the
  // documents it holds for; empty when the run would make something.
  static QString nothingToConvert(const std::vector<DocumentWithoutExport>& documents);
  // The side bar's line about an ended run.
  static QString lastRun(const RunReport& report);

  // Every reason wording the window translates (patterns of FailureReason).
  static const std::vector<const char*>& knownReasons();
};

}  // namespace morvane
