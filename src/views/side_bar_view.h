// SideBarView: the right side of the window, 320 wide at any window size: the export
// options, the target options, and at the bottom the hint rows for what is
// still missing and the Run button, enabled only with files, a target and
// a list of which the chosen formats make at least one file;
// during a run, its progress and Cancel in their place.
#pragma once

#include <QWidget>
#include <functional>

#include "views/options_signals.h"
#include "views/target_options_view.h"

class QLabel;
class QLayout;
class QProgressBar;
class QPushButton;
class QUrl;

namespace morvane {

class ExportOptionsView;

class SideBarView : public QWidget {
  Q_OBJECT
 public:
  SideBarView(OptionsSignals& changes, TargetOptionsView::FolderChooser chooseFolder, Env& env,
              std::function<void()> run, QWidget* parent = nullptr);

  ExportOptionsView* exportOptions() const { return export_; }
  TargetOptionsView* targetOptions() const { return target_; }
  QWidget* addFilesHint() const { return addFilesHint_; }
  QWidget* targetHint() const { return targetHint_; }
  QWidget* formatHint() const { return formatHint_; }
  // Which documents have no export in the chosen formats and why, while
  // that leaves the run nothing to make.
  QWidget* noExportHint() const { return noExportHint_; }
  QLabel* noExportHintLabel() const { return noExportText_; }
  // "Last run: 42 converted, 3 copied, 1 failed" and Show in Folder, in
  // room kept for them from the start; hidden while a run goes on.
  void showLastRun(const QString& summary, const QString& folder);
  QLabel* lastRunLabel() const { return lastRun_; }
  QWidget* lastRunRow() const { return lastRunRow_; }
  // Show in Folder hands the folder to this (QDesktopServices::openUrl by
  // default); when it answers false, a short message says that no file
  // manager opened it.
  using UrlOpener = std::function<bool(const QUrl&)>;
  void setUrlOpener(UrlOpener openUrl) { openUrl_ = std::move(openUrl); }
  QPushButton* showInFolderButton() const { return showInFolder_; }
  QPushButton* runButton() const { return run_; }

  // While a run goes on: the options cannot be changed, and a progress
  // bar with "Converting 12 of 240", the current document and Cancel
  // stand in place of the hints and Run.
  void showRunStarted();
  void showProgress(int opened, int total, const QString& document);
  void showRunEnded();
  void setCancel(std::function<void()> cancel) { cancel_ = std::move(cancel); }
  QProgressBar* progressBar() const { return progressBar_; }
  QLabel* progressLabel() const { return progressLabel_; }
  QPushButton* cancelButton() const { return cancelButton_; }

 private:
  void showOptions();
  void forecast();
  QWidget* makeProgressRow();
  QWidget* makeLastRunRow();
  void showFolder();

  MorvaneOptions& options_;
  ExportOptionsView* export_;
  TargetOptionsView* target_;
  QWidget* addFilesHint_;
  QWidget* targetHint_;
  QWidget* formatHint_;
  QWidget* noExportHint_;
  QLabel* noExportText_ = nullptr;
  QString noExport_;  // the hint's text; empty while the run would make files
  QPushButton* run_;
  QWidget* lastRunRow_ = nullptr;
  QLabel* lastRun_ = nullptr;
  QPushButton* showInFolder_ = nullptr;
  QString lastFolder_;
  QWidget* progressRow_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QLabel* progressLabel_ = nullptr;
  QLabel* documentLabel_ = nullptr;
  QPushButton* cancelButton_ = nullptr;
  std::function<void()> cancel_;
  bool running_ = false;
  UrlOpener openUrl_;
};

}  // namespace morvane
