#include "office/office_worker.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <sstream>
#include <string_view>

#include "filelist/regular_files.h"
#include "office/failure_reasons.h"
#include "office/wire_format.h"
#include "office/worker_profile.h"
#include "platform/real_env.h"

extern char** environ;

namespace morvane {

namespace {

// How often the memory of a worker that is busy is looked at. LibreOffice
// grows by at most a few hundred MB a second, which keeps a worker ended
// for its size within a few percent of its cap (reading its size takes
// microseconds).
constexpr std::chrono::milliseconds kMemoryWatchInterval{10};

}  // namespace

Env& officeEnv(const OfficeConfig& config) {
  static RealEnv machine;  // holds no state: the machine's file system
  return config.env != nullptr ? *config.env : machine;
}

ProcessLauncher& officeLauncher(const OfficeConfig& config) {
  return config.launcher != nullptr ? *config.launcher : systemLauncher();
}

Clock& officeClock(const OfficeConfig& config) {
  return config.clock != nullptr ? *config.clock : systemClock();
}

Status OfficeWorker::start(const OfficeConfig& config, std::unique_ptr<OfficeWorker>* out,
                           RunningWorkers* running) {
  std::filesystem::path folder;
  if (Status s = makeWorkFolder(officeEnv(config), &folder); !s.ok()) return s;
  const std::string dir = folder.string();
  std::unique_ptr<OfficeWorker> worker(new OfficeWorker(config, dir));
  if (running != nullptr) {
    worker->running_ = running;
    running->add(worker.get());  // from here on a cancel reaches it
  }
  worker->prepareProfile(dir + "/profile");
  if (Status s = worker->launch(dir + "/profile", dir + "/worker.log"); !s.ok()) return s;
  *out = std::move(worker);
  return {};
}

Status OfficeWorker::launch(const std::string& profile, const std::string& log) {
  const std::vector<std::string> argv = {config_.workerPath, config_.installPath,
                                         fileUrlFromPath(profile)};
  if (aborted()) return Status::error("the LibreOffice worker was ended before it started");
  // LibreOffice's own temporary files go into the worker's private folder,
  // which is removed with the worker whatever ends it.
  officeEnv(config_).createDirectories(workDir_ + "/tmp");
  const std::vector<std::string> environment = workerEnvironment();
  std::unique_ptr<ChildProcess> process;
  if (Status s = officeLauncher(config_).start(argv, log, &process, &environment); !s.ok()) {
    return Status::error("cannot start the LibreOffice worker", s.message());
  }
  {
    MutexLock lock(processMutex_);
    process_ = std::move(process);
    pid_ = process_->pid();
    if (aborted_) process_->abort();  // aborted while it was being started
  }
  std::vector<std::string> ready;
  Status started = awaitAnswer(&ready);
  if (!started.ok() && lastEnding_ == Ending::stopped) {
    return Status::error("LibreOffice could not be started", started.details());
  }
  return started;
}

std::vector<std::string> OfficeWorker::workerEnvironment() const {
  std::vector<std::string> environment;
  std::string libraryPath = config_.readerLibraryDir;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry(*e);
    if (entry.starts_with("LD_LIBRARY_PATH=")) {
      if (entry.size() > 16) {
        libraryPath += (libraryPath.empty() ? "" : ":") + std::string(entry.substr(16));
      }
    } else if (!entry.starts_with("TMPDIR=")) {
      environment.emplace_back(entry);
    }
  }
  if (!libraryPath.empty()) environment.push_back("LD_LIBRARY_PATH=" + libraryPath);
  environment.push_back("TMPDIR=" + workDir_ + "/tmp");
  return environment;
}

void OfficeWorker::prepareProfile(const std::string& profile) {
  WorkerProfile prepared(officeEnv(config_), config_.profileTemplate, [this] { return aborted(); },
                         officeClock(config_));
  prepared.prepare(profile, std::bind_front(&OfficeWorker::setUpProfile, this));
}

bool OfficeWorker::aborted() const {
  MutexLock lock(processMutex_);
  return aborted_;
}

// The maker removes its folder `scratch` when it is dropped; while it
// lives, an abort of this worker ends the maker too.
Status OfficeWorker::setUpProfile(const std::string& profile, const std::string& document,
                                  const std::string& scratch, std::string* office) {
  OfficeConfig once = config_;
  once.profileTemplate.clear();
  OfficeWorker maker(once, scratch);
  struct MakerInView {
    MakerInView(OfficeWorker& owner, OfficeWorker& maker) : owner(owner) {
      MutexLock lock(owner.processMutex_);
      owner.maker_ = &maker;
      if (owner.aborted_) maker.abort();
    }
    ~MakerInView() {
      MutexLock lock(owner.processMutex_);
      owner.maker_ = nullptr;
    }
    OfficeWorker& owner;
  } inView(*this, maker);
  std::vector<std::string> answer;
  if (Status s = maker.launch(profile, ""); !s.ok()) return s;
  if (Status s = maker.call({"load", document}, &answer); !s.ok()) return s;
  if (Status s = maker.call({"close"}, &answer); !s.ok()) return s;
  std::string reader;
  if (!maker.versions(office, &reader).ok()) office->clear();
  if (Status s = maker.call({"shutdown"}, &answer); !s.ok()) return s;
  maker.ownProcess()->finish(config_.statementLimit);
  return {};
}

OfficeWorker::~OfficeWorker() {
  if (running_ != nullptr) running_->remove(this);  // no abort reaches it from now on
  dropProcess();  // kills the group when it is still running
  officeEnv(config_).removeAll(workDir_);
}

Status OfficeWorker::call(const std::vector<std::string>& request,
                          std::vector<std::string>* answer) {
  if (ownProcess() == nullptr) return Status::error("the LibreOffice worker is not running");
  if (Status s = ownProcess()->write(encodeWireLine(request) + "\n"); !s.ok()) {
    lastEnding_ = Ending::stopped;
    return failure(std::nullopt);
  }
  return awaitAnswer(answer);
}

Status OfficeWorker::awaitAnswer(std::vector<std::string>* answer) {
  std::string line;
  bool tooLarge = false;
  switch (readWatched(&line, &tooLarge)) {
    case ChildProcess::ReadResult::timedOut:
      lastEnding_ = tooLarge ? Ending::tooLarge : Ending::timedOut;
      return failure(tooLarge ? workerTooLarge(config_.workerMemoryCap)
                              : workerTooSlow(config_.statementLimit));
    case ChildProcess::ReadResult::closed:
      lastEnding_ = Ending::stopped;
      return failure(std::nullopt);
    case ChildProcess::ReadResult::line:
      break;
  }
  std::vector<std::string> fields = decodeWireLine(line);
  if (fields[0] == "ok" || fields[0] == "ready") {
    answer->assign(fields.begin() + 1, fields.end());
    return {};
  }
  if (fields[0] == "error" && fields.size() > 1) {
    lastEnding_ = Ending::answered;
    return Status::error(fields[1], fields.size() > 2 ? fields[2] : std::string());
  }
  lastEnding_ = Ending::stopped;
  return failure(FailureReason::worded(FailureKind::crashed, "the LibreOffice worker failed", {},
                                       "the LibreOffice worker answered \"" + line + "\""));
}

ChildProcess::ReadResult OfficeWorker::readWatched(std::string* line, bool* tooLarge) {
  ChildProcess& process = *ownProcess();
  if (config_.workerMemoryCap == 0) return process.readLine(config_.statementLimit, line);
  Clock& clock = officeClock(config_);
  const Clock::TimePoint deadline = clock.now() + config_.statementLimit;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock.now());
    if (left.count() <= 0) return ChildProcess::ReadResult::timedOut;
    const ChildProcess::ReadResult r = process.readLine(std::min(left, kMemoryWatchInterval), line);
    if (r != ChildProcess::ReadResult::timedOut) return r;
    if (residentMemory(false) > config_.workerMemoryCap) {
      process.abort();  // at once: it may grow by hundreds of MB a second
      *tooLarge = true;
      return r;
    }
  }
}

void OfficeWorker::abort() {
  MutexLock lock(processMutex_);
  aborted_ = true;
  if (process_) process_->abort();
  if (maker_ != nullptr) maker_->abort();
}

void OfficeWorker::dropProcess() {
  std::unique_ptr<ChildProcess> ending;
  {
    MutexLock lock(processMutex_);
    ending = std::move(process_);
  }
}  // `ending` ends the group, if still running, outside the lock

Status OfficeWorker::census(DocumentCensus* census) {
  std::vector<std::string> answer;
  if (Status s = call({"census", workDir_ + "/census"}, &answer); !s.ok()) return s;
  if (answer.size() != 3) return Status::error("the LibreOffice worker answered no census");
  const auto number = [](const std::string& text) {
    return static_cast<std::size_t>(std::strtoull(text.c_str(), nullptr, 10));
  };
  *census = {number(answer[0]), number(answer[1]), number(answer[2])};
  return {};
}

Status OfficeWorker::versions(std::string* office, std::string* reader) {
  std::vector<std::string> answer;
  if (Status s = call({"version"}, &answer); !s.ok()) return s;
  if (answer.size() != 2) return Status::error("the LibreOffice worker answered no versions");
  *office = answer[0];
  *reader = answer[1];
  return {};
}

Status OfficeWorker::quit() {
  std::vector<std::string> answer;
  Status s = call({"quit"}, &answer);
  if (!s.ok()) return s;
  ownProcess()->finish(config_.statementLimit);
  dropProcess();
  return {};
}

Status OfficeWorker::failure(const std::optional<FailureReason>& known) {
  ownProcess()->closeInput();
  const int status = ownProcess()->finish(std::chrono::milliseconds(200));
  lastExitStatus_ = status;
  dropProcess();
  const std::string last = lastOutputLine();
  if (!known) return workerStopped(status, last).status();
  FailureReason reason = *known;
  if (!last.empty()) reason.details += "; its last message: " + last;
  return reason.status();
}

std::string OfficeWorker::lastOutputLine() const {
  std::string text;
  if (!officeEnv(config_).readFile(workDir_ + "/worker.log", &text).ok()) text.clear();
  std::istringstream log(text);
  std::string line, last;
  while (std::getline(log, line)) {
    if (!line.empty()) last = line;
  }
  return last.substr(0, 300);
}

}  // namespace morvane
