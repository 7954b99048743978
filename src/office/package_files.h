// The files of one iWork document, whatever its container: a zip archive,
// a package folder, or a package folder that keeps its index in Index.zip
// (unpacked in memory). Parts are read by their names inside the document
// ("Index/Document.iwa"), within a CheckBudget.
#pragma once

#include <zip.h>

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "office/check_budget.h"
#include "platform/status.h"

namespace morvane {

class PackageFiles {
 public:
  // What is read is spent from *budget.
  explicit PackageFiles(CheckBudget* budget) : budget_(budget) {}
  ~PackageFiles();
  PackageFiles(const PackageFiles&) = delete;
  PackageFiles& operator=(const PackageFiles&) = delete;

  // Opens the document at `path`: a zip archive or a package folder (links
  // of which that lead out go to *notes, when given); *isFolder tells
  // which. Fails with a message for the user ("it is not a zip archive").
  Status open(const std::string& path, std::vector<std::string>* notes, bool* isFolder);

  bool has(const std::string& name) const;
  std::vector<std::string> names() const;

  // Reads a part; what it holds is spent from the budget the first time.
  Status read(const std::string& name, std::string* bytes) const;

  // The size of a part as its container declares it (what reading it
  // yields at most); 0 when unknown.
  std::uint64_t declaredSize(const std::string& name) const;

 private:
  struct ZipEntry {
    zip_t* archive;
    zip_uint64_t index;
  };

  Status openArchive(const std::string& path);
  // Links that lead out of the folder are not followed; a line for each
  // goes to *notes.
  Status openFolder(const std::string& path, std::vector<std::string>* notes);
  // A package of iWork 2013 and later keeps its index zipped.
  Status openIndexZip();
  Status openNestedArchive(std::string bytes);
  // Names the archive's members by their place inside its one top folder,
  // when they all share one.
  void descendIntoSoleTopFolder();
  void adopt(zip_t* z);

  CheckBudget* budget_;
  mutable std::set<std::string> spentOn_;  // parts whose bytes are spent
  std::vector<zip_t*> archives_;
  std::vector<std::unique_ptr<std::string>> nested_;  // bytes the nested archives read from
  std::map<std::string, std::string> folderFiles_;    // name -> path on disk
  std::map<std::string, ZipEntry> zipEntries_;
};

// The error opening `path` for reading meets (an errno); 0 when it opens.
int unreadable(const std::string& path);

}  // namespace morvane
