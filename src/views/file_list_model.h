// FileListModel: the options' file list as a tree model. Folders (even
// empty ones) have children, taken from their scanned contents; each row
// shows the entry's display name, computed when the row is drawn. The
// model follows the list: while the list is being changed it reports no
// rows, and it is rebuilt once the change is stored.
#pragma once

#include <QAbstractItemModel>
#include <unordered_map>

#include "views/options_signals.h"
#include "filelist/env.h"
#include "options/morvane_options.h"

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

  // The entry a row shows; null for an invalid index.
  const NQFileDataObject* entry(const QModelIndex& index) const;
  // The row of the entry with `id`, at any depth; invalid when none has it.
  QModelIndex indexOf(const Uuid& id) const;

 private:
  const std::vector<NQFileDataObject>* childrenOf(const QModelIndex& parent) const;
  void rebuild();

  struct Place {
    const NQFileDataObject* parent;  // null at the top level
    int row;
  };

  MorvaneOptions& options_;
  Env& env_;
  ChangePublisher::Token token_;
  bool changing_ = false;  // between the announcement and the stored change
  std::unordered_map<const NQFileDataObject*, Place> places_;
  std::unordered_map<Uuid, const NQFileDataObject*> byId_;
};

}  // namespace morvane
