#include "office/worker_profile.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <sstream>

#include "office/font_substitutions.h"

namespace morvane {

namespace {

// Names a complete template of the current kind.
const char kTemplateMarker[] = ".morvane-profile-5";

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

// Where a profile keeps its settings.
std::filesystem::path settingsFile(const std::string& profile) {
  return std::filesystem::path(profile) / "user" / "registrymodifications.xcu";
}

// What the profile's settings file holds; "" when it cannot be read.
std::string readSettings(Env& env, const std::filesystem::path& xcu) {
  std::string text;
  if (!env.readFile(xcu, &text).ok()) text.clear();
  return text;
}

// Puts the workers' settings into a profile, in place of what it said on
// the same matters (its items are one a line).
void applyWorkerSettings(Env& env, const std::string& profile) {
  const std::filesystem::path xcu = settingsFile(profile);
  std::string text = readSettings(env, xcu);
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
  const std::filesystem::path xcu = settingsFile(profile);
  std::string text = readSettings(env, xcu);
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

}  // namespace

void WorkerProfile::prepare(const std::string& profile, const ProfileSetUp& setUp) {
  if (!template_.empty()) {
    if (!templateComplete()) makeTemplateOnce(setUp);
    if (stop_()) return;  // the launch gives up
    if (templateComplete() && !env_.copyItem(template_, profile, stop_).ok()) {
      env_.removeAll(profile);  // LibreOffice starts afresh
    }
  }
  // Whatever became of the template: this profile has the workers' settings.
  applyWorkerSettings(env_, profile);
  emptyMenuBars(env_, profile);
}

bool WorkerProfile::templateComplete() const {
  return env_.stat(std::filesystem::path(template_) / kTemplateMarker).exists;
}

Status WorkerProfile::lockTemplate(std::unique_ptr<FileLock>* lock) {
  // Polled rather than waited for, so that an abort ends the wait.
  constexpr std::chrono::milliseconds kPoll{50};
  for (;;) {
    if (Status s = env_.lockFile(template_ + ".lock", lock); !s.ok()) return s;
    if (*lock != nullptr) return {};  // held, or no locks here: built unlocked
    if (stop_()) return Status::error("the worker was ended while it waited for the template");
    clock_.sleepFor(kPoll);
  }
}

// One template at a time per machine: workers and runs side by side wait
// for the one that builds it (a lock on a file beside the template), then
// find it made. An abort ends the wait, and the building.
void WorkerProfile::makeTemplateOnce(const ProfileSetUp& setUp) {
  if (!env_.createDirectories(std::filesystem::path(template_).parent_path()).ok()) {
    return;  // no cache folder: every worker starts afresh
  }
  // No lock, no building beside others: the worker starts afresh.
  std::unique_ptr<FileLock> lock;
  if (lockTemplate(&lock).ok() && !templateComplete()) makeTemplate(setUp);
}  // `lock` lets the lock go

// The template is built in a folder of this process's beside it, which is
// removed whatever becomes of the building.
void WorkerProfile::makeTemplate(const ProfileSetUp& setUp) {
  const std::string staging = template_ + ".new-" + std::to_string(::getpid());
  if (!env_.createDirectories(staging).ok()) return;
  buildTemplate(staging, setUp);
  env_.removeAll(staging);
}

// A LibreOffice on an empty profile opens and closes a small document and
// shuts down properly (see ProfileSetUp). The profile becomes the template
// under its final name in one rename, so runs side by side never see half
// of one.
void WorkerProfile::buildTemplate(const std::string& staging, const ProfileSetUp& setUp) {
  namespace fs = std::filesystem;
  const std::string fresh = staging + "/profile";
  const std::string warmUp = staging + "/warm-up.fodt";
  if (!env_.writeFile(warmUp, kWarmUpDocument).ok()) return;
  std::string office;
  if (!setUp(fresh, warmUp, staging + "/worker", &office).ok()) return;
  applyWorkerSettings(env_, fresh);
  if (!office.empty()) recordSetUpVersion(env_, fresh, office);
  if (!env_.writeFile(fs::path(fresh) / kTemplateMarker, "ok\n").ok()) return;
  // A template of an older kind is moved aside first; a complete one,
  // perhaps just made by a run beside this one, is left as it is.
  const fs::path stale = template_ + ".old-" + std::to_string(::getpid());
  if (env_.stat(template_).exists && !templateComplete()) {
    env_.renameFile(template_, stale);
    env_.removeAll(stale);
  }
  env_.renameFile(fresh, template_);
}

}  // namespace morvane
