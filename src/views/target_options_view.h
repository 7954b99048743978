// TargetOptionsView: the middle panel of the side bar. The target folder
// (its icon and name, the path as tooltip, or "---"), "Choose…" to pick
// it, and the "Rebuild folder structure", "Copy non-convertible files
// to target" and "Continue after a failed document" switches, all bound
// both ways to the options.
#pragma once

#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>

#include "views/options_signals.h"
#include "platform/env.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace morvane {

class TargetOptionsView : public QWidget {
  Q_OBJECT
 public:
  using FolderChooser = std::function<std::optional<std::filesystem::path>()>;
  // `chooseFolder` is the application's folder panel; `env` takes the
  // diagnostic line of a choice.
  TargetOptionsView(OptionsSignals& changes, FolderChooser chooseFolder, Env& env,
                    QWidget* parent = nullptr);

  QLabel* folderIcon() const { return icon_; }
  QLabel* folderName() const { return name_; }
  QLabel* noFolder() const { return none_; }
  QPushButton* chooseButton() const { return choose_; }
  QCheckBox* rebuildSwitch() const { return rebuild_; }
  QCheckBox* copySwitch() const { return copy_; }
  QCheckBox* keepGoingSwitch() const { return keepGoing_; }

  // "Choose…": asks for a folder and keeps the old one when cancelled.
  void choose();

 private:
  void showOptions();

  MorvaneOptions& options_;
  FolderChooser chooseFolder_;
  Env& env_;
  QLabel* icon_;
  QLabel* name_;
  QLabel* none_;
  QPushButton* choose_;
  QCheckBox* rebuild_;
  QCheckBox* copy_;
  QCheckBox* keepGoing_;
};

}  // namespace morvane
