#include "views/side_bar_view.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QUrl>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>
#include <QVBoxLayout>

#include "engine/export_formats.h"
#include "views/export_options_view.h"
#include "views/run_texts.h"
#include "views/symbols.h"

namespace morvane {

namespace {

// A warning symbol in yellow beside the text of what is missing.
QWidget* makeHintRow(const QString& text, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* symbolLabel = new QLabel(row);
  symbolLabel->setAccessibleName(SideBarView::tr("Warning", "Accessible name of the hint symbol"));
  QPixmap warning = symbol("dialog-warning", QStyle::SP_MessageBoxWarning).pixmap(16, 16);
  QPainter painter(&warning);
  painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
  painter.fillRect(warning.rect(), QColor(Qt::yellow).darker(110));
  painter.end();
  symbolLabel->setPixmap(warning);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(symbolLabel);
  layout->addWidget(new QLabel(text, row), 1);
  return row;
}

}  // namespace

SideBarView::SideBarView(OptionsSignals& changes, TargetOptionsView::FolderChooser chooseFolder,
                         Env& env, std::function<void()> run, QWidget* parent)
    : QWidget(parent),
      options_(changes.options()),
      export_(new ExportOptionsView({tr("MS Office", "Export switch"), tr("iWork", "Export switch"),
                                     tr(".pdf", "Export switch")},
                                    changes, this)),
      target_(new TargetOptionsView(changes, std::move(chooseFolder), env, this)),
      addFilesHint_(makeHintRow(tr("Add files for conversion", "Hint above the Run button"), this)),
      targetHint_(makeHintRow(tr("Select target folder", "Hint above the Run button"), this)),
      formatHint_(makeHintRow(tr("Choose an export format", "Hint above the Run button"), this)),
      noExportHint_(makeHintRow(QString(), this)),
      run_(new QPushButton(tr("Run", "Button that starts the conversion"), this)),
      openUrl_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  // The prominent button, filled with the accent colour.
  run_->setDefault(true);
  run_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  run_->setStyleSheet(
      "QPushButton { padding: 8px; border-radius: 5px; background: palette(highlight);"
      " color: palette(highlighted-text); border: 1px solid palette(dark); }"
      "QPushButton:disabled { background: palette(button); color: palette(mid); }");
  connect(run_, &QPushButton::clicked, this, std::move(run));

  auto* runBlock = new QVBoxLayout;
  runBlock->setSpacing(8);
  runBlock->addWidget(makeProgressRow());
  runBlock->addWidget(addFilesHint_);
  runBlock->addWidget(targetHint_);
  runBlock->addWidget(formatHint_);
  runBlock->addWidget(noExportHint_);
  runBlock->addSpacing(8);
  runBlock->addWidget(run_);
  runBlock->addWidget(makeLastRunRow());
  runBlock->addSpacing(8);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 0, 20, 20);
  layout->addWidget(export_);
  layout->addWidget(target_);
  layout->addStretch(1);
  layout->addLayout(runBlock);
  // The side bar keeps this width however wide the window grows; longer
  // texts wrap or are cut inside it.
  setFixedWidth(320);
  target_->folderIcon()->setAccessibleName(tr("Target folder", "Accessible name of the folder icon"));

  noExportText_ = noExportHint_->findChildren<QLabel*>().back();
  noExportText_->setWordWrap(true);
  noExportText_->setTextFormat(Qt::PlainText);
  connect(&changes, &OptionsSignals::changed, this, [this](OptionsField field) {
    // The list's walk is left out where only the selection changed.
    if (field != OptionsField::selection && field != OptionsField::targetFolder) forecast();
    showOptions();
  });
  forecast();
  showOptions();
}

void SideBarView::showOptions() {
  const bool noFiles = options_.fileList().empty();
  const bool noTarget = !options_.targetFolder().has_value();
  const bool noFormat =
      !options_.officeExport() && !options_.iworkExport() && !options_.pdfExport();
  const bool nothingToMake = !noFormat && !noExport_.isEmpty();
  addFilesHint_->setVisible(noFiles && !running_);
  targetHint_->setVisible(noTarget && !running_);
  formatHint_->setVisible(noFormat && !running_);
  noExportHint_->setVisible(nothingToMake && !running_);
  run_->setEnabled(!noFiles && !noTarget && !noFormat && !nothingToMake && !running_);
}

// As the run decides: a list of which no file at all would be made.
void SideBarView::forecast() {
  const RunForecast what = forecastRun(options_.fileList(), options_.exportClassFlags(),
                                       options_.copyNonconvertibleFiles());
  noExport_ = what.convertsNothing() ? RunTexts::nothingToConvert(what.withoutExport) : QString();
  noExportText_->setText(noExport_);
}

QWidget* SideBarView::makeLastRunRow() {
  lastRunRow_ = new QWidget(this);
  lastRun_ = new QLabel(lastRunRow_);
  lastRun_->setWordWrap(true);
  showInFolder_ = new QPushButton(tr("Show in Folder", "Button that opens the target folder"),
                                  lastRunRow_);
  connect(showInFolder_, &QPushButton::clicked, this, &SideBarView::showFolder);
  // The line across the side bar's width, Show in Folder below it.
  auto* row = new QVBoxLayout(lastRunRow_);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  row->addWidget(lastRun_);
  row->addWidget(showInFolder_, 0, Qt::AlignRight);
  // Its room is kept from the start (two lines of text and the button),
  // so that Run stays where it is when the line appears.
  lastRun_->setFixedHeight(2 * lastRun_->fontMetrics().lineSpacing() + 2);
  lastRunRow_->setFixedHeight(lastRun_->height() + row->spacing() +
                              showInFolder_->sizeHint().height());
  QSizePolicy keep = lastRunRow_->sizePolicy();
  keep.setRetainSizeWhenHidden(true);
  lastRunRow_->setSizePolicy(keep);
  lastRunRow_->hide();
  return lastRunRow_;
}

void SideBarView::showLastRun(const QString& summary, const QString& folder) {
  lastRun_->setText(tr("Last run: %1", "The side bar's line about the last run").arg(summary));
  lastFolder_ = folder;
  showInFolder_->setVisible(!folder.isEmpty());
  lastRunRow_->setVisible(!running_);
}

void SideBarView::showFolder() {
  if (openUrl_(QUrl::fromLocalFile(lastFolder_))) return;
  QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(),
                  tr("No file manager opened the folder.",
                     "Message when Show in Folder found no program to open the folder"),
                  QMessageBox::Ok, this);
  box.setInformativeText(lastFolder_);
  box.exec();
}

QWidget* SideBarView::makeProgressRow() {
  progressRow_ = new QWidget(this);
  progressBar_ = new QProgressBar(progressRow_);
  progressBar_->setTextVisible(false);
  progressBar_->setAccessibleName(tr("Conversion progress", "Accessible name of the progress bar"));
  progressLabel_ = new QLabel(progressRow_);
  documentLabel_ = new QLabel(progressRow_);
  documentLabel_->setTextFormat(Qt::PlainText);
  cancelButton_ = new QPushButton(tr("Cancel", "Button that cancels the running conversion"),
                                  progressRow_);
  connect(cancelButton_, &QPushButton::clicked, this, [this] {
    if (cancel_) cancel_();
  });
  auto* layout = new QVBoxLayout(progressRow_);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(progressLabel_);
  layout->addWidget(progressBar_);
  layout->addWidget(documentLabel_);
  layout->addWidget(cancelButton_);
  progressRow_->hide();
  return progressRow_;
}

void SideBarView::showRunStarted() {
  running_ = true;
  export_->setEnabled(false);
  target_->setEnabled(false);
  progressBar_->setRange(0, 0);  // busy until the first document
  progressLabel_->setText(tr("Preparing the conversion…", "Progress while a run starts"));
  documentLabel_->clear();
  lastRunRow_->hide();  // it tells of a run that is over
  progressRow_->show();
  showOptions();
}

void SideBarView::showProgress(int opened, int total, const QString& document) {
  progressBar_->setRange(0, std::max(total, 1));
  progressBar_->setValue(opened);
  progressLabel_->setText(
      tr("Converting %1 of %2", "Progress: the document being converted, how many there are")
          .arg(opened)
          .arg(total));
  documentLabel_->setText(
      documentLabel_->fontMetrics().elidedText(document, Qt::ElideMiddle, width() - 40));
}

void SideBarView::showRunEnded() {
  running_ = false;
  export_->setEnabled(true);
  target_->setEnabled(true);
  progressRow_->hide();
  lastRunRow_->setVisible(!lastRun_->text().isEmpty());
  showOptions();
}

}  // namespace morvane
