// The workers of one execution, so that a cancel from any thread ends them
// at once: each is told here from the moment it starts (before LibreOffice
// is up, while it waits for the profile template) until it is dropped; one
// that starts after the cancel gives up at once.
#pragma once

#include <sys/types.h>

#include <vector>

#include "platform/thread_annotations.h"

namespace morvane {

class OfficeWorker;

// Thread-safe.
class RunningWorkers {
 public:
  void add(OfficeWorker* worker) EXCLUDES(mutex_);
  void remove(OfficeWorker* worker) EXCLUDES(mutex_);
  void cancel() EXCLUDES(mutex_);
  bool cancelled() const EXCLUDES(mutex_);
  // The process ids of the workers started so far.
  std::vector<pid_t> pids() const EXCLUDES(mutex_);

 private:
  mutable Mutex mutex_;
  std::vector<OfficeWorker*> workers_ GUARDED_BY(mutex_);
  bool cancelled_ GUARDED_BY(mutex_) = false;
};

}  // namespace morvane
