// ExportOptionsView: the upper panel of the side bar. "Creator Studio"
// with its switch, then "Export formats" with the Office, iWork and PDF
// switches, each bound both ways to the options.
#pragma once

#include <QStringList>
#include <QWidget>

#include "views/options_signals.h"

class QCheckBox;
class QLabel;

namespace morvane {

class ExportOptionsView : public QWidget {
  Q_OBJECT
 public:
  // `exportFormats` labels the Office, iWork and PDF switches (three at least).
  ExportOptionsView(QStringList exportFormats, OptionsSignals& changes, QWidget* parent = nullptr);

  QCheckBox* creatorStudioSwitch() const { return creatorStudio_; }
  QCheckBox* officeSwitch() const { return office_; }
  QCheckBox* iworkSwitch() const { return iwork_; }
  QCheckBox* pdfSwitch() const { return pdf_; }

 private:
  void showOptions();

  MorvaneOptions& options_;
  QCheckBox* creatorStudio_;
  QCheckBox* office_;
  QCheckBox* iwork_;
  QCheckBox* pdf_;
};

// A bold heading of a side-bar section.
QLabel* makeHeading(const QString& text, QWidget* parent);

}  // namespace morvane
