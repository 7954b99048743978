#include "app/add_files_panel.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace morvane {

AddFilesPanel::AddFilesPanel(QWidget* parent)
    : QDialog(parent),
      model_(new QFileSystemModel(this)),
      view_(new QTreeView(this)),
      location_(new QLineEdit(this)),
      up_(new QPushButton(tr("Up", "Open panel: go to the enclosing folder"), this)) {
  setWindowTitle(tr("Add Files", "Title of the panel that adds files for conversion"));
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

  auto* buttons = new QDialogButtonBox(this);
  open_ = buttons->addButton(tr("Open", "Open panel: add the chosen items"), QDialogButtonBox::AcceptRole);
  buttons->addButton(tr("Cancel", "Cancel button"), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(view_, &QTreeView::activated, this, &AddFilesPanel::activate);
  connect(up_, &QPushButton::clicked, this, &AddFilesPanel::goUp);
  connect(location_, &QLineEdit::returnPressed, this, [this] { setDirectory(location_->text()); });
  connect(view_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &AddFilesPanel::updateOpenButton);

  auto* top = new QHBoxLayout;
  top->addWidget(up_);
  top->addWidget(location_);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(view_);
  layout->addWidget(buttons);
  resize(640, 420);
  setDirectory(QDir::homePath());
}

void AddFilesPanel::setDirectory(const QString& dir) {
  const QString clean = QDir::cleanPath(QDir(dir).absolutePath());
  if (!QFileInfo(clean).isDir()) return;
  view_->setRootIndex(model_->setRootPath(clean));
  view_->clearSelection();
  location_->setText(clean);
  updateOpenButton();
}

QString AddFilesPanel::directory() const { return location_->text(); }

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
