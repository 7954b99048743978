// FileDropTarget: takes files and folders dropped on the file list (or
// on its placeholder). Each file URL of a drop becomes one addFile on a
// later turn of the event loop, in the order of the drop; a folder becomes
// one entry holding its tree. A drop without file URLs is refused.
#pragma once

#include <QObject>

#include "options/morvane_options.h"

class QMimeData;

namespace morvane {

class FileDropTarget : public QObject {
  Q_OBJECT
 public:
  FileDropTarget(MorvaneOptions& options, QObject* parent = nullptr);

  // Accepts drags and drops on `target` (a widget) from now on.
  void attach(QWidget* target);

  // True (and the files queued for adding) when the data holds file URLs.
  bool performDrop(const QMimeData* data);
  static bool hasFileUrls(const QMimeData* data);

  // Accepts drags and drops of file URLs on the attached widgets.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  MorvaneOptions& options_;
};

}  // namespace morvane
