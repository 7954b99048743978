// ContentView: the root view of the main window: the file list on the
// left, taking whatever width the window gives, and the side bar on the
// right at its own width. It starts at 800 x 600. Its two actions, "Plus"
// and "Delete", post their commands to the event loop instead of running
// them inside the click; "Delete" is enabled only while entries are
// selected and also answers the Delete and BackSpace keys in the list.
// During a run the list and its commands rest, and Escape cancels. What it
// asks of the application goes through ContentCommands.
#pragma once

#include <QWidget>

#include "platform/env.h"
#include "views/content_commands.h"
#include "views/options_signals.h"

class QAction;

namespace morvane {

class FileListView;
class SideBarView;

class ContentView : public QWidget {
  Q_OBJECT
 public:
  ContentView(OptionsSignals& changes, Env& env, ContentCommands& commands,
              QWidget* parent = nullptr);

  FileListView* fileList() const { return fileList_; }
  SideBarView* sideBar() const { return sideBar_; }
  QAction* plusAction() const { return plus_; }
  QAction* deleteAction() const { return delete_; }

  // The size the window opens with; it may grow and shrink from there.
  QSize sizeHint() const override { return {800, 600}; }

 public slots:
  // A run has started, come so far, ended; the list and its commands rest
  // meanwhile and the side bar shows the progress.
  void showRunStarted();
  void showRunProgress(int opened, int total, const QString& document);
  void showRunEnded();
  // "Last run: …" with Show in Folder.
  void showLastRun(const QString& summary, const QString& targetFolder);

 private:
  void makeActions(ContentCommands& commands);
  void updateActions();

  MorvaneOptions& options_;
  FileListView* fileList_;
  SideBarView* sideBar_;
  QAction* plus_;
  QAction* delete_;
  bool running_ = false;
};

}  // namespace morvane
