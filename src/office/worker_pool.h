// WorkerPool: serves the documents of a work plan on lanes, each a thread
// with a worker process of its own that takes the next waiting document
// whenever it has finished one. Exports land in the order of the script
// through an InOrderCommitter; what a lane throws ends the run.
#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <thread>
#include <vector>

#include "engine/script_service.h"
#include "office/block_state.h"
#include "office/in_order_committer.h"
#include "office/lane_process.h"
#include "office/progress_counter.h"
#include "office/work_plan.h"
#include "platform/thread_annotations.h"

namespace morvane {

// What a pool is given by the execution it serves.
struct PoolSettings {
  OfficeConfig config;      // the run's, with the memory each worker may hold
  std::size_t lanes = 1;    // wanted; fewer when the system refuses threads
  RunningWorkers& running;  // a cancel ends every worker at once
  const WrittenFile& written;
  TargetFolders& folders;   // the folders exported into, as first seen
  bool keepGoing = false;   // a failed document does not end the run
};

// Serves one plan once. The plan, the settings' references and `progress`
// must outlive the pool.
class WorkerPool {
 public:
  WorkerPool(const WorkPlan& plan, PoolSettings settings, ProgressCounter& progress);
  // Whatever unwinds the pool's owner ends the lanes and waits for them.
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Serves every document of the plan, telling the progress meanwhile.
  // True when every document ended with its exports landed, or, going on
  // after failures, when nothing stopped the run: *failures then holds the
  // errors of the documents that failed, in script order. Otherwise *error
  // is the first failure's (untouched after a cancel or a lane's exception).
  bool run(std::vector<ScriptError>* failures, ScriptError* error);

  // Documents whose exports all landed; after run().
  std::size_t converted() const { return converted_; }

  // The first thing a lane threw, as the run's error naming the document
  // the lane served; after run().
  std::optional<ScriptError> laneException() const EXCLUDES(laneExceptionMutex_);

 private:
  void lane();
  void serve(LaneProcess& process, const PlannedDocument** serving);
  void runDocument(const PlannedDocument& document, BlockState& state, Outcome* outcome);
  void noteFailure(std::size_t i);
  void quitsCommitted(std::size_t committed);
  void recordLaneException(const PlannedDocument* document, const std::string& what)
      EXCLUDES(laneExceptionMutex_);
  void startLanes();
  void joinLanes();
  ScriptError describeCommit(std::size_t i, const PendingExport& e, const Status& failure) const;

  const WorkPlan& plan_;
  PoolSettings settings_;
  ProgressCounter& progress_;
  std::vector<Outcome> outcomes_;  // one for each document of the plan
  InOrderCommitter committer_;
  std::size_t quitsTold_ = 0;  // under the committer's lock
  std::atomic<std::size_t> next_{0};  // the next document no lane has taken
  std::atomic<std::size_t> firstFailure_;  // without keepGoing; documents().size(): none
  std::atomic<std::size_t> lanesLeft_{0};
  std::vector<std::thread> lanes_;
  std::size_t converted_ = 0;
  mutable Mutex laneExceptionMutex_;
  std::optional<ScriptError> laneException_ GUARDED_BY(laneExceptionMutex_);
};

}  // namespace morvane
