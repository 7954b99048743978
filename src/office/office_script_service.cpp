#include "office/office_script_service.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <thread>

#include "office/target_folders.h"
#include "office/work_plan.h"
#include "office/worker_pool.h"

namespace morvane {

namespace {

// The workers a run of `documents` starts: each reckoned to need the memory
// it may hold (the user's setting), or when that is chosen for the run, at
// least what a worker usually comes to hold, so that each has that much.
std::size_t workerCountFor(const OfficeConfig& config, std::size_t documents) {
  constexpr std::uint64_t kTypicalWorkerMemory = 768ull << 20;
  WorkerCountInputs in;
  in.cores = std::thread::hardware_concurrency();
  in.availableMemory = availableMemory();
  in.memoryPerWorker =
      config.workerMemoryCap > 0 ? config.workerMemoryCap : kTypicalWorkerMemory;
  in.documents = documents;
  in.requested = config.workers;
  return officeWorkerCount(in);
}

// The configuration of a run of `workers` workers: the memory each may hold
// while serving a document is the user's, or its share of the machine's.
OfficeConfig withMemoryCap(const OfficeConfig& config, std::size_t workers) {
  OfficeConfig run = config;
  if (run.workerMemoryCap == 0) {
    run.workerMemoryCap = defaultWorkerMemoryCap(availableMemory(), workers);
  }
  return run;
}

// Carries out one planned script. The documents of all its blocks form one
// queue, served by a pool of workers; their exports wait under temporary
// names and are renamed over the targets in the order of the script as
// soon as every earlier document has ended, up to the first failing
// statement, so the outcome is the one of running the statements one
// after the other. A cancel ends the workers at once; what has landed
// stays.
class OfficeScript : public Script {
 public:
  OfficeScript(WorkPlan plan, const OfficeConfig& config, const ProgressObserver& progress)
      : plan_(std::move(plan)), config_(config), progress_(progress) {}

  // Whatever is thrown on this thread or a lane's ends the run as an error
  // carrying its message, once every lane has ended.
  bool execute(ScriptError* error) override {
    try {
      return executePlan(error);
    } catch (const std::exception& e) {
      return endedByException(e.what(), error);
    } catch (...) {
      return endedByException("unknown exception", error);
    }
  }

  void cancel() override { running_.cancel(); }
  void continueAfterFailures() override { keepGoing_ = true; }
  void reportWrittenFiles(std::function<void(const std::string&)> written) override {
    written_ = std::move(written);
  }

 private:
  bool executePlan(ScriptError* error) {
    const std::size_t documents = plan_.documents().size();
    ProgressCounter progress(progress_, plan_.statementCount(), documents);
    std::vector<ScriptError> failures;
    if (documents > 0) {
      const std::size_t lanes = workerCountFor(config_, documents);
      WorkerPool pool(plan_,
                      {withMemoryCap(config_, lanes), lanes, running_, written_, folders_,
                       keepGoing_},
                      progress);
      const bool ran = pool.run(&failures, error);
      converted_ += pool.converted();
      if (std::optional<ScriptError> broken = pool.laneException()) {
        *error = std::move(*broken);
        error->converted = converted_;
        return false;
      }
      if (!ran) return failed(error);
    }
    if (running_.cancelled()) return failed(error);
    for (const ScriptError& failure : failures) recordFailure(failure);
    if (failures_.empty()) return true;
    *error = *firstFailure_;
    error->failedDocuments = failures_;
    error->converted = converted_;
    return false;
  }

  // The end of a run where something was thrown on the executing thread
  // (the pool has ended its lanes and waited for them by then): the run
  // fails with the message.
  bool endedByException(const std::string& what, ScriptError* error) {
    running_.cancel();
    *error = ScriptError{};
    error->info = {{"message", "the conversion stopped on an unexpected error: " + what}};
    error->converted = converted_;
    return false;
  }

  // The end of a run that stopped: cancelled, or at its first failure
  // (*error tells it).
  bool failed(ScriptError* error) const {
    if (running_.cancelled()) {
      error->info = {{"message", "the conversion was cancelled"}};
      error->cancelled = true;
    }
    error->converted = converted_;
    return false;
  }

  // Keeps a failed document and its reason for the end of the run.
  void recordFailure(const ScriptError& error) {
    std::string document, message;
    for (const auto& [key, value] : error.info) {
      if (key == "document") document = value;
      if (key == "message") message = value;
    }
    failures_.push_back({document, error.reason ? *error.reason
                                                : FailureReason{FailureKind::unexplained, message}});
    if (!firstFailure_) firstFailure_ = error;
  }

  const WorkPlan plan_;
  OfficeConfig config_;
  ProgressObserver progress_;
  RunningWorkers running_;
  std::atomic<bool> keepGoing_{false};
  WrittenFile written_;  // set before execute
  TargetFolders folders_;  // the folders exported into, as first seen
  std::vector<FailedDocument> failures_;  // of a run that goes on
  std::optional<ScriptError> firstFailure_;
  std::size_t converted_ = 0;  // documents whose exports all landed
};

}  // namespace

std::uint64_t spareWorkerMemory(std::uint64_t availableMemory) {
  constexpr std::uint64_t kLeastMargin = 512ull << 20;
  const std::uint64_t margin = std::max(kLeastMargin, availableMemory / 10);
  return availableMemory > margin ? availableMemory - margin : 0;
}

std::size_t officeWorkerCount(const WorkerCountInputs& in) {
  std::size_t count = in.requested;
  if (count == 0) {
    count = std::max<std::size_t>(in.cores, 1);
    if (in.availableMemory && in.memoryPerWorker > 0) {
      count = std::min<std::uint64_t>(count, spareWorkerMemory(*in.availableMemory) /
                                                 in.memoryPerWorker);
    }
  }
  count = std::min<std::size_t>({count, static_cast<std::size_t>(kMostWorkers), in.documents});
  return std::max<std::size_t>(count, 1);
}

std::uint64_t defaultWorkerMemoryCap(std::optional<std::uint64_t> availableMemory,
                                     std::size_t workers) {
  if (!availableMemory) return kLargestDefaultWorkerMemory;
  const std::uint64_t share =
      spareWorkerMemory(*availableMemory) / std::max<std::size_t>(workers, 1);
  return std::clamp(share, kLeastWorkerMemory, kLargestDefaultWorkerMemory);
}

OfficeScriptService::OfficeScriptService(OfficeConfig config, ProgressObserver progress)
    : config_(std::move(config)), progress_(std::move(progress)) {}

std::unique_ptr<Script> OfficeScriptService::create(const std::string& source,
                                                    ScriptError* error) {
  WorkPlan plan;
  if (Status s = WorkPlan::parse(source, &plan); !s.ok()) {
    error->info = {{"message", "the script cannot be run: " + s.message()}};
    return nullptr;
  }
  return std::make_unique<OfficeScript>(std::move(plan), config_, progress_);
}

}  // namespace morvane
