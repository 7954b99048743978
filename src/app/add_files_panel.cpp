#include "app/add_files_panel.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileIconProvider>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QStandardPaths>
#include <QTreeView>
#include <QVBoxLayout>

#include "views/symbols.h"

namespace morvane {

namespace {

bool isAtOrBelow(const QString& path, const QString& folder) {
  return path == folder || path.startsWith(folder.endsWith('/') ? folder : folder + '/');
}

// The home, desktop and documents folders that exist, each once.
QStringList userFolders() {
  QStringList folders{QDir::homePath()};
  for (auto location : {QStandardPaths::DesktopLocation, QStandardPaths::DocumentsLocation}) {
    const QString folder = QDir::cleanPath(QStandardPaths::writableLocation(location));
    if (!folder.isEmpty() && QFileInfo(folder).isDir() && !folders.contains(folder)) {
      folders << folder;
    }
  }
  return folders;
}

}  // namespace

bool isUserVolume(const QString& rootPath, const QByteArray& type) {
  static const QByteArrayList pseudoTypes = {
      "autofs",  "binfmt_misc", "bpf",      "cgroup",    "cgroup2",   "configfs",
      "debugfs", "devpts",      "devtmpfs", "efivarfs",  "fusectl",   "hugetlbfs",
      "mqueue",  "nsfs",        "proc",     "pstore",    "ramfs",     "rpc_pipefs",
      "securityfs", "selinuxfs", "squashfs", "sysfs",    "tmpfs",     "tracefs",
      "fuse.gvfsd-fuse", "fuse.portal", "fuse.snapfuse", "fuse.lxcfs"};
  if (pseudoTypes.contains(type)) return false;
  for (const char* removable : {"/media", "/mnt", "/run/media"}) {
    if (isAtOrBelow(rootPath, removable)) return rootPath != removable;
  }
  for (const char* system : {"/proc", "/sys", "/dev", "/run", "/snap", "/boot", "/var", "/tmp",
                             "/usr", "/etc"}) {
    if (isAtOrBelow(rootPath, system)) return false;
  }
  return rootPath != "/";
}

QList<QUrl> chooserPlaces(const QList<QStorageInfo>& volumes) {
  const QStringList folders = userFolders();
  QStringList places = folders;
  places << QStringLiteral("/");
  for (const QStorageInfo& volume : volumes) {
    const QString root = QDir::cleanPath(volume.rootPath());
    // The volume that holds the home folder is reached through it.
    if (!volume.isValid() || !volume.isReady() || isAtOrBelow(QDir::homePath(), root) ||
        !isUserVolume(root, volume.fileSystemType()) || places.contains(root)) {
      continue;
    }
    places << root;
  }
  QList<QUrl> urls;
  for (const QString& place : places) urls << QUrl::fromLocalFile(place);
  return urls;
}

AddFilesPanel::AddFilesPanel(QWidget* parent)
    : QDialog(parent),
      icons_(std::make_unique<QFileIconProvider>()),
      model_(new QFileSystemModel(this)),
      view_(new QTreeView(this)),
      places_(new QListWidget(this)),
      location_(new QLineEdit(this)),
      up_(new QPushButton(tr("Up", "Open panel: go to the enclosing folder"), this)) {
  setWindowTitle(tr("Add Files", "Title of the panel that adds files for conversion"));
  model_->setIconProvider(icons_.get());
  model_->setFilter(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::AllDirs);
  model_->setReadOnly(true);
  view_->setModel(model_);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setSelectionBehavior(QAbstractItemView::SelectRows);
  view_->setRootIsDecorated(false);
  view_->setItemsExpandable(false);
  view_->setSortingEnabled(true);
  view_->sortByColumn(0, Qt::AscendingOrder);
  view_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  view_->setAccessibleName(tr("Folder contents", "Open panel: accessible name of the listing"));
  places_->setAccessibleName(tr("Places", "Open panel: accessible name of the places list"));
  location_->setAccessibleName(tr("Location", "Open panel: accessible name of the typed path"));
  up_->setIcon(symbol("go-up", QStyle::SP_FileDialogToParent));
  places_->setIconSize(QSize(16, 16));
  fillPlaces();

  auto* buttons = new QDialogButtonBox(this);
  open_ = buttons->addButton(tr("Open", "Open panel: add the chosen items"), QDialogButtonBox::AcceptRole);
  buttons->addButton(tr("Cancel", "Cancel button"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(view_, &QTreeView::activated, this, &AddFilesPanel::activate);
  connect(up_, &QPushButton::clicked, this, &AddFilesPanel::goUp);
  // Return then goes on to the default button, Open, which adds what is
  // chosen by now.
  connect(location_, &QLineEdit::returnPressed, this, [this] { goTo(location_->text()); });
  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &AddFilesPanel::updateOpenButton);
  for (auto signal : {&QListWidget::itemClicked, &QListWidget::itemActivated}) {
    connect(places_, signal, this, [this](QListWidgetItem* item) {
      setDirectory(item->data(Qt::UserRole).toUrl().toLocalFile());
    });
  }

  auto* top = new QHBoxLayout;
  top->addWidget(up_);
  top->addWidget(location_);
  auto* split = new QSplitter(this);
  split->addWidget(places_);
  split->addWidget(view_);
  split->setStretchFactor(1, 1);
  split->setSizes({160, 560});
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(split, 1);
  layout->addWidget(buttons);
  resize(760, 460);
  setDirectory(QDir::homePath());
}

// The model goes first: its reader thread asks the icon provider.
AddFilesPanel::~AddFilesPanel() { delete model_; }

void AddFilesPanel::fillPlaces() {
  const QString home = QDir::homePath();
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  for (const QUrl& url : chooserPlaces()) {
    const QString path = url.toLocalFile();
    QString name;
    QIcon icon;
    if (path == home) {
      name = tr("Home", "Open panel: the place of the home folder");
      icon = symbol("user-home", QStyle::SP_DirHomeIcon);
    } else if (path == QDir::cleanPath(desktop)) {
      name = tr("Desktop", "Open panel: the place of the desktop folder");
      icon = symbol("user-desktop", QStyle::SP_DesktopIcon);
    } else if (path == QDir::cleanPath(documents)) {
      name = tr("Documents", "Open panel: the place of the documents folder");
      icon = symbol("folder-documents", QStyle::SP_DirIcon);
    } else if (path == "/") {
      name = tr("Computer", "Open panel: the place of the root folder");
      icon = symbol("drive-harddisk", QStyle::SP_DriveHDIcon);
    } else {
      const QStorageInfo volume(path);
      name = volume.name().isEmpty() ? QFileInfo(path).fileName() : volume.name();
      icon = symbol("drive-removable-media", QStyle::SP_DriveHDIcon);
    }
    auto* item = new QListWidgetItem(icon, name, places_);
    item->setData(Qt::UserRole, url);
    item->setToolTip(path);
  }
}

QList<QUrl> AddFilesPanel::sidebarUrls() const {
  QList<QUrl> urls;
  for (int row = 0; row < places_->count(); ++row) {
    urls << places_->item(row)->data(Qt::UserRole).toUrl();
  }
  return urls;
}

void AddFilesPanel::setDirectory(const QString& dir) {
  const QString clean = QDir::cleanPath(QDir(dir).absolutePath());
  if (!QFileInfo(clean).isDir()) return;
  view_->setRootIndex(model_->setRootPath(clean));
  view_->clearSelection();
  directory_ = clean;
  location_->setText(clean);
  updateOpenButton();
}

QString AddFilesPanel::directory() const { return directory_; }

void AddFilesPanel::goTo(const QString& typed) {
  QString path = typed.trimmed();
  if (path == "~" || path.startsWith("~/")) path = QDir::homePath() + path.mid(1);
  const QFileInfo target(QDir(directory_).absoluteFilePath(path));
  if (target.isDir()) {
    setDirectory(target.absoluteFilePath());
    return;
  }
  view_->clearSelection();
  if (!target.exists()) return;
  setDirectory(target.absolutePath());
  view_->selectionModel()->setCurrentIndex(
      model_->index(target.absoluteFilePath()),
      QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

std::vector<std::filesystem::path> AddFilesPanel::chosen() const {
  std::vector<std::filesystem::path> paths;
  for (const QModelIndex& index : view_->selectionModel()->selectedRows(0)) {
    paths.emplace_back(model_->filePath(index).toStdString());
  }
  return paths;
}

void AddFilesPanel::activate(const QModelIndex& index) {
  if (model_->isDir(index)) {
    setDirectory(model_->filePath(index));
  } else {
    accept();
  }
}

void AddFilesPanel::goUp() {
  QDir dir(directory());
  if (dir.cdUp()) setDirectory(dir.absolutePath());
}

void AddFilesPanel::updateOpenButton() {
  open_->setEnabled(view_->selectionModel()->hasSelection());
}

std::vector<std::filesystem::path> QtOpenPanel::run() {
  AddFilesPanel panel(parent_);
  if (!lastDirectory_.isEmpty()) panel.setDirectory(lastDirectory_);
  const bool accepted = panel.exec() == QDialog::Accepted;
  lastDirectory_ = panel.directory();
  return accepted ? panel.chosen() : std::vector<std::filesystem::path>{};
}

}  // namespace morvane
