#include "office/office_worker.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string_view>
#include <thread>

#include "filelist/regular_files.h"
#include "office/failure_reasons.h"
#include "office/font_substitutions.h"
#include "office/wire_format.h"

extern char** environ;

namespace morvane {

namespace {

// Names a complete template of the current kind.
const char kTemplateMarker[] = ".morvane-profile-5";

// Workers' private folders: "morvane-office-<pid>-XXXXXX".
const std::string kWorkFolderPrefix = "morvane-office-";

// Settings of every worker's profile. LibreOffice keeps a lock file beside
// each open document; a worker that is ended while a document is open would
// leave it in the user's folder, so locking is off (the documents are only
// read). LibreOffice builds a sidebar, a status bar and a menu bar for every
// document it loads, though nobody sees them: without them a small document
// takes about half the time. The sidebar's state is child window 10336 of
// each application; the menu bars are emptied by emptyMenuBars. Fonts a
// document names that are not installed are drawn with the faces closest
// to them in metrics (looked up once per process).
std::string workerSettings() {
  static const std::string fonts = fontReplacementSettings(fontFamilyInstalled);
  std::string items =
      "<item oor:path=\"/org.openoffice.Office.Common/Misc\"><prop oor:name=\"UseLocking\" "
      "oor:op=\"fuse\"><value>false</value></prop></item>\n";
  for (const char* module : {"swriter/", "scalc/", "simpress/", "sdraw/", ""}) {
    items += std::string("<item oor:path=\"/org.openoffice.Office.Views/Windows\">") +
             "<node oor:name=\"" + module + "10336\" oor:op=\"replace\">" +
             "<prop oor:name=\"Visible\" oor:op=\"fuse\"><value>false</value></prop>" +
             "<node oor:name=\"UserData\"><prop oor:name=\"Data\" oor:op=\"fuse\" " +
             "oor:type=\"xs:string\"><value>V2,H,0</value></prop></node></node></item>\n";
  }
  for (const char* application : {"Writer", "Calc", "Impress", "Draw"}) {
    items += std::string("<item oor:path=\"/org.openoffice.Office.UI.") + application +
             "WindowState/UIElements/States\">" +
             "<node oor:name=\"private:resource/statusbar/statusbar\" oor:op=\"replace\">" +
             "<prop oor:name=\"Visible\" oor:op=\"fuse\"><value>false</value></prop>" +
             "</node></item>\n";
  }
  return items + fonts;
}

// Puts the workers' settings into a profile, in place of what it said on
// the same matters (its items are one a line).
void applyWorkerSettings(Env& env, const std::string& profile) {
  const std::filesystem::path xcu = std::filesystem::path(profile) / "user" /
                                    "registrymodifications.xcu";
  std::ifstream in(xcu);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::string settings = workerSettings();
  if (text.find(settings) != std::string::npos) return;
  std::string kept;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const bool ours = line.find("\"UseLocking\"") != std::string::npos ||
                      (line.find("Office.Views/Windows") != std::string::npos &&
                       line.find("10336") != std::string::npos) ||
                      line.find("private:resource/statusbar/statusbar") != std::string::npos ||
                      line.find("/Font/Substitution") != std::string::npos;
    if (!ours) kept += line + "\n";
  }
  const std::size_t end = kept.rfind("</oor:items>");
  if (end == std::string::npos) {
    kept = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<oor:items xmlns:oor=\"http://openoffice.org/2001/registry\" "
           "xmlns:xs=\"http://www.w3.org/2001/XMLSchema\" "
           "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\">\n" +
           settings + "</oor:items>\n";
  } else {
    kept.insert(end, settings);
  }
  if (env.createDirectories(xcu.parent_path()).ok()) env.writeFile(xcu, kept);
}

// LibreOffice takes a start on a profile that names no version set up
// before for the first after an upgrade, and spends most of a second on
// it; it writes the version only a while after it has started, which the
// template's maker may not have waited for. `office` is LibreOffice's
// version ("7.4.7.2"); the profile gets "7.4".
void recordSetUpVersion(Env& env, const std::string& profile, const std::string& office) {
  const std::size_t dot = office.find('.');
  if (dot == std::string::npos) return;
  const std::string version = office.substr(0, office.find('.', dot + 1));
  const std::filesystem::path xcu = std::filesystem::path(profile) / "user" /
                                    "registrymodifications.xcu";
  std::ifstream in(xcu);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t end = text.rfind("</oor:items>");
  if (end == std::string::npos || text.find("\"ooSetupLastVersion\"") != std::string::npos) return;
  text.insert(end, "<item oor:path=\"/org.openoffice.Setup/Product\"><prop "
                   "oor:name=\"ooSetupLastVersion\" oor:op=\"fuse\"><value>" + version +
                   "</value></prop></item>\n");
  env.writeFile(xcu, text);
}

// Empty menu bars in the profile's own layer of the user interface, which
// LibreOffice reads before its installed one.
void emptyMenuBars(Env& env, const std::string& profile) {
  static const char kEmptyMenuBar[] =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<menu:menubar xmlns:menu=\"http://openoffice.org/2001/menu\" menu:id=\"menubar\"/>\n";
  for (const char* module : {"swriter", "scalc", "simpress", "sdraw"}) {
    const std::filesystem::path folder = std::filesystem::path(profile) /
                                         "user/config/soffice.cfg/modules" / module / "menubar";
    if (env.createDirectories(folder).ok()) env.writeFile(folder / "menubar.xml", kEmptyMenuBar);
  }
}

const char kWarmUpDocument[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
    "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\" office:version=\"1.2\" "
    "office:mimetype=\"application/vnd.oasis.opendocument.text\"><office:body><office:text>"
    "<text:p>Morvane</text:p></office:text></office:body></office:document>\n";

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

std::filesystem::path workerFolderRoot() {
  const auto usable = [](const char* folder) {
    std::error_code ec;
    return folder != nullptr && *folder != '\0' && std::filesystem::is_directory(folder, ec) &&
           ::access(folder, W_OK | X_OK) == 0;
  };
  if (const char* chosen = std::getenv("TMPDIR"); chosen != nullptr && *chosen != '\0') {
    return usable(chosen) ? chosen : "/tmp";
  }
  const char* const inMemory[] = {std::getenv("XDG_RUNTIME_DIR"), "/dev/shm"};
  for (const char* folder : inMemory) {
    if (usable(folder)) return folder;
  }
  return "/tmp";
}

// The process a worker's private folder belongs to: a folder of this
// user named "morvane-office-<pid>-XXXXXX"; 0 for anything else.
long workFolderOwner(const std::filesystem::path& path) {
  const std::string name = path.filename().string();
  if (!name.starts_with(kWorkFolderPrefix)) return 0;
  const char* digits = name.c_str() + kWorkFolderPrefix.size();
  char* end = nullptr;
  const long pid = std::strtol(digits, &end, 10);
  if (end == digits || std::strlen(end) != 7 || *end != '-') return 0;
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid()) return 0;
  return pid;
}

// Private folders of workers whose process is gone (ended by a crash or a
// kill before they could clean up) are removed, once per process.
void sweepStaleWorkFolders(const std::filesystem::path& root) {
  static std::once_flag once;
  std::call_once(once, [&] {
    std::error_code ec;
    for (std::filesystem::directory_iterator it(root, ec), end; !ec && it != end; it.increment(ec)) {
      const long pid = workFolderOwner(it->path());
      if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
        std::error_code ignored;
        std::filesystem::remove_all(it->path(), ignored);
      }
    }
  });
}

void RunningWorkers::add(OfficeWorker* worker) {
  std::lock_guard lock(mutex_);
  workers_.push_back(worker);
  if (cancelled_) worker->abort();
}

void RunningWorkers::remove(OfficeWorker* worker) {
  std::lock_guard lock(mutex_);
  std::erase(workers_, worker);
}

void RunningWorkers::cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  for (OfficeWorker* worker : workers_) worker->abort();
}

bool RunningWorkers::cancelled() const {
  std::lock_guard lock(mutex_);
  return cancelled_;
}

std::vector<pid_t> RunningWorkers::pids() const {
  std::lock_guard lock(mutex_);
  std::vector<pid_t> all;
  for (const OfficeWorker* worker : workers_) {
    if (worker->pid() > 0) all.push_back(worker->pid());
  }
  return all;
}

Status OfficeWorker::start(const OfficeConfig& config, std::unique_ptr<OfficeWorker>* out,
                           RunningWorkers* running) {
  const std::filesystem::path root = workerFolderRoot();
  sweepStaleWorkFolders(root);
  std::filesystem::path folder;
  const std::string prefix = kWorkFolderPrefix + std::to_string(::getpid()) + "-";
  if (Status s = officeEnv(config).makeUniqueFolder(root, prefix, &folder); !s.ok()) {
    return Status::error("cannot create a temporary folder in " + root.string() + ": " +
                         s.message());
  }
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
  std::unique_ptr<Subprocess> process;
  if (Status s = Subprocess::start(argv, log, &process, &environment); !s.ok()) {
    return Status::error("cannot start the LibreOffice worker", s.message());
  }
  {
    std::lock_guard lock(processMutex_);
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
  namespace fs = std::filesystem;
  const OfficeConfig& config = config_;
  if (!config.profileTemplate.empty()) {
    const fs::path done = fs::path(config.profileTemplate) / kTemplateMarker;
    std::error_code ec;
    if (!fs::exists(done, ec)) makeProfileTemplateOnce();
    if (aborted()) return;  // the launch gives up
    const StopRequested stop = [this] { return aborted(); };
    if (fs::exists(done, ec) &&
        !officeEnv(config).copyItem(config.profileTemplate, profile, stop).ok()) {
      officeEnv(config).removeAll(profile);  // LibreOffice starts afresh
    }
  }
  // Whatever became of the template: this profile has the workers' settings.
  applyWorkerSettings(officeEnv(config), profile);
  emptyMenuBars(officeEnv(config), profile);
}

bool OfficeWorker::aborted() const {
  std::lock_guard lock(processMutex_);
  return aborted_;
}

bool OfficeWorker::lockTemplate(int fd, bool* locked) {
  // Polled rather than waited for, so that an abort ends the wait.
  constexpr std::chrono::milliseconds kPoll{50};
  *locked = false;
  for (;;) {
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
      *locked = true;
      return true;
    }
    if (errno != EWOULDBLOCK && errno != EINTR) return true;  // no locks here: build unlocked
    if (aborted()) return false;
    std::this_thread::sleep_for(kPoll);
  }
}

// One template at a time per machine: workers and runs side by side wait
// for the one that builds it (a lock on a file beside the template), then
// find it made. An abort ends the wait, and the building.
void OfficeWorker::makeProfileTemplateOnce() {
  namespace fs = std::filesystem;
  const OfficeConfig& config = config_;
  std::error_code ec;
  if (!officeEnv(config).createDirectories(fs::path(config.profileTemplate).parent_path()).ok()) {
    return;  // no cache folder: every worker starts afresh
  }
  const int lock = ::open((config.profileTemplate + ".lock").c_str(),
                          O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock < 0) return;  // no lock, no building beside others: start afresh
  bool locked = false;
  if (lockTemplate(lock, &locked) &&
      !fs::exists(fs::path(config.profileTemplate) / kTemplateMarker, ec)) {
    makeProfileTemplate();
  }
  ::close(lock);  // releases the lock
}

// A worker on an empty profile opens and closes a small document and shuts
// LibreOffice down properly, which leaves a profile that starts at once.
// It becomes the template under its final name in one rename, so runs side
// by side never see half of one.
void OfficeWorker::makeProfileTemplate() {
  namespace fs = std::filesystem;
  const OfficeConfig& config = config_;
  Env& env = officeEnv(config);
  std::error_code ec;
  const std::string base = config.profileTemplate + ".new-" + std::to_string(::getpid());
  const std::string fresh = base + "/profile";
  const std::string warmUp = base + "/warm-up.fodt";
  if (!env.createDirectories(base).ok()) return;
  OfficeConfig once = config;
  once.profileTemplate.clear();
  OfficeWorker maker(once, base);  // removes what is left of `base`
  // While it lives, an abort of this worker ends the maker too.
  struct MakerInView {
    MakerInView(OfficeWorker& owner, OfficeWorker& maker) : owner(owner) {
      std::lock_guard lock(owner.processMutex_);
      owner.maker_ = &maker;
      if (owner.aborted_) maker.abort();
    }
    ~MakerInView() {
      std::lock_guard lock(owner.processMutex_);
      owner.maker_ = nullptr;
    }
    OfficeWorker& owner;
  } inView(*this, maker);
  if (!env.writeFile(warmUp, kWarmUpDocument).ok()) return;
  std::vector<std::string> answer;
  std::string office, reader;
  if (!(maker.launch(fresh, "").ok() && maker.call({"load", warmUp}, &answer).ok() &&
        maker.call({"close"}, &answer).ok())) {
    return;
  }
  const bool versionKnown = maker.versions(&office, &reader).ok();
  if (!maker.call({"shutdown"}, &answer).ok()) return;
  maker.process_->finish(config.statementLimit);
  applyWorkerSettings(env, fresh);
  if (versionKnown) recordSetUpVersion(env, fresh, office);
  if (!env.writeFile(fs::path(fresh) / kTemplateMarker, "ok\n").ok()) return;
  // A template of an older kind is moved aside first; a complete one,
  // perhaps just made by a run beside this one, is left as it is.
  const fs::path stale = config.profileTemplate + ".old-" + std::to_string(::getpid());
  if (fs::exists(config.profileTemplate, ec) &&
      !fs::exists(fs::path(config.profileTemplate) / kTemplateMarker, ec)) {
    env.renameFile(config.profileTemplate, stale);
    env.removeAll(stale);
  }
  env.renameFile(fresh, config.profileTemplate);
}

OfficeWorker::~OfficeWorker() {
  if (running_ != nullptr) running_->remove(this);  // no abort reaches it from now on
  dropProcess();  // kills the group when it is still running
  officeEnv(config_).removeAll(workDir_);
}

Status OfficeWorker::call(const std::vector<std::string>& request,
                          std::vector<std::string>* answer) {
  if (!process_) return Status::error("the LibreOffice worker is not running");
  if (Status s = process_->write(encodeWireLine(request) + "\n"); !s.ok()) {
    lastEnding_ = Ending::stopped;
    return failure(std::nullopt);
  }
  return awaitAnswer(answer);
}

Status OfficeWorker::awaitAnswer(std::vector<std::string>* answer) {
  std::string line;
  bool tooLarge = false;
  switch (readWatched(&line, &tooLarge)) {
    case Subprocess::ReadResult::timedOut:
      lastEnding_ = tooLarge ? Ending::tooLarge : Ending::timedOut;
      return failure(tooLarge ? workerTooLarge(config_.workerMemoryCap)
                              : workerTooSlow(config_.statementLimit));
    case Subprocess::ReadResult::closed:
      lastEnding_ = Ending::stopped;
      return failure(std::nullopt);
    case Subprocess::ReadResult::line:
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

Subprocess::ReadResult OfficeWorker::readWatched(std::string* line, bool* tooLarge) {
  if (config_.workerMemoryCap == 0) return process_->readLine(config_.statementLimit, line);
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + config_.statementLimit;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return Subprocess::ReadResult::timedOut;
    const Subprocess::ReadResult r = process_->readLine(std::min(left, kMemoryWatchInterval), line);
    if (r != Subprocess::ReadResult::timedOut) return r;
    if (residentMemory(false) > config_.workerMemoryCap) {
      process_->abort();  // at once: it may grow by hundreds of MB a second
      *tooLarge = true;
      return r;
    }
  }
}

void OfficeWorker::abort() {
  std::lock_guard lock(processMutex_);
  aborted_ = true;
  if (process_) process_->abort();
  if (maker_ != nullptr) maker_->abort();
}

void OfficeWorker::dropProcess() {
  std::unique_ptr<Subprocess> ending;
  {
    std::lock_guard lock(processMutex_);
    ending = std::move(process_);
  }
}  // `ending` ends the group, if still running, outside the lock

std::uint64_t OfficeWorker::residentMemory(bool withGroup) const {
  const pid_t group = pid_;
  if (group <= 0) return 0;
  const auto pageSize = static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE));
  if (!withGroup) {
    std::ifstream statm("/proc/" + std::to_string(group) + "/statm");
    std::uint64_t size = 0, resident = 0;
    return statm >> size >> resident ? resident * pageSize : 0;
  }
  std::uint64_t pages = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it("/proc", ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] < '0' || name[0] > '9') continue;
    std::ifstream in(it->path() / "stat");
    std::string stat;
    std::getline(in, stat);
    const std::size_t close = stat.rfind(')');
    if (close == std::string::npos) continue;
    // After the name: state, ppid, pgrp, 18 more fields, then rss in pages.
    std::istringstream fields(stat.substr(close + 1));
    std::string state, skipped;
    long parent = 0, processGroup = 0;
    fields >> state >> parent >> processGroup;
    if (!fields || processGroup != group) continue;
    for (int n = 0; n < 18; ++n) fields >> skipped;
    std::uint64_t rss = 0;
    if (fields >> rss) pages += rss;
  }
  return pages * pageSize;
}

std::optional<std::uint64_t> availableMemory() {
  std::ifstream meminfo("/proc/meminfo");
  for (std::string key; meminfo >> key;) {
    std::uint64_t kilobytes = 0;
    if (key == "MemAvailable:" && meminfo >> kilobytes) return kilobytes * 1024;
    meminfo.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
  }
  return std::nullopt;
}

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
  process_->finish(config_.statementLimit);
  dropProcess();
  return {};
}

Status OfficeWorker::failure(const std::optional<FailureReason>& known) {
  process_->closeInput();
  const int status = process_->finish(std::chrono::milliseconds(200));
  lastExitStatus_ = status;
  dropProcess();
  const std::string last = lastOutputLine();
  if (!known) return workerStopped(status, last).status();
  FailureReason reason = *known;
  if (!last.empty()) reason.details += "; its last message: " + last;
  return reason.status();
}

std::string OfficeWorker::lastOutputLine() const {
  std::ifstream log(workDir_ + "/worker.log");
  std::string line, last;
  while (std::getline(log, line)) {
    if (!line.empty()) last = line;
  }
  return last.substr(0, 300);
}

}  // namespace morvane
