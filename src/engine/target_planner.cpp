#include "engine/target_planner.h"

#include <functional>

#include "engine/export_formats.h"
#include "engine/target_paths.h"

namespace morvane {

void TargetPlanner::settleTargets(const NQFileDataObject& entry, std::vector<fs::path>* paths,
                                  std::vector<std::string>* formats) {
  dropSourcesOfRun(entry, paths, formats);
  for (fs::path& path : *paths) path = claimTarget(path);
}

// With the target folder among the sources, a target can be one of the
// user's own documents of this run: it is never written over.
void TargetPlanner::dropSourcesOfRun(const NQFileDataObject& entry, std::vector<fs::path>* paths,
                                     std::vector<std::string>* formats) {
  for (std::size_t i = paths->size(); i-- > 0;) {
    if (!isSourceOfRun((*paths)[i])) continue;
    env_.log("Skipping target " + (*paths)[i].string() + " of " + entry.url.string() +
             ": it is a source document of this run and would be overwritten");
    report_.skippedExports.push_back({entry.url.string(), (*paths)[i].string()});
    paths->erase(paths->begin() + static_cast<std::ptrdiff_t>(i));
    formats->erase(formats->begin() + static_cast<std::ptrdiff_t>(i));
  }
}

// The planned location, or, when this run already writes there, the first
// numbered one ("Notes 2.docx", "Notes 3.docx", …) that is neither a target
// nor a source of the run. Records what it returns as a target of the run.
fs::path TargetPlanner::claimTarget(const fs::path& planned) {
  fs::path target = planned;
  if (isTargetOfRun(planned)) {
    int number = 2;
    do {
      target = numberedPath(planned, number++);
    } while (isTargetOfRun(target) || isSourceOfRun(target));
    env_.log("\t" + planned.string() + " is already a target of this run => " + target.string());
  }
  addTargetOfRun(target);
  return target;
}

bool TargetPlanner::isTargetOfRun(const fs::path& location) const {
  return runTargets_.contains(location.native());
}

void TargetPlanner::addTargetOfRun(const fs::path& location) {
  runTargets_.insert(location.native());
}

std::vector<std::string> TargetPlanner::targetFormatsFor(const NQFileDataObject& entry) {
  std::vector<std::string> formats =
      exportTargets(pathExtension(entry.url), options_.exportClassFlags());
  std::string line;
  for (const std::string& f : formats) line += f;
  env_.log(line);
  return formats;
}

std::vector<fs::path> TargetPlanner::targetPathsFor(const NQFileDataObject& entry,
                                                    const std::vector<std::string>& formats) {
  std::vector<fs::path> paths;
  const std::string target = options_.targetFolder()->string();
  for (const std::string& f : formats) {
    std::string relative;
    if (options_.rebuildStruct()) {
      fs::path withoutExtension = entry.url.parent_path() / stripLastExtension(lastPathComponent(entry.url));
      relative = lastComponents(withoutExtension, entry.dirLevel + 1);
    } else {
      relative = stripLastExtension(lastPathComponent(entry.url));
    }
    fs::path location = target + "/" + relative + "." + f;
    createFolder(location.parent_path());
    paths.push_back(std::move(location));
  }
  return paths;
}

void TargetPlanner::createFolder(const fs::path& location) {
  if (lostTarget_) return;
  if (env_.stat(location).exists) {
    rememberTargetFolder();
    return;
  }
  if (targetFolderLost()) return;
  if (Status s = env_.createDirectories(location); !s.ok()) {
    env_.log("ERROR when trying to create folder at " + location.string() +
             " LocalizedDescription: " + s.message());
  }
  rememberTargetFolder();
}

void TargetPlanner::rememberTargetFolder() {
  if (targetIdentity_ || !options_.targetFolder()) return;
  const FileInfo info = env_.stat(*options_.targetFolder());
  if (!info.exists || !info.isDir) return;
  targetIdentity_.emplace(info.device, info.inode);
  heldTarget_ = HeldFolder::open(*options_.targetFolder());
}

bool TargetPlanner::targetFolderLost() {
  if (lostTarget_) return true;
  if (!targetIdentity_) return false;
  const FileInfo info = env_.stat(*options_.targetFolder());
  const bool same = heldTarget_ ? heldTarget_->isAt(info)
                                : info.exists && info.isDir &&
                                      std::pair(info.device, info.inode) == *targetIdentity_;
  if (same) return false;
  lostTarget_ = *options_.targetFolder();
  env_.log("ERROR: " + lostTargetMessage());
  return true;
}

std::string TargetPlanner::lostTargetMessage() const {
  if (!lostTarget_) return {};
  return "The target folder " + lostTarget_->string() +
         " was removed during the run; it was not made again, and what the run wrote into it "
         "is gone";
}

bool TargetPlanner::isSourceOfRun(const fs::path& target) {
  const FileInfo info = env_.stat(target);
  if (!info.exists) return false;
  if (!sourceFiles_) {
    sourceFiles_.emplace();
    std::function<void(const std::vector<NQFileDataObject>&)> gather =
        [&](const std::vector<NQFileDataObject>& entries) {
          for (const NQFileDataObject& e : entries) {
            if (e.dirContents) {
              gather(*e.dirContents);
            } else if (FileInfo s = env_.stat(e.url); s.exists) {
              sourceFiles_->emplace(s.device, s.inode);
            }
          }
        };
    gather(options_.fileList());
  }
  return sourceFiles_->contains({info.device, info.inode});
}

}  // namespace morvane
