#include "app/error_report_dialog.h"

#include <QApplication>
#include <QClipboard>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QVBoxLayout>

namespace morvane {

QString mailAsText(const ErrorReportMail& mail) {
  return QStringLiteral("To: %1\nSubject: %2\n\n%3")
      .arg(QString::fromStdString(mail.recipient), QString::fromStdString(mail.subject),
           QString::fromStdString(mail.body));
}

QString defaultReportPath() {
  return QDir::home().filePath(QStringLiteral("morvane-error-report.txt"));
}

ErrorReportDialog::ErrorReportDialog(const ErrorReportMail& mail, QWidget* parent)
    : QDialog(parent),
      text_(mailAsText(mail)),
      view_(new QPlainTextEdit(text_, this)),
      state_(new QLabel(this)) {
  setWindowTitle(
      tr("Error Report", "Title of the window with an error report no mail program took"));
  auto* heading = new QLabel(
      tr("No mail program could take the error report.", "Error report window: why it is shown"),
      this);
  QFont bold = heading->font();
  bold.setBold(true);
  heading->setFont(bold);
  auto* explanation =
      new QLabel(tr("Copy the report or save it as a file, and send it by mail to %1.",
                    "Error report window: what to do; %1 is the support mail address")
                     .arg(QString::fromStdString(mail.recipient)),
                 this);
  explanation->setWordWrap(true);
  explanation->setTextInteractionFlags(Qt::TextSelectableByMouse);
  view_->setReadOnly(true);
  view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  view_->setLineWrapMode(QPlainTextEdit::NoWrap);
  state_->setWordWrap(true);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  copy_ = buttons->addButton(tr("Copy", "Error report window: copies the report to the clipboard"),
                             QDialogButtonBox::ActionRole);
  save_ = buttons->addButton(tr("Save…", "Error report window: saves the report as a file"),
                             QDialogButtonBox::ActionRole);
  copy_->setDefault(true);
  connect(copy_, &QPushButton::clicked, this, &ErrorReportDialog::copyToClipboard);
  connect(save_, &QPushButton::clicked, this, &ErrorReportDialog::chooseFileAndSave);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(heading);
  layout->addWidget(explanation);
  layout->addWidget(view_, 1);
  layout->addWidget(state_);
  layout->addWidget(buttons);
  resize(640, 480);
}

void ErrorReportDialog::copyToClipboard() {
  QGuiApplication::clipboard()->setText(text_);
  state_->setText(tr("The report is on the clipboard.", "Error report window: after Copy"));
}

bool ErrorReportDialog::saveTo(const QString& path, QString* error) const {
  QSaveFile file(path);
  const QByteArray bytes = text_.toUtf8();
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
    *error = file.errorString();
    return false;
  }
  return true;
}

void ErrorReportDialog::chooseFileAndSave() {
  QFileDialog chooser(this,
                      tr("Save Error Report", "Title of the save dialog for an error report"));
  chooser.setAcceptMode(QFileDialog::AcceptSave);
  chooser.setNameFilter(tr("Text files (*.txt)", "Save dialog for an error report: the file type"));
  chooser.setDefaultSuffix(QStringLiteral("txt"));
  chooser.setDirectory(QFileInfo(defaultReportPath()).absolutePath());
  chooser.selectFile(defaultReportPath());
  if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return;
  const QString path = chooser.selectedFiles().first();
  QString error;
  if (!saveTo(path, &error)) {
    QMessageBox failed(
        QMessageBox::Warning, QApplication::applicationDisplayName(),
        tr("The report could not be saved.", "Alert when the error report could not be written"),
        QMessageBox::Ok, this);
    failed.setInformativeText(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(path), error));
    failed.exec();
    return;
  }
  state_->setText(
      tr("The report is saved in %1.", "Error report window: after Save; %1 is the file")
          .arg(QDir::toNativeSeparators(path)));
}

}  // namespace morvane
