// UpdateChecker: how the application keeps itself up to date. The
// delegate creates one and forwards the user's "Check for Updates…" to it.
// On Linux updates come from the package manager: PackageManagerUpdates
// tells the user the running version and where updates come from.
#pragma once

#include <QString>

class QWidget;

namespace morvane {

class UpdateChecker {
 public:
  virtual ~UpdateChecker() = default;
  // A check the user asked for; the checker shows what it finds.
  virtual void checkForUpdates() = 0;
};

class PackageManagerUpdates : public UpdateChecker {
 public:
  explicit PackageManagerUpdates(QString version) : version_(std::move(version)) {}
  void setParentWindow(QWidget* window) { parent_ = window; }
  void checkForUpdates() override;

  // The text the check shows.
  QString message() const;

 private:
  QString version_;
  QWidget* parent_ = nullptr;
};

}  // namespace morvane
