// Where the window's diagnostic lines go: the Qt logging category
// "morvane.diagnostics", whose messages reach the journal when the desktop
// started Morvane, never its standard output. Started from a terminal the
// lines stay quiet unless QT_LOGGING_RULES turns them on.
#pragma once

#include <QLoggingCategory>

#include "platform/env.h"
#include "platform/real_env.h"

Q_DECLARE_LOGGING_CATEGORY(morvaneDiagnostics)

namespace morvane {

// A sink for RealEnv: each line an info message of the category.
LogSink diagnosticsCategorySink();

// Turns the category's lines off where standard error is a terminal (a
// user's QT_LOGGING_RULES still decides).
void quietDiagnosticsOnTerminal(bool stderrIsTerminal);

}  // namespace morvane
