// OfficeWorker: one morvane-office process serving documents of any kind,
// and the protocol it is spoken to in. It loads LibreOffice once,
// in-process, in a private folder of its own (work_folders.h: its profile,
// worker_profile.h; its log; LibreOffice's temporary files), then loads,
// saves and closes documents on request. Every request waits at most the
// statement time limit; a worker that crashes or hangs is ended and
// reported. The private folder is removed when the worker is dropped.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/env.h"
#include "platform/process_launcher.h"
#include "platform/status.h"
#include "office/document_census.h"
#include "office/failure_reasons.h"
#include "office/process_memory.h"
#include "office/running_workers.h"
#include "office/work_folders.h"
#include "platform/thread_annotations.h"

namespace morvane {

struct OfficeConfig {
  std::string workerPath;   // the morvane-office executable
  std::string installPath;  // LibreOffice's program folder
  std::chrono::milliseconds statementLimit = std::chrono::minutes(5);
  // Workers that share out the documents of the script (each one
  // LibreOffice), never more than there are documents; 0: chosen for each
  // run from the machine's cores and available memory.
  std::size_t workers = 1;
  // A worker is replaced, between two documents, once it has served this
  // many (0: never) or once its resident memory, with that of anything it
  // started, passes `workerMemoryLimit` bytes (0: never). LibreOffice keeps
  // a little of every document it loads.
  std::size_t documentsPerWorker = 0;
  std::uint64_t workerMemoryLimit = 0;
  // The most resident memory, in bytes, a worker may hold while it serves
  // a request: one that passes it is ended at once (looked at every few
  // milliseconds) and the request fails, saying so. 0: none for a worker
  // on its own; a run then gives each worker its share of the machine's.
  std::uint64_t workerMemoryCap = 0;
  // A prepared LibreOffice profile that each worker starts from a copy of
  // (LibreOffice sets up a new profile in seconds, a copied one at once).
  // Made the first time it is missing; empty: every worker starts afresh.
  std::string profileTemplate;
  // A folder holding the iWork reader (libetonyek-0.1.so.1) that the
  // workers load in place of the system's; empty: the system's.
  std::string readerLibraryDir;
  // What the service does to files (commits, private folders, profiles)
  // goes through this; null: the machine's own. Not owned.
  Env* env = nullptr;
  // Starts the worker processes; null: systemLauncher(). Not owned.
  ProcessLauncher* launcher = nullptr;
  // What the workers' time limits and waits are counted on, besides the
  // processes' own reads; null: systemClock(). Not owned.
  Clock* clock = nullptr;
};

// The Env of a configuration: its own, or the machine's.
Env& officeEnv(const OfficeConfig& config);
// The launcher and the clock of a configuration: its own, or the system's.
ProcessLauncher& officeLauncher(const OfficeConfig& config);
Clock& officeClock(const OfficeConfig& config);

class OfficeWorker {
 public:
  // Starts the worker and waits (within the limit) until LibreOffice is up.
  // With `running`, the worker is told there from the start (see
  // RunningWorkers) and an abort ends its start at once.
  static Status start(const OfficeConfig& config, std::unique_ptr<OfficeWorker>* out,
                      RunningWorkers* running = nullptr);
  ~OfficeWorker();

  // Sends one request; on an "ok" answer its further fields go to *answer.
  // An "error" answer, a crash or the time limit give a failed status (the
  // worker is then ended).
  Status call(const std::vector<std::string>& request, std::vector<std::string>* answer);

  // Counts what the open document holds, as LibreOffice read it.
  Status census(DocumentCensus* census);

  // The versions of LibreOffice and of the iWork reader the worker uses.
  Status versions(std::string* office, std::string* reader);

  // How the last request that failed ended: with an error answer (the
  // worker goes on), the worker stopping (lastExitStatus() tells how), or
  // the worker ended for taking too long or growing past its cap.
  enum class Ending { answered, stopped, timedOut, tooLarge };
  Ending lastEnding() const { return lastEnding_; }
  int lastExitStatus() const { return lastExitStatus_; }

  // Whether the worker process is still there to serve requests.
  bool running() const { return ownProcess() != nullptr; }

  // The worker's process id (its process group's too), as it was started;
  // safe from any thread.
  pid_t pid() const { return pid_; }

  // The resident memory of the worker process, in bytes; with `group`,
  // with that of anything else in its process group (what LibreOffice
  // started), which takes a look at every process of the machine. 0 when
  // it cannot be read.
  std::uint64_t residentMemory(bool group) const {
    return group ? groupResidentMemory(pid_) : morvane::residentMemory(pid_);
  }

  // A path in the worker's own temporary folder, removed with the worker.
  std::string scratchPath(const std::string& name) const { return workDir_ + "/" + name; }

  // Asks the worker to quit and waits for it to exit.
  Status quit();

  // Ends the worker's process group at once, from any thread; the thread
  // that uses the worker then sees its request fail. While the worker
  // starts, the start gives up (a wait for the profile template included).
  void abort() EXCLUDES(processMutex_);

 private:
  OfficeWorker(const OfficeConfig& config, std::string workDir)
      : config_(config), workDir_(std::move(workDir)) {}
  // Starts the process on `profile` (its standard error to `log`, or
  // nowhere when empty) and waits until LibreOffice is up.
  Status launch(const std::string& profile, const std::string& log) EXCLUDES(processMutex_);
  Status awaitAnswer(std::vector<std::string>* answer);
  // One line from the worker within the statement limit, while its memory
  // is watched; *tooLarge tells a worker that passed its cap (the read then
  // reports timedOut).
  ChildProcess::ReadResult readWatched(std::string* line, bool* tooLarge);
  // This process's environment with the reader's folder first on the
  // library path.
  std::vector<std::string> workerEnvironment() const;
  // Makes the worker's profile (see WorkerProfile), from the template when
  // one is configured.
  void prepareProfile(const std::string& profile);
  // Sets up a fresh profile for the template with a worker of its own,
  // which an abort of this one ends too (see ProfileSetUp).
  Status setUpProfile(const std::string& profile, const std::string& document,
                      const std::string& scratch, std::string* office) EXCLUDES(processMutex_);
  bool aborted() const EXCLUDES(processMutex_);
  // Ends the worker. The failure tells `known` (with the worker's last
  // message in its details), or that the worker stopped, and how.
  Status failure(const std::optional<FailureReason>& known);
  std::string lastOutputLine() const;

  // Lets go of the process (ending it if needed), in step with abort().
  void dropProcess() EXCLUDES(processMutex_);
  // The process, for the thread that uses the worker: that thread alone
  // sets process_ (under the lock, for abort()), so it reads it without.
  ChildProcess* ownProcess() const NO_THREAD_SAFETY_ANALYSIS { return process_.get(); }

  OfficeConfig config_;
  std::string workDir_;  // holds the profile and the worker's log
  // Guards process_, aborted_ and maker_ against abort() from other threads.
  mutable Mutex processMutex_;
  std::unique_ptr<ChildProcess> process_ GUARDED_BY(processMutex_);
  bool aborted_ GUARDED_BY(processMutex_) = false;
  // The worker setting up the profile template while it runs.
  OfficeWorker* maker_ GUARDED_BY(processMutex_) = nullptr;
  RunningWorkers* running_ = nullptr;  // where the worker is told; may be null
  std::atomic<pid_t> pid_{0};
  Ending lastEnding_ = Ending::answered;
  int lastExitStatus_ = 0;
};

}  // namespace morvane
