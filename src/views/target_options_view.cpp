#include "views/target_options_view.h"

#include <QCheckBox>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "filelist/nq_file_data_object.h"
#include "views/export_options_view.h"

namespace morvane {

TargetOptionsView::TargetOptionsView(OptionsSignals& changes, FolderChooser chooseFolder, Env& env,
                                     QWidget* parent)
    : QWidget(parent),
      options_(changes.options()),
      chooseFolder_(std::move(chooseFolder)),
      env_(env),
      icon_(new QLabel(this)),
      name_(new QLabel(this)),
      none_(new QLabel(QStringLiteral("---"), this)),
      choose_(new QPushButton(tr("Choose…", "Button that chooses the target folder"), this)),
      rebuild_(new QCheckBox(tr("Rebuild folder structure", "Switch in the output options"), this)),
      copy_(new QCheckBox(tr("Copy non-convertible files to target", "Switch in the output options"),
                          this)),
      keepGoing_(new QCheckBox(tr("Continue after a failed document", "Switch in the output options"),
                               this)) {
  MorvaneOptions& o = options_;
  connect(rebuild_, &QCheckBox::toggled, this, [&o](bool on) { o.setRebuildStruct(on); });
  connect(copy_, &QCheckBox::toggled, this, [&o](bool on) { o.setCopyNonconvertibleFiles(on); });
  connect(keepGoing_, &QCheckBox::toggled, this, [&o](bool on) { o.setContinueAfterFailure(on); });
  connect(choose_, &QPushButton::clicked, this, &TargetOptionsView::choose);

  auto* row = new QHBoxLayout;
  row->setSpacing(8);
  row->addWidget(icon_);
  row->addWidget(name_, 1);
  row->addWidget(none_, 1);
  name_->setTextFormat(Qt::PlainText);
  name_->setMinimumWidth(0);
  name_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);  // long names are cut

  auto* body = new QVBoxLayout;
  body->setSpacing(8);
  body->setContentsMargins(8, 0, 0, 0);
  body->addWidget(new QLabel(tr("Target folder:", "Label in the output options"), this));
  body->addLayout(row);
  body->addWidget(choose_, 0, Qt::AlignRight);
  body->addWidget(rebuild_);
  body->addWidget(copy_);
  body->addWidget(keepGoing_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 12, 0, 0);
  layout->setSpacing(12);
  layout->addWidget(makeHeading(tr("Output options", "Heading in the output options"), this));
  layout->addLayout(body);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Maximum);

  connect(&changes, &OptionsSignals::changed, this, &TargetOptionsView::showOptions);
  showOptions();
}

void TargetOptionsView::choose() {
  std::optional<std::filesystem::path> chosen = chooseFolder_();
  options_.setTargetFolder(chosen ? chosen : options_.targetFolder());
  const std::optional<std::filesystem::path>& now = options_.targetFolder();
  env_.log(now ? QUrl::fromLocalFile(QString::fromStdString(now->string())).toEncoded().toStdString()
               : "no target folder chosen!");
}

void TargetOptionsView::showOptions() {
  for (auto [box, on] : {std::pair{rebuild_, options_.rebuildStruct()},
                         std::pair{copy_, options_.copyNonconvertibleFiles()},
                         std::pair{keepGoing_, options_.continueAfterFailure()}}) {
    const QSignalBlocker quiet(box);
    box->setChecked(on);
  }
  const std::optional<std::filesystem::path>& folder = options_.targetFolder();
  icon_->setVisible(folder.has_value());
  name_->setVisible(folder.has_value());
  none_->setVisible(!folder.has_value());
  if (!folder) return;
  const QString path = QString::fromStdString(folder->string());
  const QFileInfo info(path);
  icon_->setPixmap(QFileIconProvider().icon(info).pixmap(16, 16));
  name_->setText(QString::fromStdString(lastPathComponent(*folder)));
  icon_->setToolTip(path);
  name_->setToolTip(path);
}

}  // namespace morvane
