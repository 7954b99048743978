#include "office/running_workers.h"

#include <algorithm>

#include "office/office_worker.h"

namespace morvane {

void RunningWorkers::add(OfficeWorker* worker) {
  MutexLock lock(mutex_);
  workers_.push_back(worker);
  if (cancelled_) worker->abort();
}

void RunningWorkers::remove(OfficeWorker* worker) {
  MutexLock lock(mutex_);
  std::erase(workers_, worker);
}

void RunningWorkers::cancel() {
  MutexLock lock(mutex_);
  cancelled_ = true;
  for (OfficeWorker* worker : workers_) worker->abort();
}

bool RunningWorkers::cancelled() const {
  MutexLock lock(mutex_);
  return cancelled_;
}

std::vector<pid_t> RunningWorkers::pids() const {
  MutexLock lock(mutex_);
  std::vector<pid_t> all;
  for (const OfficeWorker* worker : workers_) {
    if (worker->pid() > 0) all.push_back(worker->pid());
  }
  return all;
}

}  // namespace morvane
