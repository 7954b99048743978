// FileListModel: the options' file list as a tree model. Folders (even
// empty ones) have children, taken from their scanned contents. The model
// follows the list edit by edit (rows inserted and removed; a reset only
// when the whole list is replaced), so views keep expansion and selection.
// A row shows the entry's display name (computed when it is drawn), its
// full path as tooltip (with why, for an entry the run leaves out), the
// icon of its file type, and the disabled text colour when a run with the
// chosen export classes would not convert it.
#pragma once

#include <QAbstractItemModel>
#include <QHash>
#include <QIcon>
#include <QMimeDatabase>
#include <map>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "platform/env.h"
#include "options/morvane_options.h"
#include "views/options_signals.h"

namespace morvane {

class FileListModel : public QAbstractItemModel {
  Q_OBJECT
 public:
  FileListModel(OptionsSignals& changes, Env& env, QObject* parent = nullptr);
  ~FileListModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  // The one column's name, "Name", for a screen reader (the header is hidden).
  QVariant headerData(int section, Qt::Orientation orientation,
                      int role = Qt::DisplayRole) const override;

  // The entry a row shows; null for an invalid index.
  const NQFileDataObject* entry(const QModelIndex& index) const;
  // The row of the entry with `id`, at any depth; invalid when none has it.
  QModelIndex indexOf(const Uuid& id) const;
  // The rows of the entries with these ids, in list order, found in one
  // walk of the list; ids that match nothing are left out.
  QModelIndexList indexesOf(const std::unordered_set<Uuid>& ids) const;
  // True for a row that a run with the current export classes leaves
  // unconverted: a file or document package without a target, or anything
  // inside a package (the package is converted as a whole). Folders that
  // are walked never are: their entries decide for themselves.
  bool leftOutOfRun(const QModelIndex& index) const;
  // Why a run leaves the row out, in the user's words; empty for one it converts.
  QString whyLeftOut(const QModelIndex& index) const;

 private:
  // A folder of the list that has been asked for its rows. Indexes point
  // at the node of their parent folder; nodes live until their folder
  // leaves the list, so indexes stay valid across edits elsewhere.
  struct Node {
    Node* parent;        // null for the root (the top level)
    std::size_t row;     // the folder's row in the parent's contents
    bool inPackage;      // a document package, or inside one
    std::vector<std::unique_ptr<Node>> folders;  // by row
  };

  Node* nodeOf(const QModelIndex& index) const;
  Node* childNode(Node* parent, std::size_t row) const;
  Node* nodeAt(const std::vector<std::size_t>& rows, std::size_t depth) const;
  QModelIndex parentIndexOf(const std::vector<std::size_t>& rows) const;
  const std::vector<NQFileDataObject>* contents(const Node* node) const;
  void editStarts(const FileListEdit& edit);
  void editDone(const FileListEdit& edit);
  void dropFolderRow(Node* parent, std::size_t row);
  void exportClassesChanged();
  QIcon iconFor(const NQFileDataObject& entry) const;

  MorvaneOptions& options_;
  Env& env_;
  ChangePublisher::Token token_;
  std::unique_ptr<Node> root_;
  std::map<std::string, bool> exportClasses_;
  QMimeDatabase mimeTypes_;
  QIcon folderIcon_;
  QIcon fileIcon_;
  mutable QHash<QString, QIcon> iconsByMimeType_;
};

}  // namespace morvane
