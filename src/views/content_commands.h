// ContentCommands: what the content view asks of the application behind
// it: the commands of its buttons and the folder chooser. The application
// implements it; the views know nothing more of the application.
#pragma once

#include <filesystem>
#include <optional>

namespace morvane {

class ContentCommands {
 public:
  virtual ~ContentCommands() = default;
  virtual void addFilesFromPanel() = 0;
  virtual void removeSelectedFiles() = 0;
  virtual void runConversion() = 0;
  virtual void cancelConversion() = 0;
  virtual std::optional<std::filesystem::path> showOpenTargetFolderPanel() = 0;
};

}  // namespace morvane
