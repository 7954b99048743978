#include "views/file_drop_target.h"

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace morvane {

FileDropTarget::FileDropTarget(MorvaneOptions& options, QObject* parent)
    : QObject(parent), options_(options) {}

void FileDropTarget::attach(QWidget* target) {
  target->setAcceptDrops(true);
  target->installEventFilter(this);
}

bool FileDropTarget::hasFileUrls(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls()) return false;
  for (const QUrl& url : data->urls()) {
    if (url.isLocalFile()) return true;
  }
  return false;
}

bool FileDropTarget::performDrop(const QMimeData* data) {
  if (!hasFileUrls(data)) return false;
  for (const QUrl& url : data->urls()) {
    if (!url.isLocalFile()) continue;  // skipped; the others are still added
    const std::filesystem::path path = url.toLocalFile().toStdString();
    QMetaObject::invokeMethod(
        this, [this, path] { options_.addFile(path); }, Qt::QueuedConnection);
  }
  return true;
}

bool FileDropTarget::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) {
    return QObject::eventFilter(watched, event);
  }
  // Drag-enter and drag-move events are drop events too.
  auto* drop = static_cast<QDropEvent*>(event);
  const bool taken = type == QEvent::Drop ? performDrop(drop->mimeData())
                                          : hasFileUrls(drop->mimeData());
  if (taken) {
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
  } else {
    drop->ignore();
  }
  return true;
}

}  // namespace morvane
