// InOrderCommitter: lands the exports of the documents a pool serves in
// the order of the script. Each export is written under a hidden name
// beside its target and renamed over it (commit) only once its document
// and every earlier one have ended, up to the first that failed; what
// never lands is removed (discard).
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/script_service.h"
#include "office/script_parser.h"
#include "office/target_folders.h"
#include "platform/env.h"
#include "platform/thread_annotations.h"

namespace morvane {

// A finished export waiting under its temporary name for its turn to be
// renamed over the target, with the statement that made it.
struct PendingExport {
  std::filesystem::path partial;
  std::filesystem::path target;
  const ScriptStatement* statement = nullptr;
  TargetFolders* folders = nullptr;  // the folders of the execution
};

// Told each export once it is in its place; may be empty.
using WrittenFile = std::function<void(const std::string& path)>;

// A hidden name beside `target`, unique in this process (workers of one
// run may export to the same target) and among processes (by the pid):
// ".<name>.morvane-<pid>-<n>.part", or ".morvane-<pid>-<n>.part" where
// the target's own name leaves no room for the longer form on its file
// system (as `env` tells its longest name; 143 when it cannot tell).
std::filesystem::path partialPathFor(Env& env, const std::filesystem::path& target);

// Flushes the finished export, renames it over the target and flushes the
// folder, so that a power loss cannot leave an empty file under the
// target's name. Only then is it told as written. An export that cannot be
// flushed is removed; one whose folder cannot be is in place but not
// counted. Nothing is placed in a folder that was removed (or replaced)
// since the export started: that fails naming the folder.
Status commit(Env& env, const PendingExport& e, const WrittenFile& written);

// Removes the temporary files of exports that will not land.
void discard(Env& env, const std::vector<PendingExport>& exports);

// What became of one document of the pool.
struct Outcome {
  std::optional<ScriptError> error;
  std::vector<PendingExport> exports;
  bool exportsDone = false;  // every export ran (a later statement may have failed)
};

// Renames the exports of the pool's documents over their targets in the
// order of the script, each document as soon as it and every earlier one
// have ended, up to the first document that failed (whose finished exports
// land, as they would running the statements one after the other).
class InOrderCommitter {
 public:
  using DescribeCommit =
      std::function<ScriptError(std::size_t, const PendingExport&, const Status&)>;
  // With `keepGoing`, a failed document does not stop the commits after it.
  // `advanced` is told how many documents are behind the commits each time
  // that grows (under the committer's lock). `outcomes` are the documents'
  // in script order; a lane writes outcome i only before it calls ended(i).
  InOrderCommitter(Env& env, std::vector<Outcome>& outcomes, DescribeCommit describeCommit,
                   std::function<void(std::size_t)> advanced, bool keepGoing,
                   const WrittenFile& written)
      : env_(env), outcomes_(outcomes), ended_(outcomes.size(), false),
        describeCommit_(std::move(describeCommit)), advanced_(std::move(advanced)),
        keepGoing_(keepGoing), written_(written) {}

  // Document i has ended: all its statements ran, or one failed.
  void ended(std::size_t i) EXCLUDES(mutex_);

  // After the lanes have ended: drops what did not land and tells whether
  // every document did; else *failed is the index of the first that did
  // not (outcomes_.size() when the rest never ended, as after a cancel).
  bool finish(std::size_t* failed) EXCLUDES(mutex_);

  // Documents whose exports all landed.
  std::size_t committed() const EXCLUDES(mutex_);

  // A document failed (or its files could not be placed): the rest of the
  // script would not land.
  bool stopped() const EXCLUDES(mutex_);

 private:
  // Lands the exports of the next document; whether it counts as converted.
  bool commitNext() REQUIRES(mutex_);

  Env& env_;
  mutable Mutex mutex_;
  std::vector<Outcome>& outcomes_;  // those from next_ on, once ended, are the committer's
  std::vector<bool> ended_ GUARDED_BY(mutex_);
  const DescribeCommit describeCommit_;
  const std::function<void(std::size_t)> advanced_;
  const bool keepGoing_;
  const WrittenFile& written_;
  std::size_t next_ GUARDED_BY(mutex_) = 0;  // the first document not yet committed
  std::size_t committed_ GUARDED_BY(mutex_) = 0;
  bool stopped_ GUARDED_BY(mutex_) = false;
};

}  // namespace morvane
