#include "office/worker_pool.h"

#include <exception>
#include <functional>
#include <system_error>

namespace morvane {

WorkerPool::WorkerPool(const WorkPlan& plan, PoolSettings settings, ProgressCounter& progress)
    : plan_(plan),
      settings_(std::move(settings)),
      progress_(progress),
      outcomes_(plan.documents().size()),
      committer_(
          officeEnv(settings_.config), outcomes_,
          [this](std::size_t i, const PendingExport& e, const Status& s) {
            return describeCommit(i, e, s);
          },
          [this](std::size_t committed) { quitsCommitted(committed); }, settings_.keepGoing,
          settings_.written),
      firstFailure_(plan.documents().size()) {}

WorkerPool::~WorkerPool() {
  if (lanes_.empty()) return;
  settings_.running.cancel();
  joinLanes();
}

bool WorkerPool::run(std::vector<ScriptError>* failures, ScriptError* error) {
  startLanes();
  progress_.follow([this] { return lanesLeft_ == 0; });
  joinLanes();
  converted_ = committer_.committed();
  std::size_t failed = outcomes_.size();
  if (committer_.finish(&failed)) {
    for (const Outcome& outcome : outcomes_) {  // failures of a run that goes on
      if (outcome.error) failures->push_back(*outcome.error);
    }
    return true;
  }
  if (failed < outcomes_.size()) *error = *outcomes_[failed].error;
  return false;
}

// A lane's thread. Nothing thrown leaves it: it ends the run instead.
void WorkerPool::lane() {
  const PlannedDocument* serving = nullptr;
  {
    LaneProcess process(settings_.config, &settings_.running);
    try {
      serve(process, &serving);
    } catch (const std::exception& e) {
      process.drop();
      recordLaneException(serving, e.what());
    } catch (...) {
      process.drop();
      recordLaneException(serving, "unknown exception");
    }
  }
  --lanesLeft_;
  progress_.notify();
}

// Takes the next waiting document until none is left, the run stops or
// (without keepGoing) this lane's document failed.
void WorkerPool::serve(LaneProcess& process, const PlannedDocument** serving) {
  const std::vector<PlannedDocument>& documents = plan_.documents();
  const bool keepGoing = settings_.keepGoing;
  for (std::size_t i = next_++; i < documents.size() && i < firstFailure_; i = next_++) {
    if (settings_.running.cancelled() || committer_.stopped()) break;
    *serving = &documents[i];
    BlockState state(*documents[i].block, settings_.config, process, settings_.folders);
    runDocument(documents[i], state, &outcomes_[i]);
    const bool failed = outcomes_[i].error.has_value();
    if (failed && keepGoing) state.abandonDocument();
    if (!failed || keepGoing) process.documentServed();
    if (failed && !keepGoing) noteFailure(i);
    *serving = nullptr;  // the commits may be of other lanes' documents
    committer_.ended(i);
    if (failed && !keepGoing) break;
  }
  if (firstFailure_ == documents.size() && !settings_.running.cancelled()) process.quit();
}

// The statements of one document, on the lane's process.
void WorkerPool::runDocument(const PlannedDocument& document, BlockState& state,
                             Outcome* outcome) {
  for (std::size_t k = document.first; k < document.end; ++k) {
    const ScriptStatement& st = document.block->statements[k];
    progress_.starting(st);
    if (Status s = state.run(st, &outcome->exports); !s.ok()) {
      outcome->error = state.describe(st, s);
      outcome->exportsDone = st.kind == ScriptStatement::Kind::close && !outcome->exports.empty();
      return;
    }
  }
  outcome->exportsDone = true;
}

// Document i failed: no lane takes a document after the first that did.
void WorkerPool::noteFailure(std::size_t i) {
  for (std::size_t f = firstFailure_; i < f && !firstFailure_.compare_exchange_weak(f, i);) {
  }
}

// Tells each block's quit once the documents up to it are committed.
void WorkerPool::quitsCommitted(std::size_t committed) {
  const std::vector<QuitMark>& quits = plan_.quits();
  for (; quitsTold_ < quits.size() && quits[quitsTold_].after <= committed; ++quitsTold_) {
    progress_.starting(*quits[quitsTold_].statement);
  }
}

void WorkerPool::recordLaneException(const PlannedDocument* document, const std::string& what) {
  ScriptError error;
  if (document != nullptr) {
    error.info.emplace_back("application", document->block->application);
    error.info.emplace_back("document", document->path());
  }
  error.info.emplace_back("message", "the conversion stopped on an unexpected error: " + what);
  {
    MutexLock lock(laneExceptionMutex_);
    if (!laneException_) laneException_ = std::move(error);
  }
  settings_.running.cancel();  // the run ends: no other lane serves another document
}

std::optional<ScriptError> WorkerPool::laneException() const {
  MutexLock lock(laneExceptionMutex_);
  return laneException_;
}

// A thread the system refuses to start is one lane fewer; with none,
// this thread serves the documents alone.
void WorkerPool::startLanes() {
  const std::size_t wanted = settings_.lanes;
  lanesLeft_ = wanted;
  for (std::size_t n = 0; n < wanted; ++n) {
    try {
      lanes_.emplace_back([this] { lane(); });
    } catch (const std::system_error&) {
      lanesLeft_ -= wanted - n;
      break;
    }
  }
  if (lanes_.empty()) {
    lanesLeft_ = 1;
    lane();
  }
}

void WorkerPool::joinLanes() {
  for (std::thread& t : lanes_) t.join();
  lanes_.clear();
}

// A commit that failed, told as the export statement that made the file,
// with the document that statement exported.
ScriptError WorkerPool::describeCommit(std::size_t i, const PendingExport& e,
                                       const Status& failure) const {
  const PlannedDocument& document = plan_.documents()[i];
  return describeStatement(*document.block, *e.statement, document.path(), failure);
}

}  // namespace morvane
