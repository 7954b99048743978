// AddFilesPanel: an open panel that chooses files and folders together,
// several at once (the platform file dialogs choose one or the other),
// with the places of the desktop (home, desktop, documents, mounted
// volumes) beside its listing. OpenPanel is what the application delegate
// asks; QtOpenPanel runs an AddFilesPanel modally.
#pragma once

#include <QDialog>
#include <QList>
#include <QStorageInfo>
#include <QUrl>
#include <filesystem>
#include <memory>
#include <vector>

class QFileIconProvider;
class QFileSystemModel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTreeView;

namespace morvane {

// Whether a mounted file system at `rootPath` of type `type` holds the
// user's files: not the system's own pseudo file systems (/proc, /sys,
// /run, /snap, /boot, tmpfs and the like), but removable media under
// /media, /mnt or /run/media.
bool isUserVolume(const QString& rootPath, const QByteArray& type);

// The places the choosers offer, in this order: the home folder, the
// desktop and documents folders where they exist, the root folder, and
// the user's volumes among `volumes` that are valid and ready. Each
// folder once.
QList<QUrl> chooserPlaces(const QList<QStorageInfo>& volumes = QStorageInfo::mountedVolumes());

class AddFilesPanel : public QDialog {
  Q_OBJECT
 public:
  explicit AddFilesPanel(QWidget* parent = nullptr);
  ~AddFilesPanel() override;

  // Shows the contents of `dir` (hidden items are not shown).
  void setDirectory(const QString& dir);
  // The folder shown.
  QString directory() const;
  // A path typed in the location field (absolute, from the folder shown,
  // or from "~"): a folder is shown; a file is shown in its folder and
  // chosen alone, so that Return adds it; anything else chooses nothing.
  void goTo(const QString& typed);

  // The chosen items in the order they were selected.
  std::vector<std::filesystem::path> chosen() const;

  QTreeView* view() const { return view_; }
  QLineEdit* location() const { return location_; }
  QFileSystemModel* model() const { return model_; }
  QPushButton* openButton() const { return open_; }
  // The places list beside the listing; choosing one shows it.
  QListWidget* places() const { return places_; }
  QList<QUrl> sidebarUrls() const;

 private:
  void activate(const QModelIndex& index);
  void goUp();
  void updateOpenButton();
  void fillPlaces();

  // Icons by file type, with the style's where the theme has none. It
  // outlives the model, whose reader thread asks it.
  std::unique_ptr<QFileIconProvider> icons_;
  QFileSystemModel* model_;
  QTreeView* view_;
  QListWidget* places_;
  QLineEdit* location_;
  QPushButton* up_;
  QPushButton* open_;
  QString directory_;
};

class OpenPanel {
 public:
  virtual ~OpenPanel() = default;
  // Runs the panel modally: the chosen files and folders, in panel order,
  // or nothing when cancelled.
  virtual std::vector<std::filesystem::path> run() = 0;
};

class QtOpenPanel : public OpenPanel {
 public:
  void setParentWindow(QWidget* window) { parent_ = window; }
  std::vector<std::filesystem::path> run() override;

 private:
  QWidget* parent_ = nullptr;
  QString lastDirectory_;
};

}  // namespace morvane
