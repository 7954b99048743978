#include "views/file_list_model.h"

namespace morvane {

FileListModel::FileListModel(OptionsSignals& changes, Env& env, QObject* parent)
    : QAbstractItemModel(parent), options_(changes.options()), env_(env) {
  // The list is announced before it changes: from then until the change is
  // stored and delivered, the model has no rows and keeps no pointer into it.
  token_ = options_.publisher().subscribe([this](OptionsField field) {
    if (field != OptionsField::fileList || changing_) return;
    beginResetModel();
    changing_ = true;
    places_.clear();
    byId_.clear();
  });
  connect(&changes, &OptionsSignals::changed, this, [this](OptionsField field) {
    if (field != OptionsField::fileList || !changing_) return;
    rebuild();
    changing_ = false;
    endResetModel();
  });
  rebuild();
}

FileListModel::~FileListModel() { options_.publisher().unsubscribe(token_); }

void FileListModel::rebuild() {
  places_.clear();
  byId_.clear();
  std::vector<std::pair<const NQFileDataObject*, const std::vector<NQFileDataObject>*>> todo = {
      {nullptr, &options_.fileList()}};
  while (!todo.empty()) {
    auto [parent, children] = todo.back();
    todo.pop_back();
    for (std::size_t row = 0; row < children->size(); ++row) {
      const NQFileDataObject& e = (*children)[row];
      places_.emplace(&e, Place{parent, static_cast<int>(row)});
      byId_.emplace(e.id, &e);
      if (e.dirContents) todo.emplace_back(&e, &*e.dirContents);
    }
  }
}

const std::vector<NQFileDataObject>* FileListModel::childrenOf(const QModelIndex& parent) const {
  if (changing_) return nullptr;
  if (!parent.isValid()) return &options_.fileList();
  const NQFileDataObject* e = entry(parent);
  return e != nullptr && e->dirContents ? &*e->dirContents : nullptr;
}

QModelIndex FileListModel::index(int row, int column, const QModelIndex& parent) const {
  const std::vector<NQFileDataObject>* children = childrenOf(parent);
  if (children == nullptr || column != 0 || row < 0 || row >= static_cast<int>(children->size())) {
    return {};
  }
  return createIndex(row, column, const_cast<NQFileDataObject*>(&(*children)[row]));
}

QModelIndex FileListModel::parent(const QModelIndex& child) const {
  const NQFileDataObject* e = entry(child);
  if (e == nullptr) return {};
  const NQFileDataObject* parent = places_.at(e).parent;
  if (parent == nullptr) return {};
  return createIndex(places_.at(parent).row, 0, const_cast<NQFileDataObject*>(parent));
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  const std::vector<NQFileDataObject>* children = childrenOf(parent);
  return children == nullptr ? 0 : static_cast<int>(children->size());
}

int FileListModel::columnCount(const QModelIndex&) const { return 1; }

bool FileListModel::hasChildren(const QModelIndex& parent) const {
  if (!parent.isValid()) return rowCount(parent) > 0;
  const NQFileDataObject* e = entry(parent);
  return e != nullptr && e->dirContents.has_value();  // a folder, even an empty one
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  const NQFileDataObject* e = entry(index);
  if (e == nullptr || role != Qt::DisplayRole) return {};
  return QString::fromStdString(e->displayValue("filename", env_));
}

const NQFileDataObject* FileListModel::entry(const QModelIndex& index) const {
  if (!index.isValid() || changing_ || index.model() != this) return nullptr;
  return static_cast<const NQFileDataObject*>(index.internalPointer());
}

QModelIndex FileListModel::indexOf(const Uuid& id) const {
  auto it = byId_.find(id);
  if (changing_ || it == byId_.end()) return {};
  return createIndex(places_.at(it->second).row, 0, const_cast<NQFileDataObject*>(it->second));
}

}  // namespace morvane
