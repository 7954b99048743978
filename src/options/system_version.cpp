#include "options/system_version.h"

#include <sys/utsname.h>

#include <charconv>
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
  struct utsname name;
  if (uname(&name) != 0) return {};
  return parseSystemVersion(name.release);
}

}  // namespace morvane
