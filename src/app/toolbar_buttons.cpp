#include "app/toolbar_buttons.h"

#include <QHBoxLayout>
#include <QPushButton>

#include "app/app_delegate.h"

namespace morvane {

ToolbarButtons::ToolbarButtons(AppDelegate& delegate, QWidget* parent)
    : QWidget(parent),
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
  connect(plus_, &QPushButton::clicked, &delegate, &AppDelegate::addFilesFromPanel);
  connect(minus_, &QPushButton::clicked, &delegate, &AppDelegate::removeSelectedFiles);
}

}  // namespace morvane
