#include "office/save_leftovers.h"

#include <algorithm>
#include <string>

namespace morvane {

void removeSaveLeftovers(Env& env, const fs::path& folder, pid_t worker,
                         const std::vector<pid_t>& others) {
  if (worker <= 0) return;
  const std::string prefix = "lu" + std::to_string(worker);
  std::vector<DirectoryItem> items;
  env.listDirectory(folder, &items);  // what it listed before a failure still counts
  for (const DirectoryItem& item : items) {
    const std::string name = item.path.filename().string();
    if (!name.starts_with(prefix) || !name.ends_with(".tmp")) continue;
    const bool another = std::any_of(others.begin(), others.end(), [&](pid_t other) {
      const std::string theirs = "lu" + std::to_string(other);
      return other != worker && theirs.size() > prefix.size() && name.starts_with(theirs);
    });
    if (!another) env.removeFile(item.path);
  }
}

}  // namespace morvane
