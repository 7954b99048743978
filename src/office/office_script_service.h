// OfficeScriptService: runs the engine's automation script with
// LibreOffice. The script is planned once (WorkPlan); the documents of all
// tell blocks form one queue served by a pool of OfficeWorkers (one worker
// takes documents of any application); the outcome is that of carrying
// out the statements in order: the first
// one that fails ends the run, with an error naming the application, the
// statement, the document and the reason, and no export after it lands.
// Exports are written under a temporary name beside the target and renamed
// over it only when complete.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/script_service.h"
#include "office/office_worker.h"
#include "office/progress_counter.h"

namespace morvane {

class OfficeScriptService : public ScriptService {
 public:
  explicit OfficeScriptService(OfficeConfig config, ProgressObserver progress = {});
  std::unique_ptr<Script> create(const std::string& source, ScriptError* error) override;

 private:
  OfficeConfig config_;
  ProgressObserver progress_;
};

// The most workers a run starts, whatever the machine or the user asks.
inline constexpr long kMostWorkers = 64;

// What a run's number of workers is chosen from.
struct WorkerCountInputs {
  std::size_t cores = 1;  // 0: unknown, taken as one
  std::optional<std::uint64_t> availableMemory;  // bytes; nothing: no bound
  std::uint64_t memoryPerWorker = 0;  // bytes one worker may come to hold
  std::size_t documents = 0;  // documents waiting
  std::size_t requested = 0;  // the user's choice; 0: none
};

// The user's choice when made (memory aside); else one worker per core,
// as many as the spare memory (below) carries. Never more than kMostWorkers
// or the documents waiting, never fewer than one.
std::size_t officeWorkerCount(const WorkerCountInputs& in);

// What the machine can spare for workers out of `availableMemory` bytes:
// all but a margin left to the rest of it (a tenth, at least 512 MB).
std::uint64_t spareWorkerMemory(std::uint64_t availableMemory);

// The memory a worker may hold while it serves a document, when the user
// sets none: an equal share for each of `workers` of what the machine can
// spare, at most 2 GB and at least 512 MB (LibreOffice holds about 220 MB
// before any large document); 2 GB when the available memory is unknown.
inline constexpr std::uint64_t kLargestDefaultWorkerMemory = 2048ull << 20;
inline constexpr std::uint64_t kLeastWorkerMemory = 512ull << 20;
std::uint64_t defaultWorkerMemoryCap(std::optional<std::uint64_t> availableMemory,
                                     std::size_t workers);

}  // namespace morvane
