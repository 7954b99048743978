#include "views/content_view.h"

#include <QAction>
#include <QHBoxLayout>
#include <QShortcut>
#include <QTimer>
#include <QTreeView>

#include "views/file_list_view.h"
#include "views/side_bar_view.h"
#include "views/symbols.h"

namespace morvane {

ContentView::ContentView(OptionsSignals& changes, Env& env, ContentCommands& commands,
                         QWidget* parent)
    : QWidget(parent),
      options_(changes.options()),
      fileList_(new FileListView(changes, env, this)),
      sideBar_(new SideBarView(
          changes, [&commands] { return commands.showOpenTargetFolderPanel(); }, env,
          [&commands] { commands.runConversion(); }, this)),
      plus_(new QAction(symbol("folder-new", QStyle::SP_FileDialogNewFolder),
                        tr("Add files", "Toolbar button that adds files"), this)),
      delete_(new QAction(symbol("user-trash", QStyle::SP_TrashIcon),
                          tr("Remove from list", "Toolbar button that removes the selected files"),
                          this)) {
  // The list takes the width the side bar leaves; the side bar keeps its own.
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(fileList_, 1);
  row->addWidget(sideBar_);
  fileList_->tree()->setAccessibleName(tr("Files to convert", "Accessible name of the file list"));

  makeActions(commands);
  sideBar_->setCancel([&commands] { commands.cancelConversion(); });
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, [&commands] { commands.cancelConversion(); });
  connect(&changes, &OptionsSignals::changed, this, [this](OptionsField field) {
    if (field == OptionsField::selection || field == OptionsField::fileList) updateActions();
  });
  updateActions();
}

void ContentView::makeActions(ContentCommands& commands) {
  plus_->setObjectName(QStringLiteral("Plus"));
  delete_->setObjectName(QStringLiteral("Delete"));
  plus_->setToolTip(tr("Add files for conversion…", "Tooltip for add files button"));
  delete_->setToolTip(tr("Remove the selected entries from the list",
                         "Tooltip for the button that removes the selected files"));
  // Delete and BackSpace remove the selection while the focus is in the
  // list; in the side bar (a switch, a button, a text field) the keys do
  // not reach the list.
  delete_->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_Backspace)});
  delete_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  fileList_->addAction(delete_);
  // Posted to the event loop: the command runs after the click is handled.
  connect(plus_, &QAction::triggered, this, [this, &commands] {
    QTimer::singleShot(0, this, [&commands] { commands.addFilesFromPanel(); });
  });
  connect(delete_, &QAction::triggered, this, [this, &commands] {
    QTimer::singleShot(0, this, [&commands] { commands.removeSelectedFiles(); });
  });
  addAction(plus_);
}

void ContentView::updateActions() {
  plus_->setEnabled(!running_);
  delete_->setEnabled(!running_ && !options_.selection().empty());
}

void ContentView::showRunStarted() {
  running_ = true;
  fileList_->setEnabled(false);
  updateActions();
  sideBar_->showRunStarted();
}

void ContentView::showRunProgress(int opened, int total, const QString& document) {
  sideBar_->showProgress(opened, total, document);
}

void ContentView::showRunEnded() {
  running_ = false;
  fileList_->setEnabled(true);
  updateActions();
  sideBar_->showRunEnded();
}

void ContentView::showLastRun(const QString& summary, const QString& targetFolder) {
  sideBar_->showLastRun(summary, targetFolder);
}

}  // namespace morvane
