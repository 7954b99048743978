// FileListView: what has been added. A tree of the file list with several
// rows selectable at any depth, kept in step with the options' selection
// both ways, with icons, path tooltips and the entries a run would not
// convert greyed; or, while the list is empty, EmptyFileListView telling
// how to add files. Both take dropped files and folders.
#pragma once

#include <QStackedWidget>
#include <QWidget>

#include "views/options_signals.h"
#include "platform/env.h"

class QLabel;
class QTreeView;

namespace morvane {

class FileDropTarget;
class FileListModel;

class EmptyFileListView : public QWidget {
  Q_OBJECT
 public:
  explicit EmptyFileListView(QWidget* parent = nullptr);

  QLabel* titleLabel() const { return title_; }
  QLabel* hintLabel() const { return hint_; }

 private:
  QLabel* title_;
  QLabel* hint_;
};

class FileListView : public QStackedWidget {
  Q_OBJECT
 public:
  FileListView(OptionsSignals& changes, Env& env, QWidget* parent = nullptr);

  QTreeView* tree() const { return tree_; }
  FileListModel* model() const { return model_; }
  EmptyFileListView* emptyView() const { return empty_; }
  FileDropTarget* dropTarget() const { return drops_; }

 private:
  void showBranch();
  std::unordered_set<Uuid> idsSelectedInView() const;
  void selectionFromView();
  void selectionFromOptions();

  MorvaneOptions& options_;
  Env& env_;
  FileListModel* model_;
  QTreeView* tree_;
  EmptyFileListView* empty_;
  FileDropTarget* drops_;
  bool syncing_ = false;
};

// "did click " and the selection as text: the ids between brackets.
std::string describeSelection(const std::unordered_set<Uuid>& selection);

}  // namespace morvane
