// SideBarView: the right side of the window, at most 320 wide: the export
// options, the target options, and at the bottom the hint rows for what is
// still missing and the Run button, enabled only with files and a target.
#pragma once

#include <QWidget>
#include <functional>

#include "app/options_signals.h"
#include "views/target_options_view.h"

class QPushButton;

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
  QPushButton* runButton() const { return run_; }

 private:
  void showOptions();

  MorvaneOptions& options_;
  ExportOptionsView* export_;
  TargetOptionsView* target_;
  QWidget* addFilesHint_;
  QWidget* targetHint_;
  QPushButton* run_;
};

}  // namespace morvane
