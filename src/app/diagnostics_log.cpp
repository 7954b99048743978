#include "app/diagnostics_log.h"

#include <QString>

Q_LOGGING_CATEGORY(morvaneDiagnostics, "morvane.diagnostics", QtInfoMsg)

namespace morvane {

LogSink diagnosticsCategorySink() {
  return [](std::string_view line) {
    qCInfo(morvaneDiagnostics).noquote()
        << QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size()));
  };
}

void quietDiagnosticsOnTerminal(bool stderrIsTerminal) {
  // Rules set here rank below QT_LOGGING_CONF and QT_LOGGING_RULES.
  if (stderrIsTerminal) QLoggingCategory::setFilterRules(QStringLiteral("morvane.diagnostics.info=false"));
}

}  // namespace morvane
