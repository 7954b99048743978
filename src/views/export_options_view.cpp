#include "views/export_options_view.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

namespace morvane {

QLabel* makeHeading(const QString& text, QWidget* parent) {
  auto* heading = new QLabel(text, parent);
  QFont font = heading->font();
  font.setBold(true);
  heading->setFont(font);
  return heading;
}

namespace {

// A switch that writes its new value through `store` when clicked.
QCheckBox* makeSwitch(const QString& label, QWidget* parent, std::function<void(bool)> store) {
  auto* box = new QCheckBox(label, parent);
  QObject::connect(box, &QCheckBox::toggled, parent, std::move(store));
  return box;
}

}  // namespace

ExportOptionsView::ExportOptionsView(QStringList exportFormats, OptionsSignals& changes,
                                     QWidget* parent)
    : QWidget(parent), options_(changes.options()) {
  MorvaneOptions& o = options_;
  creatorStudio_ = makeSwitch(tr("Use Creator Studio apps", "Switch in the export options"), this,
                              [&o](bool on) { o.setUseCreatorStudio(on); });
  office_ = makeSwitch(exportFormats.at(0), this, [&o](bool on) { o.setOfficeExport(on); });
  iwork_ = makeSwitch(exportFormats.at(1), this, [&o](bool on) { o.setIworkExport(on); });
  pdf_ = makeSwitch(exportFormats.at(2), this, [&o](bool on) { o.setPdfExport(on); });

  auto* creatorSection = new QVBoxLayout;
  creatorSection->setSpacing(8);
  creatorSection->addWidget(makeHeading(tr("Creator Studio", "Heading in the export options"), this));
  creatorStudio_->setContentsMargins(4, 0, 0, 0);
  creatorSection->addWidget(creatorStudio_);

  auto* switches = new QVBoxLayout;
  switches->setSpacing(8);
  switches->setContentsMargins(8, 0, 0, 0);
  for (QCheckBox* box : {office_, iwork_, pdf_}) switches->addWidget(box);
  auto* formatSection = new QVBoxLayout;
  formatSection->setSpacing(8);
  formatSection->addWidget(makeHeading(tr("Export formats", "Heading in the export options"), this));
  formatSection->addLayout(switches);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(12);
  layout->addLayout(creatorSection);
  layout->addLayout(formatSection);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);

  connect(&changes, &OptionsSignals::changed, this, &ExportOptionsView::showOptions);
  showOptions();
}

void ExportOptionsView::showOptions() {
  const std::pair<QCheckBox*, bool> states[] = {{creatorStudio_, options_.useCreatorStudio()},
                                                {office_, options_.officeExport()},
                                                {iwork_, options_.iworkExport()},
                                                {pdf_, options_.pdfExport()}};
  for (auto [box, on] : states) {
    const QSignalBlocker quiet(box);
    box->setChecked(on);
  }
}

}  // namespace morvane
