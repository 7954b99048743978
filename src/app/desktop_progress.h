// DesktopProgress: what the desktop shows of a run outside the window: its
// progress on the launcher or taskbar entry, and a notification when a long
// run ends while the window is not looked at. DBusDesktopProgress speaks
// the D-Bus interfaces that KDE Plasma and GNOME docks read
// (com.canonical.Unity.LauncherEntry, org.freedesktop.Notifications).
#pragma once

#include <QString>

namespace morvane {

class DesktopProgress {
 public:
  virtual ~DesktopProgress() = default;
  // `fraction` of the run is done (0 to 1).
  virtual void showProgress(double fraction) = 0;
  virtual void hideProgress() = 0;
  virtual void notify(const QString& summary, const QString& body) = 0;
};

// On the session bus; where there is none, nothing is shown.
class DBusDesktopProgress : public DesktopProgress {
 public:
  // `desktopFile`: the application's desktop entry, "io.github.morvane.Morvane.desktop".
  explicit DBusDesktopProgress(QString desktopFile) : desktopFile_(std::move(desktopFile)) {}
  void showProgress(double fraction) override;
  void hideProgress() override;
  void notify(const QString& summary, const QString& body) override;

 private:
  void sendLauncherEntry(double fraction, bool visible);

  QString desktopFile_;
};

}  // namespace morvane
