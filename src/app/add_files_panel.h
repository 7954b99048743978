// AddFilesPanel: an open panel that chooses files and folders together,
// several at once (the platform file dialogs choose one or the other).
// OpenPanel is what the application delegate asks; QtOpenPanel runs an
// AddFilesPanel modally.
#pragma once

#include <QDialog>
#include <filesystem>
#include <vector>

class QFileSystemModel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace morvane {

class AddFilesPanel : public QDialog {
  Q_OBJECT
 public:
  explicit AddFilesPanel(QWidget* parent = nullptr);

  // Shows the contents of `dir` (hidden items are not shown).
  void setDirectory(const QString& dir);
  QString directory() const;

  // The chosen items in the order they were selected.
  std::vector<std::filesystem::path> chosen() const;

  QTreeView* view() const { return view_; }
  QFileSystemModel* model() const { return model_; }
  QPushButton* openButton() const { return open_; }

 private:
  void activate(const QModelIndex& index);
  void goUp();
  void updateOpenButton();

  QFileSystemModel* model_;
  QTreeView* view_;
  QLineEdit* location_;
  QPushButton* up_;
  QPushButton* open_;
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
