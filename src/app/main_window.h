// MainWindow: the application's one window as the delegate sets it up: its
// size and place, the toolbar by system version (the "+" item or the older
// "+"/"-" buttons), the File and Help menus, the About window, and the
// question when it is closed during a run.
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

class QAction;
class QIcon;
class QMainWindow;
class QToolBar;
class QWidget;

namespace morvane {

class AppDelegate;

class MainWindow : public QObject {
  Q_OBJECT
 public:
  // `delegate` outlives the window; the window is made by setUp().
  explicit MainWindow(AppDelegate& delegate);
  ~MainWindow() override;

  // The name of the toolbar's one item, "+", on systems 26.0.0 and later.
  static inline const QString kPlusItem = QStringLiteral("plusToolbarItem");
  // The toolbar of systems 26.0.0 and later shows one item, "+"; none of
  // its items stays selected.
  QStringList defaultToolbarItems() const { return {kPlusItem}; }
  QStringList allowedToolbarItems() const { return {kPlusItem}; }
  QStringList selectableToolbarItems() const { return {}; }
  // A new "+" item for kPlusItem, else none. The item belongs to `parent`.
  QAction* makeToolbarItem(const QString& name, QObject* parent);

  // Creates the window: at least 800 x 600, large enough for the
  // content's own size at first, resizable from there; toolbar by system
  // version; centred, shown and active. The content comes from the
  // delegate's services.
  void setUp();

  QMainWindow* window() const { return window_.get(); }
  QWidget* contentView() const { return contentView_; }

  // The About window, modal to the main window.
  void showAbout();
  // Closes the window when the user asked to during the run that ended.
  void closeIfAskedDuringRun();

 protected:
  // Closing the window while a run goes on asks whether to cancel it.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // Adds the content's remove command to the window's toolbar.
  void installToolbar(QToolBar* toolbar);
  QToolBar* installWindowToolbar();
  void installMenus();

  AppDelegate& delegate_;
  std::unique_ptr<QMainWindow> window_;
  QWidget* contentView_ = nullptr;  // owned by the window
  bool closeAfterRun_ = false;
};

// The application's icon: the icon theme's under the desktop entry's name
// (QGuiApplication::desktopFileName) or "morvane", else the one built in.
QIcon applicationIcon();

}  // namespace morvane
