// QtAlertService: the run's alerts as warning message boxes, the target
// folder chooser as a folder-only file dialog, "Choose Target Folder",
// that opens in the current target folder, and the error report handed to
// the desktop's mail composer as a mailto: link.
#pragma once

#include <QString>
#include <functional>

#include "engine/alerts.h"

class QWidget;
class QUrl;

namespace morvane {

// Looks a text up in the translations; the key where there is none.
QString localized(const LocalizedText& text);

class QtAlertService : public AlertService {
 public:
  // `openUrl` hands a URL to the desktop (QDesktopServices::openUrl);
  // it answers false when nothing can take it.
  using UrlOpener = std::function<bool(const QUrl&)>;
  explicit QtAlertService(UrlOpener openUrl = {});

  // Alerts and the panel are modal to this window when it is set.
  void setParentWindow(QWidget* window) { parent_ = window; }
  // Tells the folder chooser the target folder chosen so far (the
  // options' target); without it, or while none is set, it opens in the
  // home folder.
  using CurrentTarget = std::function<std::optional<std::filesystem::path>()>;
  void setCurrentTarget(CurrentTarget currentTarget) { currentTarget_ = std::move(currentTarget); }

  int runModal(const Alert& alert) override;
  std::optional<std::filesystem::path> showOpenTargetFolderPanel() override;
  void composeMail(const ErrorReportMail& mail) override;

 private:
  QWidget* parent_ = nullptr;
  UrlOpener openUrl_;
  CurrentTarget currentTarget_;
};

// Where the folder chooser opens: `target` when it is an existing folder,
// else the home folder.
QString targetChooserStart(const std::optional<std::filesystem::path>& target);

// The mailto: link for a mail: recipient, subject and body encoded.
QUrl mailtoUrl(const ErrorReportMail& mail);

}  // namespace morvane
