#include "options/system_version.h"

#include <sys/utsname.h>

#include <charconv>
#include <fstream>
#include <map>
#include <sstream>
#include <tuple>

namespace morvane {

bool OperatingSystemVersion::isAtLeast(std::int64_t major, std::int64_t minor,
                                       std::int64_t patch) const {
  return std::tie(majorVersion, minorVersion, patchVersion) >= std::tie(major, minor, patch);
}

std::string OperatingSystemVersion::description() const {
  return "OperatingSystemVersion(majorVersion: " + std::to_string(majorVersion) +
         ", minorVersion: " + std::to_string(minorVersion) +
         ", patchVersion: " + std::to_string(patchVersion) + ")";
}

OperatingSystemVersion parseSystemVersion(const std::string& release) {
  OperatingSystemVersion v;
  std::int64_t* parts[] = {&v.majorVersion, &v.minorVersion, &v.patchVersion};
  const char* p = release.data();
  const char* end = p + release.size();
  for (std::int64_t* part : parts) {
    auto [next, ec] = std::from_chars(p, end, *part);
    if (ec != std::errc()) break;
    p = next;
    if (p == end || *p != '.') break;
    ++p;
  }
  return v;
}

OperatingSystemVersion PosixSystemVersion::current() const {
  return parseSystemVersion(kernelRelease());
}

std::string PosixSystemVersion::kernelRelease() const {
  struct utsname name;
  if (uname(&name) != 0) return {};
  return name.release;
}

std::string PosixSystemVersion::distribution() const {
  for (const char* path : {"/etc/os-release", "/usr/lib/os-release"}) {
    std::ifstream in(path);
    if (!in) continue;
    std::ostringstream text;
    text << in.rdbuf();
    return osReleaseName(text.str());
  }
  return {};
}

namespace {

// A value of an os-release line: quoted in double or single quotes (with
// backslash escapes inside double quotes) or bare.
std::string unquote(const std::string& value) {
  if (value.size() < 2 || (value.front() != '"' && value.front() != '\'')) return value;
  const char quote = value.front();
  std::string text;
  for (std::size_t i = 1; i < value.size() && value[i] != quote; ++i) {
    if (quote == '"' && value[i] == '\\' && i + 1 < value.size()) ++i;
    text += value[i];
  }
  return text;
}

}  // namespace

std::string osReleaseName(const std::string& text) {
  std::map<std::string, std::string> fields;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    const std::size_t equals = line.find('=');
    if (line.empty() || line[0] == '#' || equals == std::string::npos) continue;
    fields[line.substr(0, equals)] = unquote(line.substr(equals + 1));
  }
  if (!fields["PRETTY_NAME"].empty()) return fields["PRETTY_NAME"];
  std::string name = fields["NAME"];
  if (!fields["VERSION"].empty()) name += (name.empty() ? "" : " ") + fields["VERSION"];
  return name;
}

}  // namespace morvane
