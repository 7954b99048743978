// Zip archives as the fidelity benchmark reads them: a member list and
// whole members, from a file or from the bytes of a nested archive
// (an iWork package's Index.zip).
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "filelist/status.h"

namespace morvane::fidelity {

class ZipArchive {
 public:
  ZipArchive();
  ~ZipArchive();
  ZipArchive(const ZipArchive&) = delete;
  ZipArchive& operator=(const ZipArchive&) = delete;

  Status open(const std::string& path);
  Status openBytes(std::string bytes);  // keeps the bytes as long as it lives

  std::vector<std::string> names() const;
  bool has(const std::string& name) const;
  Status read(const std::string& name, std::string* bytes) const;

  // The one folder all members sit under ("Report.pages/"), or "" when
  // they do not share one.
  std::string soleTopFolder() const;

 private:
  struct Handle;
  std::unique_ptr<Handle> handle_;
};

}  // namespace morvane::fidelity
