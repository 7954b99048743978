#include "app/qt_alert_service.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTimer>
#include <algorithm>
#include <vector>
#include <QPushButton>
#include <QUrl>
#include <QUrlQuery>

#include "app/about_dialog.h"
#include "app/add_files_panel.h"
#include "app/error_report_dialog.h"
#include "views/run_texts.h"

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

namespace {

QMessageBox::Icon iconFor(AlertKind kind) {
  switch (kind) {
    case AlertKind::question: return QMessageBox::Warning;
    case AlertKind::success: return QMessageBox::Information;
    case AlertKind::cancelled: return QMessageBox::NoIcon;  // a symbol of its own, set below
    case AlertKind::failure: return QMessageBox::Critical;
  }
  return QMessageBox::Warning;
}

// A cancelled run stopped at the user's word: neither success nor error.
void showKind(QMessageBox& box, AlertKind kind) {
  box.setIcon(iconFor(kind));
  if (kind != AlertKind::cancelled) return;
  const int size = box.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box);
  box.setIconPixmap(QIcon::fromTheme(QStringLiteral("process-stop"),
                                     box.style()->standardIcon(QStyle::SP_BrowserStop))
                        .pixmap(size, size));
}

void makeTitleBold(QMessageBox& box) {
  if (auto* title = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"))) {
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
  }
}

}  // namespace

void addSummary(QMessageBox& box, const QString& summary) {
  auto* grid = qobject_cast<QGridLayout*>(box.layout());
  auto* informative = box.findChild<QLabel*>(QStringLiteral("qt_msgbox_informativelabel"));
  if (grid == nullptr || informative == nullptr || summary.isEmpty()) return;
  int infoRow = 0, textColumn = 0, span = 0;
  grid->getItemPosition(grid->indexOf(informative), &infoRow, &textColumn, &span, &span);
  const int room = box.screen()->availableGeometry().height() * 2 / 3 - box.sizeHint().height();
  // What lies below the text (the buttons, the details) moves down a row.
  struct Placed { QLayoutItem* item; int row, column, rowSpan, columnSpan; };
  std::vector<Placed> below;
  for (int i = grid->count() - 1; i >= 0; --i) {
    Placed p{nullptr, 0, 0, 0, 0};
    grid->getItemPosition(i, &p.row, &p.column, &p.rowSpan, &p.columnSpan);
    if (p.row <= infoRow) continue;
    p.item = grid->takeAt(i);
    below.push_back(p);
  }
  auto* label = new QLabel(summary);
  label->setObjectName(QStringLiteral("morvane_alert_summary"));
  label->setTextFormat(Qt::PlainText);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  auto* scroll = new QScrollArea(&box);
  scroll->setObjectName(QStringLiteral("morvane_alert_summary_area"));
  scroll->setWidget(label);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  const int wanted = label->sizeHint().height() + 2;
  const int height = std::min(wanted, std::max(room, 4 * label->fontMetrics().lineSpacing()));
  if (height < wanted) scroll->setFrameShape(QFrame::StyledPanel);  // it scrolls: show its edge
  scroll->setFixedHeight(height + (height < wanted ? 2 * scroll->frameWidth() : 0));
  scroll->setMinimumWidth(std::min(label->sizeHint().width() + 24, 560));
  grid->addWidget(scroll, infoRow + 1, textColumn, 1, 1);
  for (auto it = below.rbegin(); it != below.rend(); ++it) {
    grid->addItem(it->item, it->row + 1, it->column, it->rowSpan, it->columnSpan);
  }
}

int QtAlertService::runModal(const Alert& alert) {
  if (ended_) return kAlertSecondButtonReturn;
  // A report may follow: its versions are looked up while the alert is read.
  for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
    if (alertResponse(alert, i) == kAlertThirdButtonReturn && backend_ != nullptr) {
      backend_->request();
    }
  }
  QMessageBox box(parent_);
  showKind(box, alert.kind);
  // The title line is the box's own text, where it wraps; the window's
  // title bar, which the window manager may cut short, names the
  // application only.
  box.setWindowTitle(QApplication::applicationDisplayName());
  box.setText(localized(alert.title));
  box.setTextFormat(Qt::PlainText);
  makeTitleBold(box);
  box.setInformativeText(localized(alert.message));
  QString details = QString::fromStdString(alert.details);
  if (alert.report && details.isEmpty()) details = RunTexts::details(*alert.report);
  if (!details.isEmpty()) box.setDetailedText(details);
  std::vector<QPushButton*> buttons;
  QPushButton* cancel = nullptr;
  for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
    buttons.push_back(box.addButton(localized(alert.buttons[i]), QMessageBox::ActionRole));
    if (alertResponse(alert, i) == kAlertSecondButtonReturn) cancel = buttons.back();
  }
  if (!buttons.empty()) box.setDefaultButton(buttons.front());
  // Escape answers Cancel; where there is none, it closes as OK.
  if (cancel != nullptr || !buttons.empty()) box.setEscapeButton(cancel ? cancel : buttons.front());
  QString summary = QString::fromStdString(alert.summary);
  if (alert.report) {
    summary += (summary.isEmpty() ? QString() : QStringLiteral("\n")) + RunTexts::summary(*alert.report);
  }
  addSummary(box, summary);
  if (!showModally(box)) return kAlertSecondButtonReturn;
  for (std::size_t i = 0; i < buttons.size(); ++i) {
    if (box.clickedButton() == buttons[i]) return alertResponse(alert, i);
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
  if (openUrl_(mailtoUrl(mail))) return;
  // No mail program: the report is shown to be copied or saved.
  ErrorReportDialog dialog(mail, parent_);
  showModally(dialog);
}

std::vector<std::string> QtAlertService::conversionBackend() {
  if (backend_ == nullptr) return {};
  if (!backend_->known()) {
    QEventLoop wait;
    QTimer timeout;
    timeout.setSingleShot(true);
    QObject::connect(&timeout, &QTimer::timeout, &wait, &QEventLoop::quit);
    QObject::connect(backend_, &BackendDescription::described, &wait, &QEventLoop::quit);
    timeout.start(backendWait_);
    backend_->request();
    if (!backend_->known()) wait.exec();
  }
  std::vector<std::string> lines;
  if (!backend_->known()) return lines;
  for (const QString& line : backend_->lines()) lines.push_back(line.toStdString());
  return lines;
}

}  // namespace morvane
