#include "app/update_checker.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace morvane {

QString PackageManagerUpdates::message() const {
  return QCoreApplication::translate(
             "Morvane",
             "This is Morvane %1. Updates come from your system's package manager: install them "
             "with your software updater or apt.",
             "Shown by Check for Updates on systems whose packages bring updates")
      .arg(version_);
}

void PackageManagerUpdates::checkForUpdates() {
  QMessageBox::information(
      parent_, QCoreApplication::translate("Morvane", "Check for Updates", "Update window title"),
      message());
}

}  // namespace morvane
