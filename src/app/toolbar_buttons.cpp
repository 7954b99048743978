#include "app/toolbar_buttons.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "app/app_delegate.h"

namespace morvane {

ToolbarButtons::ToolbarButtons(AppDelegate& delegate, QWidget* parent)
    : QWidget(parent),
      delegate_(delegate),
      plus_(new QPushButton(tr("+", "Title-bar button that adds files"), this)),
      minus_(new QPushButton(tr("-", "Title-bar button that removes the selected files"), this)) {
  setObjectName("ToolbarButtons");
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(plus_);
  layout->addWidget(minus_);
  for (QPushButton* b : {plus_, minus_}) {
    b->setFixedWidth(b->fontMetrics().height() * 2);
    b->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  }
  // The signs alone say little to a screen reader: the buttons are named
  // by what they do.
  plus_->setAccessibleName(tr("Add files", "Accessible name of the button that adds files"));
  minus_->setAccessibleName(
      tr("Remove from list", "Accessible name of the button that removes files"));
  plus_->setToolTip(tr("Add files for conversion…", "Tooltip for add files button"));
  minus_->setToolTip(tr("Remove the selected entries from the list",
                        "Tooltip for the button that removes the selected files"));
  connect(plus_, &QPushButton::clicked, &delegate, &AppDelegate::addFilesFromPanel);
  connect(minus_, &QPushButton::clicked, &delegate, &AppDelegate::removeSelectedFiles);
  connect(&delegate.optionsSignals(), &OptionsSignals::changed, this, [this](OptionsField field) {
    if (field == OptionsField::selection || field == OptionsField::fileList) updateMinus();
  });
  updateMinus();
}

void ToolbarButtons::updateMinus() {
  minus_->setEnabled(!delegate_.options().selection().empty());
}

}  // namespace morvane
