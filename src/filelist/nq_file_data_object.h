// NQFileDataObject: one entry of the file list, a file or a folder with the
// whole tree below it, scanned once when the entry is made and frozen.
// The engine reads url, isDir, isSpecial, dirLevel and dirContents; the
// list views show displayValue("filename") and select by id.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/env.h"
#include "filelist/uuid.h"

namespace morvane {

class NQFileDataObject {
 public:
  // Builds the entry for `url` and, for a folder, scans everything below it
  // (hidden items skipped, children sorted by sortKey, levels by the level
  // rule: children of a top-level entry keep its level, deeper ones add 1).
  // Never fails: problems become diagnostic lines and empty contents.
  // A folder entered once in this entry (found again through a link back
  // up, or through two links to the same folder) is kept with empty
  // contents and not entered again, so links cannot make a scan repeat
  // itself; the first one reached in listing order is entered. A link to
  // a folder is entered only where it leads to a place inside the entry's
  // folder (inside a document package: inside the package); one that leads
  // out is kept with empty contents and named in a diagnostic line.
  NQFileDataObject(fs::path url, std::int64_t level, bool topLevel, Env& env);

  Uuid id;
  std::int64_t dirLevel = 0;
  fs::path url;
  std::optional<std::vector<NQFileDataObject>> dirContents;
  std::int64_t dirCount = 0;
  bool isDir = false;
  // Neither a regular file nor a folder (a FIFO, socket or device; a link
  // counts as what it leads to): never opened, converted or copied.
  bool isSpecial = false;

  // The text of a list column; "filename" (the only column) is the last
  // path component. Prints the wrapper error line when the item is gone.
  std::string displayValue(std::string_view column, Env& env) const;

  bool isFinderAlias(Env& env) const { return env.isFinderAlias(url); }

  // The last path component without its final extension, normalised to
  // NFC so that keys compare code point by code point.
  static std::string sortKey(const fs::path& url);

  // Entries are equal when their locations are; id, level and contents
  // play no part.
  bool operator==(const NQFileDataObject& other) const { return url == other.url; }

 private:
  struct EnteredFolders;
  // `bound` is the resolved folder that links may not lead out of.
  NQFileDataObject(DirectoryItem item, std::int64_t level, Env& env, EnteredFolders& entered,
                   const fs::path& bound);
  void scan(Env& env, const FileInfo& info, bool topLevel, EnteredFolders& entered,
            const fs::path& bound);
};

// The last component of a path; for a path ending in a separator, the
// component before it.
std::string lastPathComponent(const fs::path& path);

}  // namespace morvane

template <>
struct std::hash<morvane::NQFileDataObject> {
  std::size_t operator()(const morvane::NQFileDataObject& e) const {
    return std::filesystem::hash_value(e.url);
  }
};
