// Office files as the fidelity benchmark reads them: zip archives, with a
// member list and whole members. (iWork documents are read through the
// container check's own functions, which know their layouts.)
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/status.h"

namespace morvane::fidelity {

class ZipArchive {
 public:
  ZipArchive();
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  Status open(const std::string& path);

  std::vector<std::string> names() const;
  bool has(const std::string& name) const;
  Status read(const std::string& name, std::string* bytes) const;

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

}  // namespace morvane::fidelity
