#include "app/qt_alert_service.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QUrl>
#include <QUrlQuery>

#include "app/add_files_panel.h"

namespace morvane {

QString localized(const LocalizedText& text) {
  return QCoreApplication::translate("Morvane", text.key.c_str(), text.comment.c_str());
}

QtAlertService::QtAlertService(UrlOpener openUrl)
    : openUrl_(openUrl ? std::move(openUrl) : [](const QUrl& url) {
        return QDesktopServices::openUrl(url);
      }) {}

bool QtAlertService::showModally(QDialog& dialog) {
  if (ended_) return false;
  open_.push_back(&dialog);
  dialog.exec();
  open_.removeAll(&dialog);
  return !ended_;
}

void QtAlertService::end() {
  ended_ = true;
  // Each open dialog's event loop ends; runModal and the chooser then
  // answer as cancelled.
  for (const QPointer<QDialog>& dialog : std::as_const(open_)) {
    if (dialog) dialog->reject();
  }
}

int QtAlertService::runModal(const Alert& alert) {
  if (ended_) return kAlertSecondButtonReturn;
  QMessageBox box(parent_);
  box.setIcon(alert.informational ? QMessageBox::Information : QMessageBox::Warning);
  // The title line is the box's own text, where it wraps; the window's
  // title bar, which the window manager may cut short, names the
  // application only.
  box.setWindowTitle(QApplication::applicationDisplayName());
  box.setText(localized(alert.title));
  box.setTextFormat(Qt::PlainText);
  if (auto* title = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
  }
  QString informative = localized(alert.message);
  if (!alert.summary.empty()) informative += "\n\n" + QString::fromStdString(alert.summary);
  box.setInformativeText(informative);
  if (!alert.details.empty()) box.setDetailedText(QString::fromStdString(alert.details));
  std::vector<QPushButton*> buttons;
  for (const LocalizedText& title : alert.buttons) {
    buttons.push_back(box.addButton(localized(title), QMessageBox::ActionRole));
  }
  if (!buttons.empty()) box.setDefaultButton(buttons.front());
  if (buttons.size() > 1) box.setEscapeButton(buttons[1]);  // Escape answers Cancel
  if (!showModally(box)) return kAlertSecondButtonReturn;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (box.clickedButton() == buttons[i]) return kAlertFirstButtonReturn + static_cast<int>(i);
  }
  return kAlertSecondButtonReturn;  // closed without a button: as Cancel
}

QString targetChooserStart(const std::optional<std::filesystem::path>& target) {
  if (target) {
    const QString folder = QString::fromStdString(target->string());
    if (QFileInfo(folder).isDir()) return QDir::cleanPath(folder);
  }
  return QDir::homePath();
}

std::optional<std::filesystem::path> QtAlertService::showOpenTargetFolderPanel() {
  if (ended_) return std::nullopt;
  QFileDialog panel(parent_,
                    QCoreApplication::translate("Morvane", "Choose Target Folder",
                                                "Title of the target folder chooser"),
                    targetChooserStart(currentTarget_ ? currentTarget_() : std::nullopt));
  panel.setFileMode(QFileDialog::Directory);
  panel.setOption(QFileDialog::ShowDirsOnly, true);
  panel.setSidebarUrls(chooserPlaces());
  const bool chosen = showModally(panel) && panel.result() == QDialog::Accepted;
  if (!chosen || panel.selectedFiles().isEmpty()) return std::nullopt;
  return std::filesystem::path(panel.selectedFiles().first().toStdString());
}

QUrl mailtoUrl(const ErrorReportMail& mail) {
  QUrl url;
  url.setScheme("mailto");
  url.setPath(QString::fromStdString(mail.recipient));
  QUrlQuery query;
  const auto encode = [](const std::string& text) {
    return QString::fromUtf8(QUrl::toPercentEncoding(QString::fromStdString(text)));
  };
  query.addQueryItem("subject", encode(mail.subject));
  query.addQueryItem("body", encode(mail.body));
  url.setQuery(query);
  return url;
}

void QtAlertService::composeMail(const ErrorReportMail& mail) {
  if (ended_) return;
  // Without a mail handler the desktop refuses the link: the report is
  // dropped, as nothing else can send it.
  openUrl_(mailtoUrl(mail));
}

}  // namespace morvane
