// AppDelegate: the one long-lived object of the desktop application. It
// owns the options, the main window (MainWindow), the way files come in
// (FileIntake), the run's presentation (RunPresenter) and the update
// checker; it removes the selected files, and turns Run into a batch
// conversion with a new ScriptRunner and ConversionController each time.
#pragma once

#include <QObject>
#include <QStringList>
#include <QUrl>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "app/about_dialog.h"
#include "app/add_files_panel.h"
#include "app/desktop_progress.h"
#include "app/file_intake.h"
#include "app/main_window.h"
#include "app/run_presenter.h"
#include "views/content_commands.h"
#include "views/options_signals.h"
#include "app/run_monitor.h"
#include "app/update_checker.h"
#include "engine/alerts.h"
#include "engine/script_runner.h"
#include "engine/script_service.h"
#include "platform/env.h"
#include "options/morvane_options.h"
#include "options/system_version.h"

class QAction;
class QMainWindow;
class QWidget;

namespace morvane {

class AppDelegate;
class QtAlertService;
class TerminationSignals;

// What the delegate is given; all of it outlives the delegate.
struct AppServices {
  Env& env;
  const SystemVersion& version;
  ScriptService& scripts;
  AlertService& alerts;
  OpenPanel& openPanel;
  // Called once, when the delegate is made.
  std::function<std::unique_ptr<UpdateChecker>()> makeUpdateChecker;
  // Makes the main window's content for the options (the content view).
  std::function<QWidget*(AppDelegate&)> makeContentView;
  // Shows a run's progress on the desktop; none: only in the window.
  DesktopProgress* desktop = nullptr;
  // Tells what the conversions run with, for the About window (called on
  // a thread of its own); none: describeScriptBackend, which starts a
  // worker.
  BackendDescription::Describe describeBackend = {};
};

class AppDelegate : public QObject, public ContentCommands {
  Q_OBJECT
 public:
  explicit AppDelegate(AppServices services, QObject* parent = nullptr);
  ~AppDelegate() override;

  // The options exist from construction on, so open requests that come
  // before the window is set up are served.
  MorvaneOptions& options() { return *options_; }
  Env& env() { return services_.env; }
  const AppServices& services() const { return services_; }
  OptionsSignals& optionsSignals() { return *signals_; }
  QMainWindow* window() const { return mainWindow_.window(); }
  QWidget* contentView() const { return mainWindow_.contentView(); }
  MainWindow& mainWindow() { return mainWindow_; }
  FileIntake& fileIntake() { return *intake_; }
  UpdateChecker& updateChecker() { return *updateChecker_; }
  // Executes each run's script while the window stays alive, with its
  // progress and Cancel.
  RunMonitor& runMonitor() { return runMonitor_; }
  // What the conversions run with, looked up once (the About window and
  // the error reports share it).
  BackendDescription& backendDescription() { return *backend_; }
  // A run longer than this that ends while the window is not active is
  // told in a desktop notification.
  void setNotifyAfter(std::chrono::milliseconds after) { presenter_.setNotifyAfter(after); }
  // Whether the application is ending on a termination signal.
  bool terminating() const { return terminating_; }

  // Creates the main window (MainWindow::setUp) and follows the runs in it.
  void setUpMainWindow();

  std::optional<std::filesystem::path> showOpenTargetFolderPanel() override;
  std::vector<std::filesystem::path> showAddFilesPanel() { return intake_->showAddFilesPanel(); }

  // Open requests from the desktop (FileIntake::openFiles and the rest).
  void openFiles(const QStringList& pathsOrUrls) { intake_->openFiles(pathsOrUrls); }
  void openURLs(const QList<QUrl>& urls) { intake_->openURLs(urls); }
  void openFileURL(const QUrl& url) { intake_->openFileURL(url); }
  void addRegularFilesInFolder(const std::filesystem::path& folder) {
    intake_->addRegularFilesInFolder(folder);
  }

 signals:
  // A run has ended: "42 converted, 3 copied, 1 failed" (a cancelled one:
  // "Cancelled after 47 of 100") and its target.
  void lastRunChanged(const QString& summary, const QString& targetFolder);

 public slots:
  // Adds each chosen item on its own turn of the event loop, in panel order.
  void addFilesFromPanel() override { intake_->addFilesFromPanel(); }
  // The Open command: adds the chosen items at once, unless a run goes on.
  void openDocument();
  // Removes the selected entries and selects the row that follows them.
  void removeSelectedFiles() override;
  void runConversion() override;
  void cancelConversion() override { runMonitor_.cancel(); }
  void checkForUpdates();
  // The About window, modal to the main window.
  void showAbout() { mainWindow_.showAbout(); }
  // Ends the application at once, for a termination signal (logout, kill,
  // Ctrl+C): a running conversion is cancelled and its script waited for
  // as the run unwinds, no other run starts, no desktop notification is
  // sent, and every event loop ends, the application's with 0. The alert
  // service's questions on the way out are its own to answer
  // (endOnTermination).
  void terminate();

 private:
  AppServices services_;
  std::unique_ptr<MorvaneOptions> options_;
  std::unique_ptr<OptionsSignals> signals_;
  std::unique_ptr<UpdateChecker> updateChecker_;
  std::unique_ptr<BackendDescription> backend_;
  std::unique_ptr<FileIntake> intake_;
  RunMonitor runMonitor_;
  MainWindow mainWindow_;
  RunPresenter presenter_;
  bool terminating_ = false;
};

// Ends the application on the first of `termination`: `alerts` shows nothing
// more (an open alert closes, each later one is answered as Cancel), then
// delegate.terminate(). All three outlive the connection.
void endOnTermination(TerminationSignals& termination, AppDelegate& delegate,
                      QtAlertService& alerts);

// The main window's content view (file list and side bar) for `delegate`.
QWidget* contentViewFor(AppDelegate& delegate);

}  // namespace morvane
