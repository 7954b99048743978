// morvane-screenshot: starts the window with files added and a target
// folder set, and saves a picture of it, and one of it during a run
// (OUT-running.png). With --failed-de it runs the files instead, in German,
// through a script service that fails three of them, and saves the error
// alert that ends the run. Used by scripts/screenshot.
// Usage: morvane-screenshot [--failed-de] OUT.png TARGET_DIR [FILE_OR_FOLDER...]
#include <QApplication>
#include <QMainWindow>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTimer>
#include <QTreeView>
#include <cstdio>
#include <sstream>

#include "app/add_files_panel.h"
#include "app/app_delegate.h"
#include "app/qt_alert_service.h"
#include "app/translations.h"
#include "app/update_checker.h"
#include "engine/script_service.h"
#include "platform/real_env.h"
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

// A run that goes on after failures and ends with three of its documents
// failed, for plain reasons; the others count as converted.
class FailingScript : public morvane::Script {
 public:
  explicit FailingScript(std::vector<std::string> documents) : documents_(std::move(documents)) {}
  bool execute(morvane::ScriptError* error) override {
    using morvane::FailureKind;
    using morvane::FailureReason;
    *error = {};
    for (std::size_t i = 0; i < documents_.size() && i < 3; ++i) {
      const FailureReason reason =
          i == 0   ? FailureReason::worded(FailureKind::damaged, "the file is damaged or truncated", {})
          : i == 1 ? FailureReason::worded(
                         FailureKind::passwordProtected,
                         "the document is password-protected; remove the password to convert it", {})
                   : FailureReason::worded(FailureKind::noPermission, "no permission to read %1",
                                           {documents_[i]});
      error->failedDocuments.push_back({documents_[i], reason});
    }
    error->converted = documents_.size() - error->failedDocuments.size();
    return error->failedDocuments.empty();
  }

 private:
  std::vector<std::string> documents_;
};

class FailingScripts : public morvane::ScriptService {
 public:
  // The documents the script opens, each once, in its order.
  std::unique_ptr<morvane::Script> create(const std::string& source,
                                          morvane::ScriptError*) override {
    std::vector<std::string> documents;
    std::istringstream lines(source);
    const std::string open = "  open POSIX file \"";
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with(open) && line.ends_with('"')) {
        documents.push_back(line.substr(open.size(), line.size() - open.size() - 1));
      }
    }
    return std::make_unique<FailingScript>(std::move(documents));
  }
};

}  // namespace

int main(int argc, char** argv) {
  using namespace morvane;
  QApplication app(argc, argv);
  QApplication::setApplicationName("Morvane");
  useInstalledIconThemeAsFallback();
  QStringList args = QApplication::arguments();
  const bool failed = args.size() > 1 && args[1] == "--failed-de";
  if (failed) args.removeAt(1);
  if (args.size() < 3) {
    std::fprintf(stderr,
                 "usage: morvane-screenshot [--failed-de] OUT.png TARGET_DIR "
                 "[FILE_OR_FOLDER...]\n");
    return 2;
  }
  if (failed) installTranslations(app, QLocale(QLocale::German, QLocale::Germany));
  RealEnv env(LogSink{});  // the screenshots need no diagnostic lines
  PosixSystemVersion version;
  NoScripts noScripts;
  FailingScripts failingScripts;
  ScriptService& scripts = failed ? static_cast<ScriptService&>(failingScripts) : noScripts;
  QtAlertService alerts;
  QtOpenPanel panel;
  AppDelegate delegate({env, version, scripts, alerts, panel,
                        [] { return std::make_unique<PackageManagerUpdates>(MORVANE_VERSION); },
                        contentViewFor});
  delegate.options().setPdfExport(true);
  delegate.options().setTargetFolder(std::filesystem::path(args[2].toStdString()));
  for (const QString& path : args.mid(3)) delegate.options().addFile(path.toStdString());
  delegate.setUpMainWindow();
  alerts.setParentWindow(delegate.window());
  if (failed) {
    delegate.options().setContinueAfterFailure(true);
    // The run's error alert, once it shows: its picture, then the end.
    auto* look = new QTimer(&app);
    QObject::connect(look, &QTimer::timeout, [&, look] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return;
      look->stop();
      QTimer::singleShot(300, [&, box] {
        const bool saved = box->grab().save(args[1]);
        box->done(0);
        QTimer::singleShot(0, [saved] { QCoreApplication::exit(saved ? 0 : 1); });
      });
    });
    look->start(50);
    QTimer::singleShot(800, [&] { delegate.runConversion(); });
    return QApplication::exec();
  }
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
