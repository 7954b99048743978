// Listing the files of a document package folder without ever leaving it:
// a package is a folder the user received, and a symbolic link in it
// (Report.numbers/Data -> /) must not send a reader through the rest of
// the machine.
#pragma once

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/env.h"
#include "platform/real_env.h"
#include "platform/status.h"

namespace morvane {

struct PackageFolderFiles {
  // Each regular file by its name inside the package ("Index/Document.iwa")
  // and the path that opens it.
  std::map<std::string, std::string> files;
  // One diagnostic line for each link that was not followed because it
  // leads out of the package.
  std::vector<std::string> leavingLinks;
};

// Lists the regular files anywhere below `folder`. A symbolic link is
// followed only where it leads to a place inside the folder, and then once
// (its files are listed under its name) unless it leads back up to a
// folder being listed; a link that leads out is left out and named in
// leavingLinks, a dangling one left out silently.
// A subfolder that may not be read is skipped when `skipUnreadable`, and
// fails the listing otherwise; so does a folder that cannot be read.
// Everything it looks at, it asks `env`.
Status listPackageFolder(const std::filesystem::path& folder, bool skipUnreadable,
                         PackageFolderFiles* out, Env& env = machineEnv());

}  // namespace morvane
