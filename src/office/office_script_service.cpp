#include "office/office_script_service.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <condition_variable>
#include <exception>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <system_error>
#include <thread>

#include "office/document_census.h"
#include "office/failure_reasons.h"
#include "office/script_parser.h"
#include "office/target_folders.h"

namespace morvane {

namespace fs = std::filesystem;

namespace {

// A finished export waiting under its temporary name for its turn to be
// renamed over the target, with the statement that made it.
struct PendingExport {
  fs::path partial;
  fs::path target;
  const ScriptStatement* statement = nullptr;
  TargetFolders* folders = nullptr;  // the folders of the execution
};

// A hidden name beside `target`, unique in this process (workers of one
// run may export to the same target) and among processes (by the pid):
// ".<name>.morvane-<pid>-<n>.part", or ".morvane-<pid>-<n>.part" where
// the target's own name leaves no room for the longer form on its file
// system.
fs::path partialPathFor(const fs::path& target) {
  static std::atomic<std::uint64_t> counter{0};
  const std::string suffix = ".morvane-" + std::to_string(::getpid()) + "-" +
                             std::to_string(++counter) + ".part";
  const std::string name = target.filename().string();
  const long longest = ::pathconf(target.parent_path().c_str(), _PC_NAME_MAX);
  const std::size_t longestName = longest > 0 ? static_cast<std::size_t>(longest) : 143;
  if (1 + name.size() + suffix.size() <= longestName) {
    return target.parent_path() / ("." + name + suffix);
  }
  return target.parent_path() / suffix;
}

// Told each export once it is in its place; may be empty.
using WrittenFile = std::function<void(const std::string& path)>;

// Flushes the finished export, renames it over the target and flushes the
// folder, so that a power loss cannot leave an empty file under the
// target's name. Only then is it told as written. An export that cannot be
// flushed is removed; one whose folder cannot be is in place but not
// counted. Nothing is placed in a folder that was removed (or replaced)
// since the export started: that fails naming the folder.
Status commit(Env& env, const PendingExport& e, const WrittenFile& written) {
  const auto failed = [&](const Status& why) {
    if (Status there = e.folders->check(env, e.target); !there.ok()) return there;
    return explainFileError(e.target.string(), true,
                            "cannot write " + e.target.string() + ": " + why.message())
        .status();
  };
  // Gone from its folder: someone is removing the folder or files in it.
  const auto removed = [&] { return !env.stat(e.partial).exists; };
  const Status removedStatus = Status::error(
      "the finished export was removed from its folder before it could take its place");
  if (Status synced = env.syncFile(e.partial); !synced.ok()) {
    const bool gone = removed();
    env.removeAll(e.partial);
    return failed(gone ? removedStatus
                       : Status::error("it could not be flushed to the disk: " +
                                       synced.message()));
  }
  if (Status there = e.folders->check(env, e.target); !there.ok()) {
    env.removeAll(e.partial);
    return there;
  }
  if (Status renamed = env.renameFile(e.partial, e.target); !renamed.ok()) {
    const bool gone = removed();
    env.removeAll(e.partial);
    return failed(gone ? removedStatus : renamed);
  }
  if (Status synced = env.syncFolder(e.target.parent_path()); !synced.ok()) {
    return failed(
        Status::error("its folder could not be flushed to the disk: " + synced.message()));
  }
  if (written) written(e.target.string());
  return {};
}

const std::map<std::string, std::string>& iworkApplications() {
  static const std::map<std::string, std::string> kNames = {
      {"pages", "Pages"}, {"numbers", "Numbers"}, {"key", "Keynote"}};
  return kNames;
}

// LibreOffice saves through a file of its own beside the target,
// "lu<its pid><random>.tmp"; a worker ended in the middle of a save leaves
// it in the user's folder. The random part may start with a digit, so a
// name that also fits a longer pid of another living worker is left to it.
void removeSaveLeftovers(const fs::path& folder, pid_t worker, const std::vector<pid_t>& others) {
  if (worker <= 0) return;
  const std::string prefix = "lu" + std::to_string(worker);
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with(prefix) || !name.ends_with(".tmp")) continue;
    const bool another = std::any_of(others.begin(), others.end(), [&](pid_t other) {
      const std::string theirs = "lu" + std::to_string(other);
      return other != worker && theirs.size() > prefix.size() && name.starts_with(theirs);
    });
    std::error_code ignored;
    if (!another) fs::remove(it->path(), ignored);
  }
}

void discard(Env& env, const std::vector<PendingExport>& exports) {
  for (const PendingExport& e : exports) env.removeAll(e.partial);
}

// The worker process that one lane of the pool (or a block run in order)
// sends its statements to: started when a statement first needs it, and
// replaced between documents once it has served its share of them or holds
// more memory than allowed, since LibreOffice keeps a little of every
// document it loads.
class LaneWorker {
 public:
  LaneWorker(const OfficeConfig& config, RunningWorkers* running)
      : config_(config), running_(running) {}
  // The worker, if any, is ended with the lane.

  // Starts a worker when there is none; a cancel reaches it while it starts.
  Status ensure() {
    if (worker_) return {};
    if (Status s = OfficeWorker::start(config_, &worker_, running_); !s.ok()) return s;
    served_ = 0;
    return {};
  }

  OfficeWorker* get() const { return worker_.get(); }
  RunningWorkers* running() const { return running_; }

  // A document has ended with nothing of it left open.
  void documentServed() {
    if (!worker_) return;
    ++served_;
    if ((config_.documentsPerWorker > 0 && served_ >= config_.documentsPerWorker) || heavy()) {
      quit();  // the next document starts a fresh one
    }
  }

  // A worker that has ended is let go; the next statement starts another.
  void dropIfEnded() {
    if (worker_ && !worker_->running()) worker_.reset();
  }

  Status quit() {
    if (!worker_) return {};
    Status s = worker_->quit();
    worker_.reset();
    return s;
  }

  // Ends the worker at once (after an unexpected error, its state is not
  // known); the next statement starts another.
  void drop() { worker_.reset(); }

 private:

  // Whether the worker holds more memory than allowed between documents:
  // the limit, or half of what it may hold while serving one, so that the
  // next document has room. What LibreOffice starts (gpg, for its first
  // document) is rare and short-lived, and counting it takes a look at every
  // process, so the worker alone is measured after each document and with
  // its process group after every 16th.
  bool heavy() const {
    std::uint64_t limit = config_.workerMemoryLimit;
    if (config_.workerMemoryCap > 0) {
      limit = limit == 0 ? config_.workerMemoryCap / 2
                         : std::min(limit, config_.workerMemoryCap / 2);
    }
    if (limit == 0) return false;
    return worker_->residentMemory(served_ % 16 == 0) > limit;
  }

  const OfficeConfig& config_;
  RunningWorkers* running_;  // may be null
  std::unique_ptr<OfficeWorker> worker_;
  std::size_t served_ = 0;  // documents the current worker has served
};

// The document a statement before its open belongs to (an activate, or
// the worker's start on its behalf): the next one the block opens.
std::string upcomingDocument(const TellBlock& tell, const ScriptStatement& st) {
  const auto& all = tell.statements;
  if (all.empty() || &st < all.data() || &st >= all.data() + all.size()) return {};
  for (std::size_t k = static_cast<std::size_t>(&st - all.data()); k < all.size(); ++k) {
    if (all[k].kind == ScriptStatement::Kind::open) return all[k].path;
    if (all[k].kind == ScriptStatement::Kind::close || all[k].kind == ScriptStatement::Kind::quit) {
      break;
    }
  }
  return {};
}

// The error of a failed statement of `tell`, naming the application, the
// statement, its line, the document (`document`, or the one the statement
// is for when empty), the message and the details behind it, if any.
ScriptError describeStatement(const TellBlock& tell, const ScriptStatement& st,
                              std::string document, const Status& failure) {
  ScriptError error;
  error.info.emplace_back("application", tell.application);
  error.info.emplace_back("statement", st.text);
  error.info.emplace_back("line", std::to_string(st.line));
  if (st.kind == ScriptStatement::Kind::open) document = st.path;
  if (document.empty()) document = upcomingDocument(tell, st);
  if (!document.empty()) error.info.emplace_back("document", document);
  error.info.emplace_back("message", failure.message());
  if (!failure.details().empty()) error.info.emplace_back("details", failure.details());
  error.reason = reasonOf(failure);
  return error;
}

// A tell block's statements carried out on a lane's worker, with the
// documents they have open. Statements run one at a time, in order.
class BlockState {
 public:
  BlockState(const TellBlock& tell, const OfficeConfig& config, LaneWorker& lane,
             const WrittenFile& written, TargetFolders& folders)
      : tell_(tell), config_(config), lane_(lane), written_(written), folders_(folders) {}

  // Runs one statement. Exports are left pending in *pending when given,
  // else renamed over their targets at once.
  Status run(const ScriptStatement& st, std::vector<PendingExport>* pending) {
    using Kind = ScriptStatement::Kind;
    if (documentKindFor(tell_.application).empty()) {
      return Status::error("application \"" + tell_.application + "\" can't be found");
    }
    if (st.kind == Kind::quit) {
      documents_.clear();
      return lane_.quit();
    }
    if (Status s = lane_.ensure(); !s.ok()) return s;
    switch (st.kind) {
      case Kind::activate: return {};
      case Kind::open: return open(st.path);
      case Kind::close: return close();
      case Kind::save: return save(st.path);
      case Kind::exportAs: return exportTo(st, pending);
      case Kind::quit: break;
    }
    return {};
  }

  // After a failed document, when the run goes on: a worker that ended
  // is dropped (the next statement starts another), a living one closes
  // what the failed document left open.
  void abandonDocument() {
    lane_.dropIfEnded();
    std::vector<std::string> answer;
    while (worker() != nullptr && !documents_.empty() && worker()->call({"close"}, &answer).ok()) {
      documents_.pop_back();
    }
    documents_.clear();
  }

  ScriptError describe(const ScriptStatement& st, const Status& failure) const {
    return describeStatement(tell_, st, documents_.empty() ? std::string() : documents_.back(),
                             failure);
  }

 private:
  OfficeWorker* worker() const { return lane_.get(); }

  Status open(const std::string& path) {
    std::string loadable = path;
    IworkContent expected;
    if (Status s = inspect(path, &loadable, &expected); !s.ok()) return s;
    std::vector<std::string> answer;
    Status loaded = worker()->call({"load", loadable}, &answer);
    if (loadable != path) officeEnv(config_).removeAll(loadable);  // a package folder's copy
    if (!loaded.ok()) return explainLoadFailure(path, loaded).status();
    documents_.push_back(path);
    const std::string kind = answer.empty() ? "unknown" : answer[0];
    const std::string wanted = documentKindFor(tell_.application);
    if (kind != wanted) return wrongKindOfFile(path, kind, tell_.application, wanted).status();
    if (!expected.any()) return {};
    DocumentCensus census;
    if (Status s = worker()->census(&census); !s.ok()) return s;
    return checkNothingLost(expected, census);
  }

  // Checks a document before LibreOffice opens it. An iWork document must
  // be a readable container of a format version a reader supports; the
  // worker reads it (hostile input stays out of this process), tells what
  // content LibreOffice must bring over, and turns a package folder into
  // the single file LibreOffice opens (*loadable). An Office document
  // must not be empty.
  Status inspect(const std::string& path, std::string* loadable, IworkContent* expected) {
    const std::string ext = fs::path(path).extension().string();
    const auto iwork = iworkApplications().find(ext.empty() ? "" : ext.substr(1));
    std::error_code ec;
    if (iwork == iworkApplications().end()) {
      if (fs::is_regular_file(path, ec) && fs::file_size(path, ec) == 0 && !ec) {
        return Status::error("the file is empty (0 bytes); there is nothing to convert");
      }
      return {};  // LibreOffice itself tells what it cannot open
    }
    if (!fs::exists(path, ec)) return {};  // the worker names the missing file
    std::vector<std::string> answer;
    const Status s =
        worker()->call({"inspect", path, worker()->scratchPath("package" + ext)}, &answer);
    if (!s.ok()) return inspectionFailure(iwork->second, s);
    if (answer.size() != 3) return Status::error("the LibreOffice worker answered no inspection");
    *expected = {std::strtoull(answer[0].c_str(), nullptr, 10),
                 std::strtoull(answer[1].c_str(), nullptr, 10)};
    *loadable = answer[2];
    return {};
  }

  // Why the check of an iWork document of `application` failed: what it
  // found wrong, or how it ended the worker (the check reads nothing but
  // the document: whatever ends it is the document's doing).
  Status inspectionFailure(const std::string& application, const Status& failure) const {
    const std::string damaged = "this " + application + " document is damaged: checking it ";
    switch (worker()->lastEnding()) {
      case OfficeWorker::Ending::answered: break;
      case OfficeWorker::Ending::stopped:
        return Status::error(damaged + "crashed", failure.details());
      case OfficeWorker::Ending::timedOut:
        return Status::error(damaged + "took longer than " +
                                 formatTimeLimit(config_.statementLimit),
                             failure.details());
      case OfficeWorker::Ending::tooLarge:
        return Status::error(damaged + "needs more memory than the " +
                                 std::to_string(config_.workerMemoryCap >> 20) +
                                 " MB allowed per document",
                             failure.details());
    }
    if (!failure.details().empty()) return failure;  // explained by the worker
    return Status::error("this is not a readable " + application + " document: " +
                         failure.message());
  }

  Status close() {
    if (documents_.empty()) return Status::error("no document is open");
    std::vector<std::string> answer;
    if (Status s = worker()->call({"close"}, &answer); !s.ok()) return s;
    documents_.pop_back();
    return {};
  }

  Status save(const std::string& target) {
    if (documents_.empty()) return Status::error("no document is open");
    const std::string ext = fs::path(target).extension().string();
    if (auto it = iworkApplications().find(ext.empty() ? "" : ext.substr(1));
        it != iworkApplications().end()) {
      return Status::error("LibreOffice reads " + it->second + " documents but cannot write them; " +
                           target + " was not written");
    }
    return Status::error("saving in the application's own format is not possible here; " +
                         target + " was not written");
  }

  Status exportTo(const ScriptStatement& statement, std::vector<PendingExport>* pending) {
    const std::string& target = statement.path;
    const std::string& formatName = statement.format;
    if (documents_.empty()) return Status::error("no document is open");
    const std::string format = officeFormatFor(formatName);
    if (format.empty()) {
      return Status::error("LibreOffice cannot write the format " + formatName + "; " + target +
                           " was not written");
    }
    // Written under a hidden temporary name beside the target, then renamed
    // over it: a failed export leaves no half-written file behind.
    const fs::path finalPath(target);
    if (Status s = folders_.enter(officeEnv(config_), finalPath); !s.ok()) return s;
    const PendingExport e{partialPathFor(finalPath), finalPath, &statement, &folders_};
    std::vector<std::string> answer;
    const pid_t pid = worker()->pid();
    if (Status s = worker()->call({"save", e.partial.string(), format}, &answer); !s.ok()) {
      // Told while the partial file still takes its room on the disk.
      std::error_code ec;
      const std::uintmax_t source = fs::file_size(documents_.back(), ec);
      const Status reason = explainSaveFailure(target, s, ec ? 0 : source).status();
      discard(officeEnv(config_), {e});
      removeSaveLeftovers(e.partial.parent_path(), pid,
                          lane_.running() != nullptr ? lane_.running()->pids()
                                                     : std::vector<pid_t>());
      return reason;
    }
    if (pending == nullptr) return commit(officeEnv(config_), e, written_);
    pending->push_back(e);
    return {};
  }

  const TellBlock& tell_;
  const OfficeConfig& config_;
  LaneWorker& lane_;
  const WrittenFile& written_;
  TargetFolders& folders_;
  std::vector<std::string> documents_;  // open documents, document 1 last
};

// Counts the statements carried out and tells the observer, always from
// the thread that executes the script.
class ProgressCounter {
 public:
  ProgressCounter(const ProgressObserver& observer, std::size_t total, std::size_t documents)
      : observer_(observer), total_(total), documents_(documents) {}

  void starting(const ScriptStatement& statement) {
    std::lock_guard lock(mutex_);
    count(statement);
    ++started_;
    changed_.notify_all();
  }

  // Waits until `finished` turns true, telling the observer of each step.
  void follow(const std::function<bool()>& finished) {
    std::unique_lock lock(mutex_);
    std::size_t told = reported_;
    for (;;) {
      changed_.wait_for(lock, std::chrono::milliseconds(200));
      if (started_ != told && observer_) {
        const ScriptProgress p = progress(started_ - 1);
        told = started_;
        lock.unlock();
        observer_(p);
        lock.lock();
      }
      if (finished()) break;
    }
    reported_ = started_;
  }

  // For statements run on the executing thread itself.
  void tell(const ScriptStatement& statement) {
    ScriptProgress p;
    {
      std::lock_guard lock(mutex_);
      count(statement);
      p = progress(reported_);
    }
    if (observer_) observer_(p);
    ++reported_;
    std::lock_guard lock(mutex_);
    started_ = reported_;
  }

  // Wakes follow() to check its condition again; under the lock, so that
  // a change made just before is never missed between its check and its
  // wait.
  void notify() {
    std::lock_guard lock(mutex_);
    changed_.notify_all();
  }

 private:
  void count(const ScriptStatement& statement) {
    last_ = statement.text;
    if (statement.kind != ScriptStatement::Kind::open) return;
    ++opened_;
    document_ = statement.path;
  }

  ScriptProgress progress(std::size_t done) const {
    return {done, total_, last_, opened_, documents_, document_};
  }

  const ProgressObserver& observer_;
  const std::size_t total_;
  const std::size_t documents_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::size_t started_ = 0;
  std::size_t reported_ = 0;
  std::size_t opened_ = 0;
  std::string last_;
  std::string document_;
};

// The statements of one document, [activate] open ... close, as the
// engine composes them.
struct DocumentRun {
  std::size_t first = 0;
  std::size_t end = 0;  // one past the close
};

// The documents of a block composed the usual way, (activate open
// (save|export)* close)* then quit; nothing for any other shape.
std::optional<std::vector<DocumentRun>> documentRuns(const TellBlock& block) {
  using Kind = ScriptStatement::Kind;
  const auto& st = block.statements;
  std::vector<DocumentRun> runs;
  std::size_t i = 0;
  while (i < st.size() && st[i].kind != Kind::quit) {
    DocumentRun run{i, i};
    if (st[i].kind == Kind::activate) ++i;
    if (i == st.size() || st[i].kind != Kind::open) return std::nullopt;
    for (++i; i < st.size() && (st[i].kind == Kind::save || st[i].kind == Kind::exportAs); ++i) {
    }
    if (i == st.size() || st[i].kind != Kind::close) return std::nullopt;
    run.end = ++i;
    runs.push_back(run);
  }
  if (i + 1 != st.size() && i != st.size()) return std::nullopt;
  return runs;
}

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
  // that grows (under the committer's lock).
  InOrderCommitter(Env& env, std::vector<Outcome>& outcomes, DescribeCommit describeCommit,
                   std::function<void(std::size_t)> advanced, bool keepGoing,
                   const WrittenFile& written)
      : env_(env), outcomes_(outcomes), ended_(outcomes.size(), false),
        describeCommit_(std::move(describeCommit)), advanced_(std::move(advanced)),
        keepGoing_(keepGoing), written_(written) {}

  // Document i has ended: all its statements ran, or one failed.
  void ended(std::size_t i) {
    std::lock_guard lock(mutex_);
    ended_[i] = true;
    const std::size_t before = next_;
    while (!stopped_ && next_ < ended_.size() && ended_[next_]) {
      Outcome& outcome = outcomes_[next_];
      bool landed = true;
      for (const PendingExport& e : outcome.exports) {
        if (Status s = commit(env_, e, written_); !s.ok()) {
          landed = false;
          if (!outcome.error) outcome.error = describeCommit_(next_, e, s);
        }
      }
      outcome.exports.clear();
      // Converted: every export landed (a close may have failed after them).
      if (landed && (!outcome.error || outcome.exportsDone)) ++committed_;
      if (outcome.error && !keepGoing_) {
        stopped_ = true;
        break;
      }
      ++next_;
    }
    if (next_ != before && advanced_) advanced_(next_);
  }

  // After the lanes have ended: drops what did not land and tells whether
  // every document did; else *failed is the index of the first that did
  // not (outcomes_.size() when the rest never ended, as after a cancel).
  bool finish(std::size_t* failed) {
    std::lock_guard lock(mutex_);
    for (Outcome& outcome : outcomes_) {
      discard(env_, outcome.exports);
      outcome.exports.clear();
    }
    if (next_ == outcomes_.size()) return true;
    *failed = stopped_ ? next_ : outcomes_.size();
    return false;
  }

  std::size_t committed() const {
    std::lock_guard lock(mutex_);
    return committed_;
  }

  // A document failed (or its files could not be placed): the rest of the
  // script would not land.
  bool stopped() const {
    std::lock_guard lock(mutex_);
    return stopped_;
  }

 private:
  Env& env_;
  std::vector<Outcome>& outcomes_;
  std::vector<bool> ended_;
  DescribeCommit describeCommit_;
  std::function<void(std::size_t)> advanced_;
  mutable std::mutex mutex_;
  const bool keepGoing_;
  const WrittenFile& written_;
  std::size_t next_ = 0;  // the first document not yet committed
  std::size_t committed_ = 0;
  bool stopped_ = false;
};

// One document of the script, as the pool serves it.
struct WorkItem {
  const TellBlock* block = nullptr;
  DocumentRun run;
};

// A block's quit, told once the first `after` documents of the script are
// committed (the block's own and all before them).
struct QuitMark {
  std::size_t after = 0;
  const ScriptStatement* statement = nullptr;
};

// The script's documents in order, when every block is composed the usual
// way and has at least one; nothing otherwise (the script then runs one
// statement after the other).
std::optional<std::vector<WorkItem>> workItems(const ParsedScript& parsed,
                                               std::vector<QuitMark>* quits) {
  std::vector<WorkItem> items;
  for (const TellBlock& block : parsed.blocks) {
    const std::optional<std::vector<DocumentRun>> runs = documentRuns(block);
    if (!runs || runs->empty()) return std::nullopt;
    for (const DocumentRun& run : *runs) items.push_back({&block, run});
    if (block.statements.back().kind == ScriptStatement::Kind::quit) {
      quits->push_back({items.size(), &block.statements.back()});
    }
  }
  return items;
}

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

// Carries out one parsed script. The documents of all its blocks form one
// queue, served by a pool of workers; their exports wait under temporary
// names and are renamed over the targets in the order of the script as
// soon as every earlier document has ended, up to the first failing
// statement, so the outcome is the one of running the statements one
// after the other. A script of any other shape runs statement by
// statement, block by block. A cancel ends the workers at once; what has
// landed stays.
class OfficeScript : public Script {
 public:
  OfficeScript(ParsedScript parsed, const OfficeConfig& config, const ProgressObserver& progress)
      : parsed_(std::move(parsed)), config_(config), progress_(progress) {}

  // Whatever is thrown on this thread or a lane's ends the run as an error
  // carrying its message, once every lane has ended.
  bool execute(ScriptError* error) override {
    try {
      return executeStatements(error);
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
  bool executeStatements(ScriptError* error) {
    std::size_t total = 0, documents = 0;
    for (const TellBlock& block : parsed_.blocks) {
      total += block.statements.size();
      documents += static_cast<std::size_t>(std::count_if(
          block.statements.begin(), block.statements.end(),
          [](const ScriptStatement& st) { return st.kind == ScriptStatement::Kind::open; }));
    }
    ProgressCounter progress(progress_, total, documents);
    std::vector<QuitMark> quits;
    if (const std::optional<std::vector<WorkItem>> items = workItems(parsed_, &quits)) {
      const bool ran = items->empty() || runPool(*items, quits, progress, error);
      if (std::optional<ScriptError> broken = laneException()) {
        *error = std::move(*broken);
        error->converted = converted_.load();
        return false;
      }
      if (!ran) return failed(error);
    } else {
      for (const TellBlock& block : parsed_.blocks) {
        if (!runInOrder(block, documentRuns(block), progress, error)) return failed(error);
      }
    }
    if (running_.cancelled()) return failed(error);
    if (failures_.empty()) return true;
    *error = *firstFailure_;
    error->failedDocuments = failures_;
    error->converted = converted_.load();
    return false;
  }

  // The end of a run where something was thrown on the executing thread:
  // the lanes are ended and waited for, and the run fails with the message.
  bool endedByException(const std::string& what, ScriptError* error) {
    running_.cancel();  // ends the workers, so the lanes end at once
    joinLanes();
    *error = ScriptError{};
    error->info = {{"message", "the conversion stopped on an unexpected error: " + what}};
    error->converted = converted_.load();
    return false;
  }

  // What was thrown on a lane, as the run's error naming the document the
  // lane served; the other lanes are ended.
  void recordLaneException(const WorkItem* item, const std::string& what) {
    ScriptError error;
    if (item != nullptr) {
      error.info.emplace_back("application", item->block->application);
      for (std::size_t k = item->run.first; k < item->run.end; ++k) {
        const ScriptStatement& st = item->block->statements[k];
        if (st.kind == ScriptStatement::Kind::open) error.info.emplace_back("document", st.path);
      }
    }
    error.info.emplace_back("message", "the conversion stopped on an unexpected error: " + what);
    {
      std::lock_guard lock(laneExceptionMutex_);
      if (!laneException_) laneException_ = std::move(error);
    }
    running_.cancel();  // the run ends: no other lane serves another document
  }

  std::optional<ScriptError> laneException() const {
    std::lock_guard lock(laneExceptionMutex_);
    return laneException_;
  }

  // The end of a run that stopped: cancelled, or at its first failure
  // (*error tells it).
  bool failed(ScriptError* error) const {
    if (running_.cancelled()) {
      error->info = {{"message", "the conversion was cancelled"}};
      error->cancelled = true;
    }
    error->converted = converted_.load();
    return false;
  }

  // `runs`: the block's documents, when composed the usual way (a failed
  // document can then be skipped in a run that goes on).
  bool runInOrder(const TellBlock& block, const std::optional<std::vector<DocumentRun>>& runs,
                  ProgressCounter& progress, ScriptError* error) {
    const OfficeConfig config = withMemoryCap(config_, 1);
    LaneWorker lane(config, &running_);  // ends the worker: no close or quit after an error
    BlockState state(block, config, lane, written_, folders_);
    for (std::size_t k = 0; k < block.statements.size(); ++k) {
      const ScriptStatement& st = block.statements[k];
      if (running_.cancelled()) return false;
      progress.tell(st);
      if (Status s = state.run(st, nullptr); !s.ok()) {
        *error = state.describe(st, s);
        if (st.kind == ScriptStatement::Kind::close) ++converted_;  // its files landed whole
        const DocumentRun* run = keepGoing_ && runs ? runOf(*runs, k) : nullptr;
        if (run == nullptr) return false;
        recordFailure(*error);  // and on with the next document
        state.abandonDocument();
        k = run->end - 1;
        continue;
      }
      if (st.kind == ScriptStatement::Kind::close) ++converted_;
    }
    lane.quit();  // a block without quit
    return true;  // failures of a run that goes on are told at its end
  }

  static const DocumentRun* runOf(const std::vector<DocumentRun>& runs, std::size_t k) {
    for (const DocumentRun& run : runs) {
      if (run.first <= k && k < run.end) return &run;
    }
    return nullptr;
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

  bool runPool(const std::vector<WorkItem>& items, const std::vector<QuitMark>& quits,
               ProgressCounter& progress, ScriptError* error) {
    std::vector<Outcome> outcomes(items.size());
    const bool keepGoing = keepGoing_;
    std::size_t quitsTold = 0;
    InOrderCommitter committer(
        officeEnv(config_), outcomes,
        [&](std::size_t i, const PendingExport& e, const Status& s) {
          return describeCommit(items[i], e, s);
        },
        [&](std::size_t committed) {
          for (; quitsTold < quits.size() && quits[quitsTold].after <= committed; ++quitsTold) {
            progress.starting(*quits[quitsTold].statement);
          }
        },
        keepGoing, written_);
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> firstFailure{items.size()};
    const std::size_t workers = workerCountFor(config_, items.size());
    const OfficeConfig config = withMemoryCap(config_, workers);
    std::atomic<std::size_t> lanesLeft{workers};
    auto serve = [&](LaneWorker& worker, const WorkItem** serving) {
      for (std::size_t i = next++; i < items.size() && i < firstFailure; i = next++) {
        if (running_.cancelled() || committer.stopped()) break;
        *serving = &items[i];
        BlockState state(*items[i].block, config, worker, written_, folders_);
        runDocument(items[i], state, progress, &outcomes[i]);
        if (outcomes[i].error && keepGoing) state.abandonDocument();
        if (!outcomes[i].error || keepGoing) worker.documentServed();
        if (outcomes[i].error && !keepGoing) {
          for (std::size_t f = firstFailure; i < f && !firstFailure.compare_exchange_weak(f, i);) {
          }
        }
        *serving = nullptr;  // the commits may be of other lanes' documents
        committer.ended(i);
        if (outcomes[i].error && !keepGoing) break;
      }
      if (firstFailure == items.size() && !running_.cancelled()) worker.quit();
    };
    // Nothing thrown leaves the lane's thread: it ends the run instead.
    auto lane = [&] {
      const WorkItem* serving = nullptr;
      {
        LaneWorker worker(config, &running_);
        try {
          serve(worker, &serving);
        } catch (const std::exception& e) {
          worker.drop();
          recordLaneException(serving, e.what());
        } catch (...) {
          worker.drop();
          recordLaneException(serving, "unknown exception");
        }
      }
      --lanesLeft;
      progress.notify();
    };
    // Whatever unwinds this frame first ends and waits for the lanes that
    // use it.
    struct JoinOnUnwind {
      ~JoinOnUnwind() {
        if (script.lanes_.empty()) return;
        script.running_.cancel();
        script.joinLanes();
      }
      OfficeScript& script;
    } joinOnUnwind{*this};
    startLanes(lane, lanesLeft);
    progress.follow([&] { return lanesLeft == 0; });
    joinLanes();
    converted_ += committer.committed();
    std::size_t failed = items.size();
    if (committer.finish(&failed)) {
      for (const Outcome& outcome : outcomes) {  // failures of a run that goes on
        if (outcome.error) recordFailure(*outcome.error);
      }
      return true;
    }
    if (failed < items.size()) *error = *outcomes[failed].error;
    return false;
  }

  // The statements of one document, on the lane's worker.
  void runDocument(const WorkItem& item, BlockState& state, ProgressCounter& progress,
                   Outcome* outcome) {
    for (std::size_t k = item.run.first; k < item.run.end; ++k) {
      const ScriptStatement& st = item.block->statements[k];
      progress.starting(st);
      if (Status s = state.run(st, &outcome->exports); !s.ok()) {
        outcome->error = state.describe(st, s);
        outcome->exportsDone = st.kind == ScriptStatement::Kind::close && !outcome->exports.empty();
        return;
      }
    }
    outcome->exportsDone = true;
  }

  // A thread the system refuses to start is one lane fewer; with none,
  // this thread serves the documents alone.
  void startLanes(const std::function<void()>& lane, std::atomic<std::size_t>& lanesLeft) {
    const std::size_t wanted = lanesLeft;
    for (std::size_t n = 0; n < wanted; ++n) {
      try {
        lanes_.emplace_back(lane);
      } catch (const std::system_error&) {
        lanesLeft -= wanted - n;
        break;
      }
    }
    if (lanes_.empty()) {
      lanesLeft = 1;
      lane();
    }
  }

  void joinLanes() {
    for (std::thread& t : lanes_) t.join();
    lanes_.clear();
  }

  // A commit that failed, told as the export statement that made the file,
  // with the document that statement exported.
  static ScriptError describeCommit(const WorkItem& item, const PendingExport& e,
                                    const Status& failure) {
    std::string document;
    for (std::size_t k = item.run.first; k < item.run.end; ++k) {
      if (item.block->statements[k].kind == ScriptStatement::Kind::open) {
        document = item.block->statements[k].path;
      }
    }
    return describeStatement(*item.block, *e.statement, document, failure);
  }

  ParsedScript parsed_;
  OfficeConfig config_;
  ProgressObserver progress_;
  RunningWorkers running_;
  std::atomic<bool> keepGoing_{false};
  WrittenFile written_;  // set before execute
  TargetFolders folders_;  // the folders exported into, as first seen
  std::vector<FailedDocument> failures_;  // of a run that goes on
  std::optional<ScriptError> firstFailure_;
  std::atomic<std::size_t> converted_{0};  // documents whose exports all landed
  std::vector<std::thread> lanes_;
  mutable std::mutex laneExceptionMutex_;
  std::optional<ScriptError> laneException_;  // the first thing a lane threw
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
  ParsedScript parsed;
  if (Status s = parseScript(source, &parsed); !s.ok()) {
    error->info = {{"message", "the script cannot be run: " + s.message()}};
    return nullptr;
  }
  return std::make_unique<OfficeScript>(std::move(parsed), config_, progress_);
}

std::string officeFormatFor(const std::string& formatName) {
  static const std::map<std::string, std::string> kFormats = {
      {"PDF", "pdf"},
      {"Microsoft Word", "docx"},
      {"Microsoft Excel", "xlsx"},
      {"Microsoft Powerpoint", "pptx"},
      {"Formatted Text", "rtf"}};
  auto it = kFormats.find(formatName);
  return it == kFormats.end() ? std::string() : it->second;
}

std::string documentKindFor(const std::string& application) {
  static const std::map<std::string, std::string> kKinds = {
      {"Pages", "text"},
      {"Pages Creator Studio", "text"},
      {"Numbers", "spreadsheet"},
      {"Numbers Creator Studio", "spreadsheet"},
      {"Keynote", "presentation"},
      {"Keynote Creator Studio", "presentation"}};
  auto it = kKinds.find(application);
  return it == kKinds.end() ? std::string() : it->second;
}

}  // namespace morvane
