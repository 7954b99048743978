// ErrorReportDialog: the error report when no mail program takes it. It
// shows the mail (recipient, subject, body) and offers to copy it to the
// clipboard or save it as a text file (by default morvane-error-report.txt
// in the home folder), so that the report can still be sent by hand.
#pragma once

#include <QDialog>
#include <QString>

#include "engine/alerts.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace morvane {

class ErrorReportDialog : public QDialog {
  Q_OBJECT
 public:
  explicit ErrorReportDialog(const ErrorReportMail& mail, QWidget* parent = nullptr);

  // What is copied and saved: "To: …", "Subject: …", a blank line, the body.
  const QString& reportText() const { return text_; }

  QPushButton* copyButton() const { return copy_; }
  QPushButton* saveButton() const { return save_; }
  // The line that tells what became of the report (copied, saved where).
  QLabel* stateLabel() const { return state_; }

  // Writes the report to `path` whole or not at all; false with *error
  // set (the system's words) when it could not.
  bool saveTo(const QString& path, QString* error) const;

 private:
  void copyToClipboard();
  // Asks where to save (a save dialog in the home folder) and saves there;
  // a failure is told in an alert, and the dialog stays.
  void chooseFileAndSave();

  QString text_;
  QPlainTextEdit* view_;
  QLabel* state_;
  QPushButton* copy_;
  QPushButton* save_;
};

// The text of a mail as the dialog copies and saves it.
QString mailAsText(const ErrorReportMail& mail);

// Where the save dialog proposes to save the report.
QString defaultReportPath();

}  // namespace morvane
