#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QIcon>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>

#include "app/about_dialog.h"
#include "app/app_delegate.h"
#include "app/toolbar_buttons.h"
#include "views/content_view.h"

// The resources of this library; a name outside any namespace.
static void initResources() { Q_INIT_RESOURCE(morvane_ui); }

namespace morvane {

MainWindow::MainWindow(AppDelegate& delegate) : delegate_(delegate) {}

MainWindow::~MainWindow() = default;

QAction* MainWindow::makeToolbarItem(const QString& name, QObject* parent) {
  if (name != kPlusItem) return nullptr;
  auto* item = new QAction(tr("+", "Toolbar item that adds files"), parent);
  item->setObjectName(kPlusItem);
  item->setToolTip(tr("Add files for conversion…", "Tooltip for add files button"));
  // In the toolbar's overflow menu the same action appears as "+" and
  // adds files like the item itself.
  connect(item, &QAction::triggered, &delegate_, &AppDelegate::addFilesFromPanel);
  return item;
}

void MainWindow::setUp() {
  window_ = std::make_unique<QMainWindow>();
  window_->resize(480, 300);
  window_->setMinimumSize(800, 600);
  QApplication::setWindowIcon(applicationIcon());
  window_->setWindowIcon(QApplication::windowIcon());
  // The toolbar comes before the content, so that Tab goes as the window
  // reads, from the top left: the toolbar's buttons, the list, the side bar.
  QToolBar* toolbar = installWindowToolbar();
  contentView_ = delegate_.services().makeContentView(delegate_);
  window_->setCentralWidget(contentView_);
  installToolbar(toolbar);
  installMenus();
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
void MainWindow::installToolbar(QToolBar* toolbar) {
  auto* content = qobject_cast<ContentView*>(contentView_);
  if (toolbar->objectName() != "MainToolbar" || content == nullptr) return;
  toolbar->addAction(content->deleteAction());
}

QToolBar* MainWindow::installWindowToolbar() {
  if (delegate_.services().version.current().isAtLeast(26, 0, 0)) {
    auto* toolbar = new QToolBar(window_.get());
    toolbar->setObjectName("MainToolbar");
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    toolbar->setMovable(false);
    for (const QString& id : defaultToolbarItems()) {
      QAction* item = makeToolbarItem(id, toolbar);
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
  bar->addWidget(new ToolbarButtons(delegate_, bar));
  window_->addToolBar(bar);
  return bar;
}

void MainWindow::installMenus() {
  QMenu* file = window_->menuBar()->addMenu(tr("&File", "Main menu"));
  QAction* open = file->addAction(tr("Open…", "Menu command that adds files"), &delegate_,
                                  &AppDelegate::openDocument);
  open->setShortcut(QKeySequence::Open);
  // The run works on a fixed list: nothing is added while it goes on.
  connect(&delegate_.runMonitor(), &RunMonitor::started, open, [this, open] {
    open->setEnabled(false);
    for (QToolBar* toolbar : window_->findChildren<QToolBar*>()) toolbar->setEnabled(false);
  });
  connect(&delegate_.runMonitor(), &RunMonitor::finished, open, [this, open] {
    open->setEnabled(true);
    for (QToolBar* toolbar : window_->findChildren<QToolBar*>()) toolbar->setEnabled(true);
  });
  file->addSeparator();
  // Closing the window ends the application; during a run it asks first.
  QAction* quit = file->addAction(tr("Quit", "Menu command that ends the application"),
                                  window_.get(), &QWidget::close, Qt::QueuedConnection);
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  QMenu* help = window_->menuBar()->addMenu(tr("&Help", "Main menu"));
  help->addAction(tr("Check for Updates…", "Menu command that checks for updates"), &delegate_,
                  &AppDelegate::checkForUpdates);
  help->addSeparator();
  QAction* about = help->addAction(
      tr("About %1", "Menu command that shows the About window")
          .arg(QApplication::applicationDisplayName()),
      this, &MainWindow::showAbout);
  about->setObjectName("aboutAction");
  about->setMenuRole(QAction::AboutRole);
}

void MainWindow::showAbout() {
  AboutDialog about(delegate_.backendDescription(), window_.get());
  about.exec();
}

void MainWindow::closeIfAskedDuringRun() {
  if (!closeAfterRun_ || !window_) return;
  closeAfterRun_ = false;
  window_->close();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched != window_.get() || event->type() != QEvent::Close || !delegate_.runMonitor().running()) {
    return QObject::eventFilter(watched, event);
  }
  event->ignore();
  const Alert ask = makeAlert(
      {"A conversion is running", "Alert title when the window is closed during a conversion"},
      {"Cancel the conversion and close the window? What is converted stays.",
       "Alert message when the window is closed during a conversion"});
  if (delegate_.services().alerts.runModal(ask) == kAlertFirstButtonReturn) {
    closeAfterRun_ = true;
    delegate_.runMonitor().cancel();
  }
  return true;
}

QIcon applicationIcon() {
  initResources();
  const QIcon builtIn(QStringLiteral(":/morvane/morvane.svg"));
  const QIcon named = QIcon::fromTheme(QStringLiteral("morvane"), builtIn);
  const QString id = QGuiApplication::desktopFileName();
  return id.isEmpty() || id == "morvane" ? named : QIcon::fromTheme(id, named);
}

}  // namespace morvane
