#include "views/content_view.h"

#include <QAction>
#include <QHBoxLayout>

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
}

}  // namespace morvane
