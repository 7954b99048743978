#include "views/content_view.h"

#include "app/app_delegate.h"

namespace morvane {

ContentView::ContentView(AppDelegate& delegate, QWidget* parent) : QWidget(parent) {
  (void)delegate;
  setFixedSize(800, 600);
}

}  // namespace morvane
