#include "views/side_bar_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "views/export_options_view.h"
#include "views/symbols.h"

namespace morvane {

namespace {

// A warning symbol in yellow beside the text of what is missing.
QWidget* makeHintRow(const QString& text, QWidget* parent) {
  auto* row = new QWidget(parent);
  auto* symbolLabel = new QLabel(row);
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
      run_(new QPushButton(tr("Run", "Button that starts the conversion"), this)) {
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
  runBlock->addWidget(addFilesHint_);
  runBlock->addWidget(targetHint_);
  runBlock->addSpacing(8);
  runBlock->addWidget(run_);
  runBlock->addSpacing(8);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(20, 0, 20, 20);
  layout->addWidget(export_);
  layout->addWidget(target_);
  layout->addStretch(1);
  layout->addLayout(runBlock);
  setMaximumWidth(320);

  connect(&changes, &OptionsSignals::changed, this, &SideBarView::showOptions);
  showOptions();
}

void SideBarView::showOptions() {
  const bool noFiles = options_.fileList().empty();
  const bool noTarget = !options_.targetFolder().has_value();
  addFilesHint_->setVisible(noFiles);
  targetHint_->setVisible(noTarget);
  run_->setEnabled(!noFiles && !noTarget);
}

}  // namespace morvane
