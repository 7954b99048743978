// morvane: the desktop application.
#include <unistd.h>

#include <QApplication>
#include <QDir>
#include <QMainWindow>
#include <cstdio>

#include "app/add_files_panel.h"
#include "app/app_delegate.h"
#include "app/command_line.h"
#include "app/diagnostics_log.h"
#include "app/open_request_handler.h"
#include "app/qt_alert_service.h"
#include "app/single_instance.h"
#include "app/termination_signals.h"
#include "app/translations.h"
#include "app/update_checker.h"
#include "office/default_script_service.h"
#include "platform/real_env.h"
#include "views/content_view.h"
#include "views/symbols.h"

int main(int argc, char** argv) {
  using namespace morvane;
  QApplication::setApplicationName("Morvane");
  QApplication::setApplicationVersion(MORVANE_VERSION);
  // --help and --version are answered before the GUI starts: no display
  // is needed for them.
  if (const CommandLine early = parseCommandLine(argumentsOf(argc, argv), QDir::currentPath());
      early.action == CommandLine::Action::showHelp ||
      early.action == CommandLine::Action::showVersion) {
    std::fputs(qPrintable(early.text), stdout);
    return 0;
  }
  QApplication app(argc, argv);
  // Qt has taken its own options (-platform, -style, ...) out by now.
  const CommandLine line = parseCommandLine(QApplication::arguments(), QDir::currentPath());
  if (line.action == CommandLine::Action::usageError) {
    std::fputs(qPrintable(line.text), stderr);
    return 2;
  }
  reportUnusable(line, stderr);
  // One window per user and display: a later start hands its files to it.
  SingleInstance instance(socketPathFor(SessionPlace::current()));
  const SingleInstance::Result single = instance.start(line.request);
  if (single.role == SingleInstance::Role::handedOver) return 0;
  if (single.role == SingleInstance::Role::alone) {
    std::fprintf(stderr, "morvane: %s; this window takes no files from later starts\n",
                 qPrintable(single.problem));
  }
  TerminationSignals terminationSignals;
  QApplication::setDesktopFileName(QStringLiteral("io.github.morvane.Morvane"));
  // The window's texts and Qt's own dialogs in the user's language.
  installTranslations(app);
  useInstalledIconThemeAsFallback();

  // Diagnostic lines to the journal, not among the terminal's output.
  quietDiagnosticsOnTerminal(::isatty(STDERR_FILENO) != 0);
  RealEnv env(diagnosticsCategorySink());
  PosixSystemVersion version;
  // The service tells its progress from its own threads; the delegate's
  // run monitor passes it on to the window.
  AppDelegate* running = nullptr;
  auto progress = [&running](const ScriptProgress& p) {
    if (running != nullptr) {
      running->runMonitor().report(p.documentsOpened, p.documentsTotal, p.document);
    }
  };
  std::unique_ptr<ScriptService> scripts = makeDefaultScriptService(progress);
  QtAlertService alerts;
  QtOpenPanel openPanel;
  DBusDesktopProgress desktop(QStringLiteral("io.github.morvane.Morvane.desktop"));
  AppDelegate delegate({env, version, *scripts, alerts, openPanel,
                        [] { return std::make_unique<PackageManagerUpdates>(MORVANE_VERSION); },
                        contentViewFor, &desktop});
  running = &delegate;
  delegate.setUpMainWindow();
  alerts.setParentWindow(delegate.window());
  alerts.setBackendDescription(&delegate.backendDescription());
  alerts.setCurrentTarget([&delegate] { return delegate.options().targetFolder(); });
  openPanel.setParentWindow(delegate.window());
  // The files named on the command line, then those of later starts, are
  // opened as the desktop opens them.
  OpenRequestHandler openRequests(delegate);
  openRequests.serve(line.request);
  QObject::connect(&instance, &SingleInstance::openRequested, &openRequests,
                   &OpenRequestHandler::serve);
  // A termination signal (logout, kill) cancels a running conversion and
  // ends the event loops without another alert, so that everything is
  // cleaned up on the way out (the workers and the socket too).
  endOnTermination(terminationSignals, delegate, alerts);
  return QApplication::exec();
}
