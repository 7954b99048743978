#include "app/app_delegate.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QFileInfo>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QToolBar>

#include "app/qt_alert_service.h"
#include "app/termination_signals.h"
#include "app/toolbar_buttons.h"
#include "views/content_view.h"
#include "views/run_texts.h"
#include "engine/conversion_controller.h"
#include "engine/script_runner.h"
#include "filelist/regular_files.h"
#include "office/default_script_service.h"

// The resources of this library; a name outside any namespace.
static void initResources() { Q_INIT_RESOURCE(morvane_ui); }

namespace morvane {

AppDelegate::AppDelegate(AppServices services, QObject* parent)
    : QObject(parent),
      services_(std::move(services)),
      options_(std::make_unique<MorvaneOptions>(services_.version, services_.env)),
      signals_(std::make_unique<OptionsSignals>(*options_)),
      updaterController_(services_.makeUpdateChecker()),
      backend_(std::make_unique<BackendDescription>(
          services_.describeBackend ? services_.describeBackend : describeScriptBackend)) {}

AppDelegate::~AppDelegate() = default;

QAction* AppDelegate::itemForItemIdentifier(const QString& identifier, QObject* parent) {
  if (identifier != plusItemIdentifier) return nullptr;
  auto* item = new QAction(tr("+", "Toolbar item that adds files"), parent);
  item->setObjectName(plusItemIdentifier);
  item->setToolTip(tr("Add files for conversion…", "Tooltip for add files button"));
  // In the toolbar's overflow menu the same action appears as "+" and
  // adds files like the item itself.
  connect(item, &QAction::triggered, this, &AppDelegate::addFilesFromPanel);
  return item;
}

void AppDelegate::setUpMainWindow() {
  window_ = std::make_unique<QMainWindow>();
  window_->resize(480, 300);
  window_->setMinimumSize(800, 600);
  QApplication::setWindowIcon(applicationIcon());
  window_->setWindowIcon(QApplication::windowIcon());
  // The toolbar comes before the content, so that Tab goes as the window
  // reads, from the top left: the toolbar's buttons, the list, the side bar.
  QToolBar* toolbar = installWindowToolbar();
  contentView_ = services_.makeContentView(*this);
  window_->setCentralWidget(contentView_);
  installToolbar(toolbar);
  installMenus();
  showRunInTitle();
  showRunInContent();
  showRunOnDesktop();
  window_->installEventFilter(this);
  window_->ensurePolished();
  // Room for the content's own size; from there the content follows the window.
  window_->resize(window_->sizeHint().expandedTo(window_->minimumSize()));
  window_->show();
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    QRect frame = window_->frameGeometry();
    frame.moveCenter(screen->availableGeometry().center());
    window_->move(frame.topLeft());
  }
  window_->raise();
  window_->activateWindow();
}

// One add/remove pair: the window toolbar's own "+" stands for the
// content's "Add files" too. The unified toolbar has no remove item of its
// own and takes the content's "Remove from list"; the older form's "-" is
// its remove.
void AppDelegate::installToolbar(QToolBar* toolbar) {
  auto* content = qobject_cast<ContentView*>(contentView_);
  if (toolbar->objectName() != "MainToolbar" || content == nullptr) return;
  toolbar->addAction(content->deleteAction());
}

QToolBar* AppDelegate::installWindowToolbar() {
  if (services_.version.current().isAtLeast(26, 0, 0)) {
    auto* toolbar = new QToolBar(window_.get());
    toolbar->setObjectName("MainToolbar");
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar->setMovable(false);
    for (const QString& id : toolbarDefaultItemIdentifiers()) {
      QAction* item = itemForItemIdentifier(id, toolbar);
      if (item == nullptr) continue;
      toolbar->addAction(item);
      // Shown by its sign; named for a screen reader by what it does.
      toolbar->widgetForAction(item)->setAccessibleName(
          tr("Add files", "Accessible name of the toolbar item that adds files"));
    }
    window_->addToolBar(toolbar);
    return toolbar;
  }
  auto* bar = new QToolBar(window_.get());  // no identifier: holds the title-bar buttons
  bar->setMovable(false);
  bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
  bar->addWidget(new ToolbarButtons(*this, bar));
  window_->addToolBar(bar);
  return bar;
}

void AppDelegate::installMenus() {
  QMenu* file = window_->menuBar()->addMenu(tr("&File", "Main menu"));
  QAction* open = file->addAction(tr("Open…", "Menu command that adds files"), this,
                                  &AppDelegate::openDocument);
  open->setShortcut(QKeySequence::Open);
  // The run works on a fixed list: nothing is added while it goes on.
  connect(&runMonitor_, &RunMonitor::started, open, [this, open] {
    open->setEnabled(false);
    for (QToolBar* toolbar : window_->findChildren<QToolBar*>()) toolbar->setEnabled(false);
  });
  connect(&runMonitor_, &RunMonitor::finished, open, [this, open] {
    open->setEnabled(true);
    for (QToolBar* toolbar : window_->findChildren<QToolBar*>()) toolbar->setEnabled(true);
  });
  file->addSeparator();
  // Closing the window ends the application; during a run it asks first.
  QAction* quit = file->addAction(tr("Quit", "Menu command that ends the application"),
                                  window_.get(), &QWidget::close, Qt::QueuedConnection);
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  QMenu* help = window_->menuBar()->addMenu(tr("&Help", "Main menu"));
  help->addAction(tr("Check for Updates…", "Menu command that checks for updates"), this,
                  &AppDelegate::checkForUpdates);
  help->addSeparator();
  QAction* about = help->addAction(
      tr("About %1", "Menu command that shows the About window")
          .arg(QApplication::applicationDisplayName()),
      this, &AppDelegate::showAbout);
  about->setObjectName("aboutAction");
  about->setMenuRole(QAction::AboutRole);
}

void AppDelegate::showAbout() {
  AboutDialog about(*backend_, window_.get());
  about.exec();
}

std::optional<std::filesystem::path> AppDelegate::showOpenTargetFolderPanel() {
  return services_.alerts.showOpenTargetFolderPanel();
}

std::vector<std::filesystem::path> AppDelegate::showAddFilesPanel() {
  return services_.openPanel.run();
}

void AppDelegate::addFilesFromPanel() {
  for (const std::filesystem::path& path : showAddFilesPanel()) {
    QMetaObject::invokeMethod(
        this, [this, path] { options_->addFile(path); }, Qt::QueuedConnection);
  }
}

void AppDelegate::openDocument() {
  if (runMonitor_.running()) return;
  for (const std::filesystem::path& path : services_.openPanel.run()) options_->addFile(path);
}

void AppDelegate::openFiles(const QStringList& pathsOrUrls) {
  QList<QUrl> urls;
  for (const QString& text : pathsOrUrls) {
    // A URL has a scheme ("file:", "https:"); anything else, or a file that
    // happens to have a colon in its name, is a path, relative ones taken
    // from the current folder.
    const QUrl url(text, QUrl::StrictMode);
    const bool isUrl = url.isValid() && url.scheme().size() > 1 && !QFileInfo::exists(text);
    urls.push_back(isUrl ? url : QUrl::fromLocalFile(QFileInfo(text).absoluteFilePath()));
  }
  openURLs(urls);
}

void AppDelegate::openURLs(const QList<QUrl>& urls) {
  for (const QUrl& url : urls) openFileURL(url);
}

void AppDelegate::openFileURL(const QUrl& url) {
  if (!url.isLocalFile()) return;
  const std::filesystem::path path = url.toLocalFile().toStdString();
  if (services_.env.stat(path).isDir && !isDocumentPackage(path)) {
    addRegularFilesInFolder(path);
  } else {
    options_->addFile(path);
  }
}

void AppDelegate::addRegularFilesInFolder(const std::filesystem::path& folder) {
  for (const std::filesystem::path& file : documentsIn(folder, services_.env)) {
    options_->addFile(file);
  }
}

namespace {

// The entry that takes the selection once the selected ones are gone: in
// the list holding the first selected entry (depth first), the next
// unselected sibling after it, else the nearest one before it, else the
// folder holding it (when that stays).
std::optional<Uuid> entryAfterRemoval(const std::vector<NQFileDataObject>& list,
                                      const std::unordered_set<Uuid>& selected,
                                      const NQFileDataObject* holder = nullptr) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (selected.contains(list[i].id)) {
      for (std::size_t j = i + 1; j < list.size(); ++j) {
        if (!selected.contains(list[j].id)) return list[j].id;
      }
      if (i > 0) return list[i - 1].id;
      if (holder != nullptr) return holder->id;
      return std::nullopt;
    }
    if (list[i].dirContents) {
      if (auto found = entryAfterRemoval(*list[i].dirContents, selected, &list[i])) return found;
    }
  }
  return std::nullopt;
}

}  // namespace

void AppDelegate::removeSelectedFiles() {
  const std::optional<Uuid> next = entryAfterRemoval(options_->fileList(), options_->selection());
  options_->removeSelectedEntries();
  if (next) options_->setSelection({*next});
}

void AppDelegate::runConversion() {
  if (runMonitor_.running() || terminating_) return;  // one run at a time
  const EngineServices engine{services_.env,     services_.scripts,
                              services_.alerts,  services_.version,
                              &runMonitor_.cancellation(), &runMonitor_};
  ScriptRunner runner(*options_, engine);
  const RunOutcome outcome = ConversionController(*options_, runner, engine).runBatchConversion();
  // A list that would make nothing does not start (the side bar says why).
  if (outcome != RunOutcome::endedAtQuestion && outcome != RunOutcome::nothingToConvert) {
    const QString folder = options_->targetFolder()
                               ? QString::fromStdString(options_->targetFolder()->string())
                               : QString();
    emit lastRunChanged(RunTexts::lastRun(runner.report()), folder);
  }
  if (closeAfterRun_ && window_) {
    closeAfterRun_ = false;
    window_->close();
  }
}

// "Morvane – 12 of 240" while a run goes on.
void AppDelegate::showRunInTitle() {
  window_->setWindowTitle(QApplication::applicationName());
  connect(&runMonitor_, &RunMonitor::progressed, window_.get(),
          [this](int opened, int total) {
            window_->setWindowTitle(
                tr("%1 – %2 of %3", "Window title while converting: the application, the "
                                    "document being converted, how many there are")
                    .arg(QApplication::applicationName())
                    .arg(opened)
                    .arg(total));
          });
  connect(&runMonitor_, &RunMonitor::finished, window_.get(),
          [this] { window_->setWindowTitle(QApplication::applicationName()); });
}

// The content view (when it is the window's own) follows the run.
void AppDelegate::showRunInContent() {
  auto* content = qobject_cast<ContentView*>(contentView_);
  if (content == nullptr) return;
  connect(&runMonitor_, &RunMonitor::started, content, &ContentView::showRunStarted);
  connect(&runMonitor_, &RunMonitor::progressed, content, &ContentView::showRunProgress);
  connect(&runMonitor_, &RunMonitor::finished, content, &ContentView::showRunEnded);
  connect(this, &AppDelegate::lastRunChanged, content, &ContentView::showLastRun);
}

// The launcher entry follows the run; it starts the clock of the
// notification at its end.
void AppDelegate::showRunOnDesktop() {
  connect(&runMonitor_, &RunMonitor::started, this,
          [this] { runStarted_ = std::chrono::steady_clock::now(); });
  // Told as the script ends, before the window's own alert asks for the user.
  connect(&runMonitor_, &RunMonitor::finished, this, [this] {
    notifyEnd(runMonitor_.lastSucceeded()   ? RunOutcome::succeeded
              : runMonitor_.lastCancelled() ? RunOutcome::cancelled
                                            : RunOutcome::failed);
  });
  if (services_.desktop == nullptr) return;
  DesktopProgress& desktop = *services_.desktop;
  connect(&runMonitor_, &RunMonitor::progressed, this, [&desktop](int opened, int total) {
    desktop.showProgress(total > 0 ? static_cast<double>(opened) / total : 0);
  });
  connect(&runMonitor_, &RunMonitor::finished, this, [&desktop] { desktop.hideProgress(); });
}

void AppDelegate::notifyEnd(RunOutcome outcome) {
  if (services_.desktop == nullptr || terminating_ ||
      runStarted_ == std::chrono::steady_clock::time_point() ||
      std::chrono::steady_clock::now() - runStarted_ < notifyAfter_ ||
      (window_ && window_->isActiveWindow())) {
    runStarted_ = {};
    return;
  }
  runStarted_ = {};
  const QString summary =
      outcome == RunOutcome::succeeded ? tr("Conversion finished", "Desktop notification")
      : outcome == RunOutcome::cancelled ? tr("Conversion cancelled", "Desktop notification")
                                         : tr("Conversion failed", "Desktop notification");
  services_.desktop->notify(summary, tr("Morvane has ended the conversion.",
                                        "Desktop notification text after a long run"));
}

bool AppDelegate::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_.get() || event->type() != QEvent::Close || !runMonitor_.running()) {
    return QObject::eventFilter(watched, event);
  }
  event->ignore();
  const Alert ask = makeAlert(
      {"A conversion is running", "Alert title when the window is closed during a conversion"},
      {"Cancel the conversion and close the window? What is converted stays.",
       "Alert message when the window is closed during a conversion"});
  if (services_.alerts.runModal(ask) == kAlertFirstButtonReturn) {
    closeAfterRun_ = true;
    runMonitor_.cancel();
  }
  return true;
}

void AppDelegate::checkForUpdates() { updaterController_->checkForUpdates(); }

void AppDelegate::terminate() {
  terminating_ = true;
  runMonitor_.cancel();
  // Every event loop ends, the run's and the dialogs' too: the run then
  // unwinds (waiting for its cancelled script) and exec() returns.
  QCoreApplication::exit(0);
}

void endOnTermination(TerminationSignals& termination, AppDelegate& delegate,
                      QtAlertService& alerts) {
  QObject::connect(&termination, &TerminationSignals::received, &delegate, [&delegate, &alerts] {
    alerts.end();
    delegate.terminate();
  });
}

QWidget* contentViewFor(AppDelegate& delegate) {
  return new ContentView(delegate.optionsSignals(), delegate.env(), delegate);
}

QIcon applicationIcon() {
  initResources();
  const QIcon builtIn(QStringLiteral(":/morvane/morvane.svg"));
  const QIcon named = QIcon::fromTheme(QStringLiteral("morvane"), builtIn);
  const QString id = QGuiApplication::desktopFileName();
  return id.isEmpty() || id == "morvane" ? named : QIcon::fromTheme(id, named);
}

}  // namespace morvane
