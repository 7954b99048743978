// TargetPlanner: where one run writes. It gives each document its target
// formats and locations, creates the target folders, keeps a run from
// writing over its own sources or over another of its outputs, and notices
// a target folder removed during the run.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "engine/run_report.h"
#include "filelist/held_folder.h"
#include "filelist/nq_file_data_object.h"
#include "options/morvane_options.h"
#include "platform/env.h"

namespace morvane {

class TargetPlanner {
 public:
  // All three outlive the planner; skipped exports go into `report`.
  TargetPlanner(const MorvaneOptions& options, Env& env, RunReport& report)
      : options_(options), env_(env), report_(report) {}

  // The target extensions of the export classes that are on; logs them.
  std::vector<std::string> targetFormatsFor(const NQFileDataObject& entry);

  // One target location per format, in order; creates each one's folder.
  std::vector<std::filesystem::path> targetPathsFor(const NQFileDataObject& entry,
                                                    const std::vector<std::string>& formats);

  // Settles the targets of one document: a target that is one of the run's
  // own source documents is dropped with its format (logged and counted in
  // the report's skippedExports); a target that this run already writes
  // gets the first free number before its extension (logged). Every target
  // kept becomes a target of the run.
  void settleTargets(const NQFileDataObject& entry, std::vector<std::filesystem::path>* paths,
                     std::vector<std::string>* formats);

  // Whether a location is already written by this run: a planned target
  // or a copy made. Files that were there before the run do not count.
  bool isTargetOfRun(const std::filesystem::path& location) const;
  // Records a location this run has written (a copy).
  void addTargetOfRun(const std::filesystem::path& location);

  // Creates the folder with its parents unless something exists there.
  // A failure is logged, never returned. Once the target folder has been
  // there during this run, it is never made again: when it is gone (or
  // another folder took its place) nothing is created, and the run
  // remembers it as lost.
  void createFolder(const std::filesystem::path& location);

  // The target folder, when it was seen removed during the run.
  const std::optional<std::filesystem::path>& lostTargetFolder() const { return lostTarget_; }
  // True when the remembered target folder is gone or was replaced; sets
  // lostTargetFolder() and logs it the first time.
  bool targetFolderLost();
  // The sentence that tells the user the target folder is lost; empty
  // while it is not.
  std::string lostTargetMessage() const;

 private:
  bool isSourceOfRun(const std::filesystem::path& target);
  void dropSourcesOfRun(const NQFileDataObject& entry, std::vector<std::filesystem::path>* paths,
                        std::vector<std::string>* formats);
  std::filesystem::path claimTarget(const std::filesystem::path& planned);
  // Holds the target folder the first time it is there; later looks
  // compare against it.
  void rememberTargetFolder();

  const MorvaneOptions& options_;
  Env& env_;
  RunReport& report_;
  // Device and inode of every file of the run's list, gathered the first
  // time a planned target already exists.
  std::optional<std::set<std::pair<std::uint64_t, std::uint64_t>>> sourceFiles_;
  // Every location this run writes (planned targets, copies made), as text.
  std::unordered_set<std::string> runTargets_;
  // The target folder once it was there: held open (so that one made
  // again under its name is told apart), and its device and inode, for
  // a folder that cannot be opened.
  std::optional<std::pair<std::uint64_t, std::uint64_t>> targetIdentity_;
  std::optional<HeldFolder> heldTarget_;
  std::optional<std::filesystem::path> lostTarget_;
};

}  // namespace morvane
