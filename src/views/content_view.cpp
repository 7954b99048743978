#include "views/content_view.h"

#include <QAction>
#include <QHBoxLayout>
#include <QShortcut>
#include <QTimer>

#include "views/file_list_view.h"
#include "views/side_bar_view.h"
#include "views/symbols.h"

namespace morvane {

ContentView::ContentView(OptionsSignals& changes, Env& env, ContentCommands& commands,
                         QWidget* parent)
    : QWidget(parent),
      fileList_(new FileListView(changes, env, this)),
      sideBar_(new SideBarView(
          changes, [&commands] { return commands.showOpenTargetFolderPanel(); }, env,
          [&commands] { commands.runConversion(); }, this)),
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
  connect(plus_, &QAction::triggered, this, [this, &commands] {
    QTimer::singleShot(0, this, [&commands] { commands.addFilesFromPanel(); });
  });
  connect(delete_, &QAction::triggered, this, [this, &commands] {
    QTimer::singleShot(0, this, [&commands] { commands.removeSelectedFiles(); });
  });
  addAction(plus_);
  addAction(delete_);
  sideBar_->setCancel([&commands] { commands.cancelConversion(); });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [&commands] { commands.cancelConversion(); });
}

void ContentView::showRunStarted() {
  fileList_->setEnabled(false);
  for (QAction* action : {plus_, delete_}) action->setEnabled(false);
  sideBar_->showRunStarted();
}

void ContentView::showRunProgress(int opened, int total, const QString& document) {
  sideBar_->showProgress(opened, total, document);
}

void ContentView::showRunEnded() {
  fileList_->setEnabled(true);
  for (QAction* action : {plus_, delete_}) action->setEnabled(true);
  sideBar_->showRunEnded();
}

void ContentView::showLastRun(const QString& summary, const QString& targetFolder) {
  sideBar_->showLastRun(summary, targetFolder);
}

}  // namespace morvane
