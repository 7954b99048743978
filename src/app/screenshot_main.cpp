// morvane-screenshot: starts the window with files added and a target
// folder set, and saves a picture of it, and one of it during a run
// (OUT-running.png). Used by scripts/screenshot.
// Usage: morvane-screenshot OUT.png TARGET_DIR [FILE_OR_FOLDER...]
#include <QApplication>
#include <QMainWindow>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeView>
#include <cstdio>

#include "app/add_files_panel.h"
#include "app/app_delegate.h"
#include "app/qt_alert_service.h"
#include "app/update_checker.h"
#include "engine/script_service.h"
#include "views/content_view.h"
#include "views/file_list_view.h"
#include "views/symbols.h"

namespace {

class NoScripts : public morvane::ScriptService {
 public:
  std::unique_ptr<morvane::Script> create(const std::string&, morvane::ScriptError*) override {
    return nullptr;
  }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace morvane;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Morvane");
  useInstalledIconThemeAsFallback();
  const QStringList args = QApplication::arguments();
  if (args.size() < 3) {
    std::fprintf(stderr, "usage: morvane-screenshot OUT.png TARGET_DIR [FILE_OR_FOLDER...]\n");
    return 2;
  }
  RealEnv env(LogSink{});  // the screenshots need no diagnostic lines
  PosixSystemVersion version;
  NoScripts scripts;
  QtAlertService alerts;
  QtOpenPanel panel;
  AppDelegate delegate({env, version, scripts, alerts, panel,
                        [] { return std::make_unique<PackageManagerUpdates>(MORVANE_VERSION); },
                        contentViewFor});
  delegate.options().setPdfExport(true);
  delegate.options().setTargetFolder(std::filesystem::path(args[2].toStdString()));
  for (const QString& path : args.mid(3)) delegate.options().addFile(path.toStdString());
  delegate.applicationDidFinishLaunching();
  QTimer::singleShot(800, [&] {
    auto* content = static_cast<ContentView*>(delegate.contentView());
    content->fileList()->tree()->expandToDepth(0);
    QTimer::singleShot(300, [&] {
      if (!delegate.window()->grab().save(args[1])) QCoreApplication::exit(1);
      // The same window during a run, as its progress shows it.
      RunMonitor& monitor = delegate.runMonitor();
      emit monitor.started();
      emit monitor.progressed(12, 240, QStringLiteral("Summary.pages"));
      QTimer::singleShot(300, [&] {
        QString running = args[1];
        running.replace(QRegularExpression("\\.png$"), "-running.png");
        const bool saved = delegate.window()->grab().save(running);
        QCoreApplication::exit(saved ? 0 : 1);
      });
    });
  });
  return QApplication::exec();
}
