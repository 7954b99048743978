// TempDir: a fresh folder under the system's temporary folder for one
// test, removed with everything in it when the test ends.
#pragma once

#include <filesystem>
#include <string>

namespace morvane::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }

  // Creates a file (and its parent folders) below the folder; returns its path.
  std::filesystem::path write(const std::string& relative, const std::string& contents = "x");
  // Creates a folder (and its parents) below the folder; returns its path.
  std::filesystem::path mkdir(const std::string& relative);

 private:
  std::filesystem::path path_;
};

}  // namespace morvane::testing
