#include "office/lane_process.h"

#include <algorithm>

namespace morvane {

Status LaneProcess::ensureStarted() {
  if (process_) return {};
  if (Status s = OfficeWorker::start(config_, &process_, running_); !s.ok()) return s;
  served_ = 0;
  return {};
}

void LaneProcess::documentServed() {
  if (!process_) return;
  ++served_;
  if ((config_.documentsPerWorker > 0 && served_ >= config_.documentsPerWorker) || heavy()) {
    quit();  // the next document starts a fresh one
  }
}

void LaneProcess::dropIfEnded() {
  if (process_ && !process_->running()) process_.reset();
}

Status LaneProcess::quit() {
  if (!process_) return {};
  Status s = process_->quit();
  process_.reset();
  return s;
}

// Whether the process holds more memory than allowed between documents:
// the limit, or half of what it may hold while serving one, so that the
// next document has room. What LibreOffice starts (gpg, for its first
// document) is rare and short-lived, and counting it takes a look at every
// process, so the worker alone is measured after each document and with
// its process group after every 16th.
bool LaneProcess::heavy() const {
  std::uint64_t limit = config_.workerMemoryLimit;
  if (config_.workerMemoryCap > 0) {
    limit = limit == 0 ? config_.workerMemoryCap / 2
                       : std::min(limit, config_.workerMemoryCap / 2);
  }
  if (limit == 0) return false;
  return process_->residentMemory(served_ % 16 == 0) > limit;
}

}  // namespace morvane
