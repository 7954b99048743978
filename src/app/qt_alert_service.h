// QtAlertService: the run's alerts as message boxes (an icon for their
// kind, a long summary scrolling inside), the target folder chooser as a
// folder-only file dialog, "Choose Target Folder", that opens in the
// current target folder, and the error report handed to the desktop's
// mail composer as a mailto: link, or, where no mail program takes it,
// shown to be copied or saved (ErrorReportDialog). Once the application is
// ending, it shows nothing more.
#pragma once

#include <QList>
#include <QPointer>
#include <QString>
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "engine/alerts.h"

class QDialog;
class QMessageBox;
class QWidget;
class QUrl;

namespace morvane {

class BackendDescription;

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
  // Where the error report finds the LibreOffice and iWork reader versions
  // (the About window's lookup, kept once made); none: the report goes
  // without them. It outlives the service.
  void setBackendDescription(BackendDescription* backend) { backend_ = backend; }

  int runModal(const Alert& alert) override;
  std::optional<std::filesystem::path> showOpenTargetFolderPanel() override;
  // Opens the mailto: link; when nothing takes it (openUrl answers false),
  // shows the report to copy or save.
  void composeMail(const ErrorReportMail& mail) override;
  // The backend description's lines. The failure alert asks for them when
  // it is shown; when they have not come by the time the report is sent,
  // this waits for them up to `backendWait` (then the report goes without).
  std::vector<std::string> conversionBackend() override;
  void setBackendWait(std::chrono::milliseconds wait) { backendWait_ = wait; }

  // The application is ending (a termination signal): nobody is there to
  // answer. The alerts and the chooser that are open close, and from now
  // on each alert is answered as Cancel (kAlertSecondButtonReturn) and the
  // chooser with nothing, without being shown; no mail is composed.
  void end();
  bool ended() const { return ended_; }

 private:
  // Runs `dialog` modally unless the application is ending; false when
  // it was not shown or closed because the application is ending.
  bool showModally(QDialog& dialog);

  QWidget* parent_ = nullptr;
  UrlOpener openUrl_;
  CurrentTarget currentTarget_;
  BackendDescription* backend_ = nullptr;
  std::chrono::milliseconds backendWait_{10'000};
  bool ended_ = false;
  QList<QPointer<QDialog>> open_;  // the alerts and choosers shown now
};

// Where the folder chooser opens: `target` when it is an existing folder,
// else the home folder.
QString targetChooserStart(const std::optional<std::filesystem::path>& target);

// Puts the summary of a run below the box's body, in a part that scrolls
// where it is long: the whole box stays within about two thirds of the
// screen's available height, its buttons in reach. Call it when the box
// has its texts and buttons.
void addSummary(QMessageBox& box, const QString& summary);

// The mailto: link for a mail: recipient, subject and body encoded.
QUrl mailtoUrl(const ErrorReportMail& mail);

}  // namespace morvane
