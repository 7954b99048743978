#include "app/about_dialog.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

#include "engine/alerts.h"

namespace morvane {

BackendDescription::BackendDescription(Describe describe, QObject* parent)
    : QObject(parent), describe_(std::move(describe)) {}

BackendDescription::~BackendDescription() {
  if (lookup_.joinable()) lookup_.join();
}

// The service's English line in the user's words where its label is known.
QString BackendDescription::backendLine(const std::string& line) {
  const std::string reader = "iWork reader: ";
  if (!line.starts_with(reader)) return QString::fromStdString(line);
  QString rest = QString::fromStdString(line.substr(reader.size()));
  rest.replace(QStringLiteral("(the system's)"),
               tr("(the system's)", "About window: the iWork reader is the system's own"));
  return tr("iWork reader: %1", "About window: the version of the iWork reader").arg(rest);
}

void BackendDescription::request() {
  if (known_) {
    emit described(lines_);
    return;
  }
  if (lookup_.joinable()) return;  // under way
  lookup_ = std::thread([this] {
    std::vector<std::string> found;
    const Status status = describe_ ? describe_(&found) : Status::error("unknown");
    QStringList lines;
    if (status.ok()) {
      for (const std::string& line : found) lines << backendLine(line);
    } else {
      lines << tr("Not available: %1", "About window: why the LibreOffice version is missing")
                   .arg(QString::fromStdString(status.message()));
    }
    // Back on the main thread; the destructor waits for this thread, so
    // `this` is alive here, and a post it no longer gets is dropped.
    QMetaObject::invokeMethod(
        this,
        [this, lines] {
          lookup_.join();
          known_ = true;
          lines_ = lines;
          emit described(lines_);
        },
        Qt::QueuedConnection);
  });
}

AboutDialog::AboutDialog(BackendDescription& backend, QWidget* parent)
    : QDialog(parent),
      name_(new QLabel(QApplication::applicationDisplayName(), this)),
      version_(new QLabel(
          tr("Version %1", "About window").arg(QApplication::applicationVersion()), this)),
      backend_(new QLabel(QStringLiteral("…"), this)),
      licence_(new QLabel(tr("MIT License", "About window: the licence"), this)),
      support_(new QLabel(this)) {
  setWindowTitle(tr("About %1", "Title of the About window").arg(name_->text()));
  QFont big = name_->font();
  big.setPointSizeF(big.pointSizeF() * 1.6);
  big.setWeight(QFont::DemiBold);
  name_->setFont(big);
  auto* what = new QLabel(tr("Converts documents between iWork and Microsoft Office formats, "
                             "and to PDF.", "About window: what the application does"),
                          this);
  backend_->setTextFormat(Qt::PlainText);
  backend_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  // The address the error reports go to.
  const QString address = QString::fromStdString(supportAddress());
  support_->setTextFormat(Qt::RichText);
  support_->setText(tr("Support: %1", "About window: the support mail address")
                        .arg(QString("<a href=\"mailto:%1\">%1</a>").arg(address.toHtmlEscaped())));
  support_->setOpenExternalLinks(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->setSpacing(8);
  if (const QPixmap icon = windowIcon().pixmap(64, 64); !icon.isNull()) {
    auto* image = new QLabel(this);
    image->setPixmap(icon);
    layout->addWidget(image);
  }
  for (QLabel* label : {name_, version_, what, backend_, licence_, support_}) {
    label->setWordWrap(true);
    layout->addWidget(label);
  }
  layout->addSpacing(8);
  layout->addWidget(buttons);
  setMinimumWidth(420);

  connect(&backend, &BackendDescription::described, this, &AboutDialog::showBackend);
  backend.request();
}

void AboutDialog::showBackend(const QStringList& lines) {
  backend_->setText(lines.join('\n'));
  // The lines take more room than "…" did: the window grows to show them
  // and everything else whole.
  adjustSize();
}

}  // namespace morvane
