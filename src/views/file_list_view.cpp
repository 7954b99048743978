#include "views/file_list_view.h"

#include <QHeaderView>
#include <QLabel>
#include <QRegularExpression>
#include <QTreeView>
#include <QVBoxLayout>

#include "views/file_drop_target.h"
#include "views/file_list_model.h"
#include "views/symbols.h"

namespace morvane {

EmptyFileListView::EmptyFileListView(QWidget* parent)
    : QWidget(parent),
      title_(new QLabel(tr("No files added yet", "Shown while the file list is empty"), this)),
      hint_(new QLabel(this)) {
  auto* image = new QLabel(this);
  image->setPixmap(symbol("system-search", QStyle::SP_FileDialogContentsView).pixmap(60, 60));
  image->setAlignment(Qt::AlignCenter);
  image->setEnabled(false);  // drawn in gray
  QFont titleFont = title_->font();
  titleFont.setPointSizeF(titleFont.pointSizeF() * 1.6);
  titleFont.setWeight(QFont::DemiBold);
  title_->setFont(titleFont);
  title_->setAlignment(Qt::AlignCenter);
  title_->setForegroundRole(QPalette::PlaceholderText);
  // The + of the hint is shown as code, like the button it names.
  const QString hint = tr("Drag and drop files and folders or click the `+` button above here to start ",
                          "Hint shown while the file list is empty");
  QString html = hint.toHtmlEscaped();
  html.replace(QRegularExpression("`([^`]*)`"), "<code>\\1</code>");
  hint_->setTextFormat(Qt::RichText);
  hint_->setText(html);
  hint_->setWordWrap(true);
  hint_->setAlignment(Qt::AlignCenter);
  hint_->setForegroundRole(QPalette::PlaceholderText);
  hint_->setContentsMargins(40, 0, 40, 0);

  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(20);
  layout->addStretch();
  layout->addWidget(image);
  layout->addWidget(title_);
  layout->addWidget(hint_);
  layout->addStretch();
}

FileListView::FileListView(OptionsSignals& changes, Env& env, QWidget* parent)
    : QStackedWidget(parent),
      options_(changes.options()),
      env_(env),
      model_(new FileListModel(changes, env, this)),
      tree_(new QTreeView(this)),
      empty_(new EmptyFileListView(this)),
      drops_(new FileDropTarget(changes.options(), this)) {
  setMinimumSize(200, 200);
  tree_->setModel(model_);
  tree_->setHeaderHidden(true);
  tree_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  tree_->setUniformRowHeights(true);  // rows are drawn as they come into view
  addWidget(tree_);
  addWidget(empty_);
  drops_->attach(tree_->viewport());
  drops_->attach(empty_);

  connect(tree_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
          &FileListView::selectionFromView);
  // Rows come and go one by one, the expansion and selection of the others
  // kept; only a replaced list starts over.
  connect(model_, &QAbstractItemModel::rowsInserted, this, &FileListView::showBranch);
  connect(model_, &QAbstractItemModel::rowsRemoved, this, &FileListView::showBranch);
  connect(model_, &QAbstractItemModel::modelReset, this, [this] {
    showBranch();
    selectionFromOptions();
  });
  connect(&changes, &OptionsSignals::changed, this, [this](OptionsField field) {
    if (field == OptionsField::selection) selectionFromOptions();
  });
  connect(tree_, &QTreeView::doubleClicked, this, [this] {
    env_.log("did click " + describeSelection(options_.selection()));
  });
  showBranch();
}

void FileListView::showBranch() {
  setCurrentWidget(options_.fileList().empty() ? static_cast<QWidget*>(empty_) : tree_);
}

std::unordered_set<Uuid> FileListView::idsSelectedInView() const {
  std::unordered_set<Uuid> ids;
  for (const QModelIndex& index : tree_->selectionModel()->selectedIndexes()) {
    if (const NQFileDataObject* e = model_->entry(index)) ids.insert(e->id);
  }
  return ids;
}

void FileListView::selectionFromView() {
  if (syncing_) return;
  std::unordered_set<Uuid> ids = idsSelectedInView();
  if (ids != options_.selection()) options_.setSelection(std::move(ids));
}

void FileListView::selectionFromOptions() {
  // Mostly the echo of a selection made here: then there is nothing to look up.
  if (idsSelectedInView() == options_.selection()) return;
  QItemSelection wanted;
  for (const QModelIndex& index : model_->indexesOf(options_.selection())) {
    wanted.select(index, index);
  }
  if (wanted == tree_->selectionModel()->selection()) return;
  syncing_ = true;
  tree_->selectionModel()->select(wanted, QItemSelectionModel::ClearAndSelect);
  // The keyboard goes on from the selection (after Delete: the next row).
  if (!wanted.isEmpty()) {
    tree_->selectionModel()->setCurrentIndex(wanted.first().topLeft(),
                                             QItemSelectionModel::NoUpdate);
  }
  syncing_ = false;
}

std::string describeSelection(const std::unordered_set<Uuid>& selection) {
  std::string text = "[";
  for (const Uuid& id : selection) {
    if (text.size() > 1) text += ", ";
    text += id.toString();
  }
  return text + "]";
}

}  // namespace morvane
