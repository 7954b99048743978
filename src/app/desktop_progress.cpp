#include "app/desktop_progress.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>

namespace morvane {

void DBusDesktopProgress::showProgress(double fraction) { sendLauncherEntry(fraction, true); }

void DBusDesktopProgress::hideProgress() { sendLauncherEntry(0, false); }

void DBusDesktopProgress::sendLauncherEntry(double fraction, bool visible) {
  QDBusMessage update = QDBusMessage::createSignal(
      QStringLiteral("/com/canonical/unity/launcherentry/morvane"),
      QStringLiteral("com.canonical.Unity.LauncherEntry"), QStringLiteral("Update"));
  update << QStringLiteral("application://") + desktopFile_
         << QVariantMap{{QStringLiteral("progress"), fraction},
                        {QStringLiteral("progress-visible"), visible}};
  QDBusConnection::sessionBus().send(update);
}

void DBusDesktopProgress::notify(const QString& summary, const QString& body) {
  QDBusMessage call = QDBusMessage::createMethodCall(
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
      QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
  call << QStringLiteral("Morvane") << 0u << QStringLiteral("morvane") << summary << body
       << QStringList() << QVariantMap() << -1;
  QDBusConnection::sessionBus().send(call);  // no answer is awaited
}

}  // namespace morvane
