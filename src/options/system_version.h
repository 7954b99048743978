// SystemVersion: the running operating system's version, the one switch of
// the environment (26.0.0 and later turn Creator Studio on and select the
// unified toolbar). PosixSystemVersion reads it from uname().
#pragma once

#include <cstdint>
#include <string>

namespace morvane {

struct OperatingSystemVersion {
  std::int64_t majorVersion = 0;
  std::int64_t minorVersion = 0;
  std::int64_t patchVersion = 0;

  bool isAtLeast(std::int64_t major, std::int64_t minor, std::int64_t patch) const;
  // "OperatingSystemVersion(majorVersion: 6, minorVersion: 1, patchVersion: 0)"
  std::string description() const;
};

class SystemVersion {
 public:
  virtual ~SystemVersion() = default;
  virtual OperatingSystemVersion current() const = 0;
  // For error reports: the kernel's release as it names itself
  // ("6.1.0-18-amd64") and the distribution's name ("Debian GNU/Linux 12
  // (bookworm)"); empty when unknown.
  virtual std::string kernelRelease() const { return {}; }
  virtual std::string distribution() const { return {}; }
};

// On systems without a macOS version this reports the kernel's release
// (for Linux 6.1.0-18-amd64: 6.1.0), which stays below 26.0.0. The
// distribution is the PRETTY_NAME of /etc/os-release (else
// /usr/lib/os-release).
class PosixSystemVersion : public SystemVersion {
 public:
  OperatingSystemVersion current() const override;
  std::string kernelRelease() const override;
  std::string distribution() const override;
};

// The distribution's name in an os-release text: PRETTY_NAME, else NAME
// and VERSION; quotes and their escapes undone. Empty when neither is there.
std::string osReleaseName(const std::string& text);

// Parses the leading "major.minor.patch" of a release text; missing parts are 0.
OperatingSystemVersion parseSystemVersion(const std::string& release);

}  // namespace morvane
