// AppDelegate: the one long-lived object of the desktop application. It
// owns the options, the main window with its toolbar, menus and About
// window, and the update checker; it adds files (open panel, Open command,
// open requests from the desktop), removes the selected ones, and turns
// Run into a batch conversion with a new ScriptRunner and
// ConversionController each time.
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
class QIcon;
class QToolBar;
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
  OptionsSignals& optionsSignals() { return *signals_; }
  QMainWindow* window() const { return window_.get(); }
  QWidget* contentView() const { return contentView_; }
  UpdateChecker& updaterController() { return *updaterController_; }
  // Executes each run's script while the window stays alive, with its
  // progress and Cancel.
  RunMonitor& runMonitor() { return runMonitor_; }
  // What the conversions run with, looked up once (the About window and
  // the error reports share it).
  BackendDescription& backendDescription() { return *backend_; }
  // A run longer than this that ends while the window is not active is
  // told in a desktop notification.
  void setNotifyAfter(std::chrono::milliseconds after) { notifyAfter_ = after; }
  const QString plusItemIdentifier = QStringLiteral("plusToolbarItem");

  // The toolbar of systems 26.0.0 and later knows one item, "+".
  QStringList toolbarDefaultItemIdentifiers() const { return {plusItemIdentifier}; }
  QStringList toolbarAllowedItemIdentifiers() const { return {plusItemIdentifier}; }
  QStringList toolbarSelectableItemIdentifiers() const { return {}; }
  // A new "+" item for "plusToolbarItem", else none. The item belongs to
  // `parent`.
  QAction* itemForItemIdentifier(const QString& identifier, QObject* parent);

  // Creates the window: at least 800 x 600, large enough for the
  // content's own size at first, resizable from there; toolbar by system
  // version; centred, shown and active.
  void applicationDidFinishLaunching() { setUpMainWindow(); }
  void setUpMainWindow();

  std::optional<std::filesystem::path> showOpenTargetFolderPanel() override;
  std::vector<std::filesystem::path> showAddFilesPanel();

  // Open requests from the desktop: a folder is flattened into the regular
  // files and document packages below it (as the add-files panel chooses
  // them), anything else (a document package, a missing path too) becomes
  // one entry.
  // Texts are paths or URLs; URLs other than file URLs are ignored.
  void openFiles(const QStringList& pathsOrUrls);
  void openURLs(const QList<QUrl>& urls);
  void openFileURL(const QUrl& url);
  void addRegularFilesInFolder(const std::filesystem::path& folder);

 signals:
  // A run has ended: "42 converted, 3 copied, 1 failed" (a cancelled one:
  // "Cancelled after 47 of 100") and its target.
  void lastRunChanged(const QString& summary, const QString& targetFolder);

 public slots:
  // Adds each chosen item on its own turn of the event loop, in panel order.
  void addFilesFromPanel() override;
  // The Open command: adds the chosen items at once.
  void openDocument();
  // Removes the selected entries and selects the row that follows them.
  void removeSelectedFiles() override;
  void runConversion() override;
  void cancelConversion() override { runMonitor_.cancel(); }
  void checkForUpdates();
  // The About window, modal to the main window.
  void showAbout();
  // Ends the application at once, for a termination signal (logout, kill,
  // Ctrl+C): a running conversion is cancelled and its script waited for
  // as the run unwinds, no other run starts, no desktop notification is
  // sent, and every event loop ends, the application's with 0. The alert
  // service's questions on the way out are its own to answer
  // (endOnTermination).
  void terminate();

 protected:
  // Closing the window while a run goes on asks whether to cancel it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void showRunInTitle();
  void showRunInContent();
  void showRunOnDesktop();
  void notifyEnd(RunOutcome outcome);
  // Adds the content's remove command to the window's toolbar.
  void installToolbar(QToolBar* toolbar);
  QToolBar* installWindowToolbar();
  void installMenus();

  AppServices services_;
  std::unique_ptr<MorvaneOptions> options_;
  std::unique_ptr<OptionsSignals> signals_;
  std::unique_ptr<UpdateChecker> updaterController_;
  std::unique_ptr<BackendDescription> backend_;
  std::unique_ptr<QMainWindow> window_;
  QWidget* contentView_ = nullptr;  // owned by the window
  RunMonitor runMonitor_;
  bool closeAfterRun_ = false;
  bool terminating_ = false;
  std::chrono::milliseconds notifyAfter_{10'000};
  std::chrono::steady_clock::time_point runStarted_;
};

// Ends the application on the first of `termination`: `alerts` shows nothing
// more (an open alert closes, each later one is answered as Cancel), then
// delegate.terminate(). All three outlive the connection.
void endOnTermination(TerminationSignals& termination, AppDelegate& delegate,
                      QtAlertService& alerts);

// The main window's content view (file list and side bar) for `delegate`.
QWidget* contentViewFor(AppDelegate& delegate);

// The application's icon: the icon theme's under the desktop entry's name
// (QGuiApplication::desktopFileName) or "morvane", else the one built in.
QIcon applicationIcon();

}  // namespace morvane
