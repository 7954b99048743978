#include "office/process_memory.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>
#include <system_error>

namespace morvane {

namespace {

std::uint64_t pageSize() { return static_cast<std::uint64_t>(::sysconf(_SC_PAGESIZE)); }

// The resident pages of the process whose /proc/PID/stat line is `stat`
// when it belongs to process group `group`; 0 otherwise.
std::uint64_t residentPagesInGroup(const std::string& stat, pid_t group) {
  // The name, in parentheses, may itself hold spaces and parentheses.
  const std::size_t close = stat.rfind(')');
  if (close == std::string::npos) return 0;
  // After the name: state, ppid, pgrp, 18 more fields, then rss in pages.
  std::istringstream fields(stat.substr(close + 1));
  std::string state, skipped;
  long parent = 0, processGroup = 0;
  fields >> state >> parent >> processGroup;
  if (!fields || processGroup != group) return 0;
  for (int n = 0; n < 18; ++n) fields >> skipped;
  std::uint64_t rss = 0;
  return fields >> rss ? rss : 0;
}

}  // namespace

std::uint64_t residentMemory(pid_t pid) {
  if (pid <= 0) return 0;
  std::ifstream statm("/proc/" + std::to_string(pid) + "/statm");
  std::uint64_t size = 0, resident = 0;
  return statm >> size >> resident ? resident * pageSize() : 0;
}

std::uint64_t groupResidentMemory(pid_t group) {
  if (group <= 0) return 0;
  std::uint64_t pages = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it("/proc", ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] < '0' || name[0] > '9') continue;
    std::ifstream in(it->path() / "stat");
    std::string stat;
    std::getline(in, stat);
    pages += residentPagesInGroup(stat, group);
  }
  return pages * pageSize();
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

}  // namespace morvane
