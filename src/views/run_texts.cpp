#include "views/run_texts.h"

#include <QStringList>
#include <algorithm>
#include <filesystem>
#include <utility>

namespace morvane {

namespace {

// English sources say "document(s)"; a translation has its own forms, the
// English text (no translation loaded) gets its plural here.
QString englishPlural(QString text, long long n) {
  return text.replace(QLatin1String("(s)"), n == 1 ? QString() : QStringLiteral("s"));
}

QString exportClassName(const std::string& exportClass) {
  if (exportClass == "office") return QStringLiteral("Office");
  if (exportClass == "iwork") return QStringLiteral("iWork");
  if (exportClass == "pdf") return QStringLiteral("PDF");
  return QString::fromStdString(exportClass);
}

// "PDF or iWork", PDF first (it is there for every document).
QString classList(std::vector<std::string> classes) {
  std::stable_partition(classes.begin(), classes.end(),
                        [](const std::string& c) { return c == "pdf"; });
  QString text;
  for (const std::string& c : classes) {
    text = text.isEmpty() ? exportClassName(c)
                          : RunTexts::tr("%1 or %2", "Export formats to choose from: one, another")
                                .arg(text, exportClassName(c));
  }
  return text;
}

QString str(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

const std::vector<const char*>& RunTexts::knownReasons() {
  static const std::vector<const char*> reasons = {
      QT_TRANSLATE_NOOP("morvane::RunTexts", "the disk of %1 is full"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "no permission to read %1"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "no permission to write %1"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "no permission to write in %1"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "the folder %1 is on a read-only disk"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "the folder %1 no longer exists"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "the file %1 no longer exists"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "the folder %1 cannot be reached: %2"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "the name %1 is too long for its disk"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "no such file: %1"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "the file is damaged or truncated"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "the document is password-protected; remove the password to convert it"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "LibreOffice could not write %1"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "LibreOffice crashed on this document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "LibreOffice stopped unexpectedly on this document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "LibreOffice was ended by the system on this document, perhaps for lack "
                        "of memory"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "the LibreOffice worker failed"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "it needs more memory than the %1 MB allowed per document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "it took longer than the time limit of %1"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this %1 file is a text document, not a spreadsheet"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this %1 file is a text document, not a presentation"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this %1 file is a spreadsheet, not a text document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this %1 file is a spreadsheet, not a presentation"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this %1 file is a presentation, not a text document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this %1 file is a presentation, not a spreadsheet"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this %1 file is a drawing, not a text document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this %1 file is a drawing, not a spreadsheet"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this %1 file is a drawing, not a presentation"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this %1 file is a document of another kind, not a text document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this %1 file is a document of another kind, not a spreadsheet"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this %1 file is a document of another kind, not a presentation"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this file is a text document, not a spreadsheet"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this file is a text document, not a presentation"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this file is a spreadsheet, not a text document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this file is a spreadsheet, not a presentation"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this file is a presentation, not a text document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this file is a presentation, not a spreadsheet"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this file is a drawing, not a text document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this file is a drawing, not a spreadsheet"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this file is a drawing, not a presentation"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this file is a document of another kind, not a text document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this file is a document of another kind, not a spreadsheet"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this file is a document of another kind, not a presentation"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "the file is empty (0 bytes); there is nothing to convert"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this %1 document is damaged: checking it crashed"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this %1 document is damaged: checking it took longer than %2"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this %1 document is damaged: checking it needs more memory than the %2 "
                        "MB allowed per document"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this is not a readable %1 document: it holds no document (no index)"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this is not a readable %1 document: the package folder holds no "
                        "document (no index)"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "this is not a readable %1 document: it declares file format version "
                        "%2, which no reader supports"),
      QT_TRANSLATE_NOOP("morvane::RunTexts", "this %1 document is damaged or unreadable"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "the target folder %1 was removed during the run; %2 was not written"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "the target folder %1 was removed during the run and another one made "
                        "in its place; %2 was not written"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "LibreOffice reads %1 documents but cannot write them; %2 was not "
                        "written"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "saving in the application's own format is not possible here; %1 was "
                        "not written"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "LibreOffice cannot write the format %1; %2 was not written"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "the document holds %1 table cells, but LibreOffice read none of them; "
                        "nothing was converted"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "the document holds text, but LibreOffice read none of it; nothing was "
                        "converted"),
      QT_TRANSLATE_NOOP("morvane::RunTexts",
                        "the finished export was removed from its folder before it could take "
                        "its place"),
  };
  return reasons;
}

QString RunTexts::reason(const FailureReason& reason) {
  const auto& known = knownReasons();
  const bool isKnown = std::find_if(known.begin(), known.end(), [&](const char* pattern) {
                         return reason.pattern == pattern;
                       }) != known.end();
  if (!isKnown) return str(reason.sentence);
  QString text = tr(reason.pattern.c_str());
  if (reason.values.size() == 1) return text.arg(str(reason.values[0]));
  if (reason.values.size() == 2) return text.arg(str(reason.values[0]), str(reason.values[1]));
  return reason.values.empty() ? text : str(reason.sentence);
}

QString RunTexts::counts(const RunReport& report) {
  const auto converted = static_cast<int>(report.converted);
  QStringList parts;
  parts << (converted == 0 ? tr("No document was converted", "A run's result")
                           : englishPlural(tr("%n document(s) converted", "A run's result",
                                              converted),
                                           converted));
  if (report.copied > 0) {
    const auto copied = static_cast<int>(report.copied);
    parts << englishPlural(tr("%n file(s) copied", "A run's result", copied), copied);
  }
  if (!report.skippedExports.empty()) {
    const auto skipped = static_cast<int>(report.skippedExports.size());
    parts << englishPlural(tr("%n export(s) skipped (target among this run's documents)",
                              "A run's result: exports not written, as they would have "
                              "overwritten documents of the run",
                              skipped),
                           skipped);
  }
  return parts.join(tr(", ", "Between the parts of a run's result"));
}

QString RunTexts::missingExport(const MissingExport& missing, bool advice) {
  const QString extension = str(missing.extension);
  if (missing.classesOn.empty()) {
    return tr("no export format is chosen", "Why a document is not converted");
  }
  if (!advice || missing.classesWithExport.empty()) {
    return tr("%1 files have no %2 export",
              "Why a document is not converted: its extension, the chosen export format")
        .arg(extension, classList(missing.classesOn));
  }
  return tr("%1 files have no %2 export: choose %3",
            "Why a document is not converted: its extension, the chosen export format, the "
            "formats that would convert it")
      .arg(extension, classList(missing.classesOn), classList(missing.classesWithExport));
}

QString RunTexts::summary(const RunReport& report) {
  QStringList lines;
  if (report.lostTarget) {
    lines << tr("The target folder %1 was removed during the run; it was not made again, and "
                "what the run wrote into it is gone",
                "A run's result")
                 .arg(str(*report.lostTarget));
  }
  for (const FailedDocument& failed : report.failed) {
    if (!failed.document.empty()) {
      lines << tr("Not converted: %1", "A run's result: a document that failed")
                   .arg(str(failed.document));
    }
    if (!failed.reason.sentence.empty()) lines << reason(failed.reason);
  }
  lines << counts(report);
  for (const SkippedExport& skipped : report.skippedExports) {
    lines << tr("Not written: %1", "A run's result: an export that was skipped")
                 .arg(str(skipped.target));
  }
  for (const DocumentWithoutExport& d : report.withoutExport) {
    lines << tr("Not converted: %1 — %2",
                "A run's result: a document without an export, and why")
                 .arg(str(d.document), missingExport(d.why, false));
  }
  return lines.join(QLatin1Char('\n'));
}

QString RunTexts::details(const RunReport& report) {
  QString text;
  for (const FailedDocument& failed : report.failed) {
    if (!failed.document.empty()) {
      text += tr("Document: %1", "Details of a failed run").arg(str(failed.document)) + '\n';
    }
    text += tr("Reason: %1", "Details of a failed run").arg(reason(failed.reason)) + '\n';
    if (!failed.reason.details.empty()) {
      text += tr("Details: %1", "Details of a failed run: the original words")
                  .arg(str(failed.reason.details)) +
              '\n';
    }
    text += '\n';
  }
  return text;
}

QString RunTexts::nothingToConvert(const std::vector<DocumentWithoutExport>& documents) {
  std::vector<std::pair<MissingExport, QStringList>> groups;
  for (const DocumentWithoutExport& d : documents) {
    auto group = std::find_if(groups.begin(), groups.end(),
                              [&](const auto& g) { return g.first == d.why; });
    if (group == groups.end()) group = groups.insert(groups.end(), {d.why, {}});
    group->second << str(std::filesystem::path(d.document).filename().string());
  }
  QStringList lines;
  for (const auto& [why, names] : groups) {
    QString shown = names.mid(0, 3).join(tr(", ", "Between the names of documents"));
    if (names.size() > 3) {
      const auto more = static_cast<int>(names.size() - 3);
      shown = englishPlural(tr("%1 and %n more", "Document names, and how many are not named",
                               more),
                            more)
                  .arg(shown);
    }
    lines << tr("%1 (%2)", "Why documents are not converted, and which").arg(missingExport(why, true), shown);
  }
  return lines.join(QLatin1Char('\n'));
}

QString RunTexts::lastRun(const RunReport& report) {
  if (report.cancelled) {
    return tr("Cancelled after %1 of %2",
              "The last run's line when it was cancelled: documents converted, documents planned")
        .arg(report.converted)
        .arg(report.planned);
  }
  QString line = tr("%1 converted, %2 copied, %3 failed",
                    "The last run's counts: documents converted, files copied, failed")
                     .arg(report.converted)
                     .arg(report.copied)
                     .arg(report.failed.size());
  if (!report.withoutExport.empty()) {
    const auto without = static_cast<int>(report.withoutExport.size());
    line += englishPlural(tr(", %n without export", "The last run's counts: documents the chosen "
                                                    "formats give no export",
                             without),
                          without);
  }
  return line;
}

}  // namespace morvane
