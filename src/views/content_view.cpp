#include "views/content_view.h"

#include <QAction>
#include <QHBoxLayout>
#include <QShortcut>

#include "app/app_delegate.h"
#include "views/file_list_view.h"
#include "views/side_bar_view.h"
#include "views/symbols.h"

namespace morvane {

ContentView::ContentView(AppDelegate& delegate, QWidget* parent)
    : QWidget(parent),
      fileList_(new FileListView(delegate.optionsSignals(), delegate.env(), this)),
      sideBar_(new SideBarView(
          delegate.optionsSignals(), [&delegate] { return delegate.showOpenTargetFolderPanel(); },
          delegate.env(), [&delegate] { delegate.runConversion(); }, this)),
      plus_(new QAction(symbol("folder-new", QStyle::SP_FileDialogNewFolder),
                        tr("Plus", "Toolbar button that adds files"), this)),
      delete_(new QAction(symbol("user-trash", QStyle::SP_TrashIcon),
                          tr("Delete", "Toolbar button that removes the selected files"), this)) {
  setFixedSize(800, 600);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(fileList_, 1);
  row->addWidget(sideBar_);

  for (QAction* action : {plus_, delete_}) action->setObjectName(action->text());
  // Posted to the event loop: the command runs after the click is handled.
  connect(plus_, &QAction::triggered, &delegate, [&delegate] {
    QMetaObject::invokeMethod(&delegate, &AppDelegate::addFilesFromPanel, Qt::QueuedConnection);
  });
  connect(delete_, &QAction::triggered, &delegate, [&delegate] {
    QMetaObject::invokeMethod(&delegate, &AppDelegate::removeSelectedFiles, Qt::QueuedConnection);
  });
  addAction(plus_);
  addAction(delete_);
  followRuns(delegate.runMonitor());
  connect(&delegate, &AppDelegate::lastRunChanged, sideBar_, &SideBarView::showLastRun);
}

// While a run goes on the list cannot be changed; the side bar shows its
// progress, and Cancel or Escape end it.
void ContentView::followRuns(RunMonitor& monitor) {
  sideBar_->setCancel([&monitor] { monitor.cancel(); });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, &monitor, &RunMonitor::cancel);
  connect(&monitor, &RunMonitor::started, this, [this] {
    fileList_->setEnabled(false);
    for (QAction* action : {plus_, delete_}) action->setEnabled(false);
    sideBar_->showRunStarted();
  });
  connect(&monitor, &RunMonitor::progressed, sideBar_, &SideBarView::showProgress);
  connect(&monitor, &RunMonitor::finished, this, [this] {
    fileList_->setEnabled(true);
    for (QAction* action : {plus_, delete_}) action->setEnabled(true);
    sideBar_->showRunEnded();
  });
}

}  // namespace morvane
