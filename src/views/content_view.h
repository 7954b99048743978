// ContentView: the root view of the main window, 800 x 600: the file list
// on the left, the side bar on the right. Its two actions, "Plus" and
// "Delete", go into the window's toolbar; each posts its command to the
// event loop instead of running it inside the click. During a run the list
// and its commands rest, and Escape cancels.
#pragma once

#include <QWidget>

class QAction;

namespace morvane {

class AppDelegate;
class FileListView;
class RunMonitor;
class SideBarView;

class ContentView : public QWidget {
  Q_OBJECT
 public:
  explicit ContentView(AppDelegate& delegate, QWidget* parent = nullptr);

  FileListView* fileList() const { return fileList_; }
  SideBarView* sideBar() const { return sideBar_; }
  QAction* plusAction() const { return plus_; }
  QAction* deleteAction() const { return delete_; }

 private:
  void followRuns(RunMonitor& monitor);

  FileListView* fileList_;
  SideBarView* sideBar_;
  QAction* plus_;
  QAction* delete_;
};

}  // namespace morvane
