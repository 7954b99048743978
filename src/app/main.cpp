// morvane: the desktop application.
#include <QApplication>
#include <QMainWindow>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "app/add_files_panel.h"
#include "app/app_delegate.h"
#include "app/qt_alert_service.h"
#include "app/update_checker.h"
#include "office/default_script_service.h"
#include "views/content_view.h"

#ifndef MORVANE_TRANSLATIONS_DIR
#define MORVANE_TRANSLATIONS_DIR "/usr/local/share/morvane/translations"
#endif

int main(int argc, char** argv) {
  using namespace morvane;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Morvane");
  QApplication::setApplicationVersion(MORVANE_VERSION);
  QApplication::setDesktopFileName("morvane");
  QTranslator translator;
  if (translator.load(QLocale(), "morvane", "_", MORVANE_TRANSLATIONS_DIR)) {
    QApplication::installTranslator(&translator);
  }

  RealEnv env;
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
  DBusDesktopProgress desktop(QStringLiteral("morvane.desktop"));
  AppDelegate delegate({env, version, *scripts, alerts, openPanel,
                        [] { return std::make_unique<PackageManagerUpdates>(MORVANE_VERSION); },
                        contentViewFor, &desktop});
  running = &delegate;
  // Files handed over on the command line (paths or file URLs) are opened
  // as the desktop opens them.
  delegate.openFiles(QApplication::arguments().mid(1));
  delegate.applicationDidFinishLaunching();
  alerts.setParentWindow(delegate.window());
  openPanel.setParentWindow(delegate.window());
  return QApplication::exec();
}
