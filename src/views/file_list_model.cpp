#include "views/file_list_model.h"

#include <QApplication>
#include <QBrush>
#include <QFileIconProvider>
#include <QPalette>
#include <algorithm>
#include <functional>

#include "engine/conversion_controller.h"
#include "engine/export_formats.h"
#include "views/run_texts.h"

namespace morvane {

namespace {

bool isExportClass(OptionsField field) {
  return field == OptionsField::officeExport || field == OptionsField::iworkExport ||
         field == OptionsField::pdfExport;
}

}  // namespace

FileListModel::FileListModel(OptionsSignals& changes, Env& env, QObject* parent)
    : QAbstractItemModel(parent),
      options_(changes.options()),
      env_(env),
      root_(new Node{nullptr, 0, false, {}}),
      exportClasses_(options_.exportClassFlags()) {
  // Edits are told synchronously around the change itself, which is what
  // the begin/end calls of an item model need.
  token_ = options_.publisher().subscribeToEdits([this](const FileListEdit& edit, bool done) {
    done ? editDone(edit) : editStarts(edit);
  });
  connect(&changes, &OptionsSignals::changed, this, [this](OptionsField field) {
    if (isExportClass(field)) exportClassesChanged();
  });
  QFileIconProvider provider;  // icons of the desktop where its theme has none
  folderIcon_ = QIcon::fromTheme(QStringLiteral("folder"), provider.icon(QFileIconProvider::Folder));
  fileIcon_ = provider.icon(QFileIconProvider::File);
}

FileListModel::~FileListModel() { options_.publisher().unsubscribe(token_); }

const std::vector<NQFileDataObject>* FileListModel::contents(const Node* node) const {
  if (node->parent == nullptr) return &options_.fileList();
  const std::vector<NQFileDataObject>* siblings = contents(node->parent);
  if (siblings == nullptr || node->row >= siblings->size()) return nullptr;
  const NQFileDataObject& folder = (*siblings)[node->row];
  return folder.dirContents ? &*folder.dirContents : nullptr;
}

FileListModel::Node* FileListModel::childNode(Node* parent, std::size_t row) const {
  auto at = std::lower_bound(parent->folders.begin(), parent->folders.end(), row,
                             [](const std::unique_ptr<Node>& n, std::size_t r) { return n->row < r; });
  if (at != parent->folders.end() && (*at)->row == row) return at->get();
  const NQFileDataObject& folder = (*contents(parent))[row];
  const bool inPackage = parent->inPackage || ConversionController::isIworkPackage(folder);
  return parent->folders.insert(at, std::unique_ptr<Node>(new Node{parent, row, inPackage, {}}))
      ->get();
}

FileListModel::Node* FileListModel::nodeOf(const QModelIndex& index) const {
  if (!index.isValid()) return root_.get();
  const NQFileDataObject* e = entry(index);
  if (e == nullptr || !e->dirContents) return nullptr;
  return childNode(static_cast<Node*>(index.internalPointer()), static_cast<std::size_t>(index.row()));
}

FileListModel::Node* FileListModel::nodeAt(const std::vector<std::size_t>& rows,
                                           std::size_t depth) const {
  Node* node = root_.get();
  for (std::size_t i = 0; i < depth; ++i) node = childNode(node, rows[i]);
  return node;
}

// The index of the folder that holds the entry at `rows`; invalid for a
// top-level entry.
QModelIndex FileListModel::parentIndexOf(const std::vector<std::size_t>& rows) const {
  if (rows.size() < 2) return {};
  const std::size_t depth = rows.size() - 2;
  return createIndex(static_cast<int>(rows[depth]), 0, nodeAt(rows, depth));
}

QModelIndex FileListModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  Node* node = nodeOf(parent);
  if (node == nullptr) return {};
  const std::vector<NQFileDataObject>* children = contents(node);
  if (children == nullptr || static_cast<std::size_t>(row) >= children->size()) return {};
  return createIndex(row, column, node);
}

QModelIndex FileListModel::parent(const QModelIndex& child) const {
  if (!child.isValid()) return {};
  const Node* node = static_cast<const Node*>(child.internalPointer());
  if (node->parent == nullptr) return {};
  return createIndex(static_cast<int>(node->row), 0, node->parent);
}

int FileListModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return static_cast<int>(options_.fileList().size());
  const NQFileDataObject* e = entry(parent);
  return e != nullptr && e->dirContents ? static_cast<int>(e->dirContents->size()) : 0;
}

int FileListModel::columnCount(const QModelIndex&) const { return 1; }

QVariant FileListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (section == 0 && orientation == Qt::Horizontal &&
      (role == Qt::DisplayRole || role == Qt::AccessibleTextRole)) {
    return tr("Name", "Header of the file list's one column, read by a screen reader");
  }
  return QAbstractItemModel::headerData(section, orientation, role);
}

bool FileListModel::hasChildren(const QModelIndex& parent) const {
  if (!parent.isValid()) return !options_.fileList().empty();
  const NQFileDataObject* e = entry(parent);
  return e != nullptr && e->dirContents.has_value();  // a folder, even an empty one
}

QVariant FileListModel::data(const QModelIndex& index, int role) const {
  const NQFileDataObject* e = entry(index);
  if (e == nullptr) return {};
  switch (role) {
    case Qt::DisplayRole:
      return QString::fromStdString(e->displayValue("filename", env_));
    case Qt::ToolTipRole: {
      const QString why = whyLeftOut(index);
      const QString path = QString::fromStdString(e->url.string());
      return why.isEmpty() ? path : path + '\n' + why;
    }
    case Qt::DecorationRole:
      return iconFor(*e);
    case Qt::ForegroundRole:
      if (!leftOutOfRun(index)) return {};
      return QBrush(QApplication::palette().color(QPalette::Disabled, QPalette::Text));
    default:
      return {};
  }
}

const NQFileDataObject* FileListModel::entry(const QModelIndex& index) const {
  if (!index.isValid() || index.model() != this) return nullptr;
  const std::vector<NQFileDataObject>* siblings =
      contents(static_cast<const Node*>(index.internalPointer()));
  const auto row = static_cast<std::size_t>(index.row());
  return siblings != nullptr && row < siblings->size() ? &(*siblings)[row] : nullptr;
}

bool FileListModel::leftOutOfRun(const QModelIndex& index) const {
  const NQFileDataObject* e = entry(index);
  if (e == nullptr) return false;
  if (static_cast<const Node*>(index.internalPointer())->inPackage) return true;
  return runTreatment(*e, exportClasses_) == RunTreatment::notConverted;
}

QString FileListModel::whyLeftOut(const QModelIndex& index) const {
  if (!leftOutOfRun(index)) return {};
  const NQFileDataObject& e = *entry(index);
  if (static_cast<const Node*>(index.internalPointer())->inPackage) {
    return tr("Part of a document package: converted with it", "Tooltip of a greyed entry");
  }
  if (std::optional<MissingExport> missing = missingExport(e, exportClasses_)) {
    return tr("Not converted: %1", "Tooltip of a greyed entry: why")
        .arg(RunTexts::missingExport(*missing, true));
  }
  if (e.isSpecial) {
    return tr("Neither a file nor a folder: left out", "Tooltip of a greyed entry");
  }
  return options_.copyNonconvertibleFiles()
             ? tr("Not a document to convert: copied to the target folder",
                  "Tooltip of a greyed entry")
             : tr("Not a document to convert: left out", "Tooltip of a greyed entry");
}

namespace {

// The theme's generic office icon for a type of document this list is made
// for ("x-office-spreadsheet"); empty for anything else. The iWork types
// do not all name one in the shared MIME database.
QString officeIconName(const QMimeType& type) {
  static const QHash<QString, QString> iwork = {
      {QStringLiteral("application/vnd.apple.pages"), QStringLiteral("x-office-document")},
      {QStringLiteral("application/vnd.apple.numbers"), QStringLiteral("x-office-spreadsheet")},
      {QStringLiteral("application/vnd.apple.keynote"), QStringLiteral("x-office-presentation")}};
  if (auto found = iwork.constFind(type.name()); found != iwork.constEnd()) return *found;
  const QString generic = type.genericIconName();
  return generic.startsWith(QLatin1String("x-office-")) ? generic : QString();
}

}  // namespace

QIcon FileListModel::iconFor(const NQFileDataObject& e) const {
  if (e.isDir && !ConversionController::isIworkPackage(e)) return folderIcon_;
  // By name alone: reading every file's first bytes would make drawing slow.
  const QList<QMimeType> types =
      mimeTypes_.mimeTypesForFileName(QString::fromStdString(lastPathComponent(e.url)));
  if (types.isEmpty()) return fileIcon_;
  // A name that fits several types ("Talk.key": a Keynote presentation or
  // a PGP key) is taken as the office document this list is made for.
  auto office = std::find_if(types.begin(), types.end(), [](const QMimeType& t) {
    return !officeIconName(t).isEmpty();
  });
  const QMimeType& type = office != types.end() ? *office : types.front();
  auto cached = iconsByMimeType_.constFind(type.name());
  if (cached != iconsByMimeType_.constEnd()) return *cached;
  const QIcon icon = QIcon::fromTheme(
      type.iconName(),
      QIcon::fromTheme(officeIconName(type), QIcon::fromTheme(type.genericIconName(), fileIcon_)));
  iconsByMimeType_.insert(type.name(), icon);
  return icon;
}

QModelIndex FileListModel::indexOf(const Uuid& id) const {
  const QModelIndexList found = indexesOf({id});
  return found.isEmpty() ? QModelIndex() : found.front();
}

QModelIndexList FileListModel::indexesOf(const std::unordered_set<Uuid>& ids) const {
  QModelIndexList found;
  std::vector<std::size_t> rows;
  std::function<void(const std::vector<NQFileDataObject>&)> walk =
      [&](const std::vector<NQFileDataObject>& entries) {
        for (std::size_t row = 0; row < entries.size(); ++row) {
          if (static_cast<std::size_t>(found.size()) == ids.size()) return;
          const NQFileDataObject& e = entries[row];
          rows.push_back(row);
          if (ids.contains(e.id)) {
            found.push_back(createIndex(static_cast<int>(row), 0, nodeAt(rows, rows.size() - 1)));
          }
          if (e.dirContents) walk(*e.dirContents);
          rows.pop_back();
        }
      };
  if (!ids.empty()) walk(options_.fileList());
  return found;
}

void FileListModel::editStarts(const FileListEdit& edit) {
  switch (edit.kind) {
    case FileListEdit::Kind::append: {
      const int row = static_cast<int>(edit.rows.at(0));
      beginInsertRows({}, row, row);
      break;
    }
    case FileListEdit::Kind::remove: {
      const int row = static_cast<int>(edit.rows.back());
      beginRemoveRows(parentIndexOf(edit.rows), row, row);
      break;
    }
    case FileListEdit::Kind::replace:
      beginResetModel();
      break;
  }
}

void FileListModel::editDone(const FileListEdit& edit) {
  switch (edit.kind) {
    case FileListEdit::Kind::append:
      endInsertRows();
      break;
    case FileListEdit::Kind::remove:
      dropFolderRow(nodeAt(edit.rows, edit.rows.size() - 1), edit.rows.back());
      endRemoveRows();
      break;
    case FileListEdit::Kind::replace:
      root_->folders.clear();
      endResetModel();
      break;
  }
}

// The row has left `parent`: its node (if it was a folder asked for its
// rows) goes with everything below it, and the folders after it move up.
void FileListModel::dropFolderRow(Node* parent, std::size_t row) {
  auto& folders = parent->folders;
  auto at = std::lower_bound(folders.begin(), folders.end(), row,
                             [](const std::unique_ptr<Node>& n, std::size_t r) { return n->row < r; });
  if (at != folders.end() && (*at)->row == row) at = folders.erase(at);
  for (; at != folders.end(); ++at) --(*at)->row;
}

// Every row may have changed colour: one dataChanged per folder that a
// view has asked for rows (the others have no rows on screen).
void FileListModel::exportClassesChanged() {
  std::map<std::string, bool> classes = options_.exportClassFlags();
  if (classes == exportClasses_) return;
  exportClasses_ = std::move(classes);
  const QList<int> roles = {Qt::ForegroundRole};
  std::function<void(Node*)> refresh = [&](Node* node) {
    const std::vector<NQFileDataObject>* children = contents(node);
    if (children != nullptr && !children->empty()) {
      emit dataChanged(createIndex(0, 0, node),
                       createIndex(static_cast<int>(children->size()) - 1, 0, node), roles);
    }
    for (const std::unique_ptr<Node>& folder : node->folders) refresh(folder.get());
  };
  refresh(root_.get());
}

}  // namespace morvane
