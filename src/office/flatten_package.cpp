#include "office/flatten_package.h"

#include <zip.h>

#include <cstring>
#include <filesystem>
#include <string_view>
#include <system_error>

#include "office/failure_reasons.h"
#include "office/package_files.h"
#include "office/package_folder.h"

namespace morvane {

namespace {

// An entry of another archive, copied as it is stored (no recompression).
zip_source_t* rawEntry(zip_t* out, zip_t* in, zip_uint64_t index) {
#if LIBZIP_VERSION_MAJOR > 1 || (LIBZIP_VERSION_MAJOR == 1 && LIBZIP_VERSION_MINOR >= 10)
  return zip_source_zip_file(out, in, index, ZIP_FL_COMPRESSED, 0, -1, nullptr);
#else
  return zip_source_zip(out, in, index, ZIP_FL_COMPRESSED, 0, -1);
#endif
}

}  // namespace

Status flattenPackage(const std::string& folder, const std::string& zipPath,
                      std::vector<std::string>* notes) {
  PackageFolderFiles listing;
  if (Status s = listPackageFolder(folder, false, &listing); !s.ok()) return s;
  if (notes != nullptr) {
    notes->insert(notes->end(), listing.leavingLinks.begin(), listing.leavingLinks.end());
  }
  int code = 0;
  zip_t* out = zip_open(zipPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
  if (out == nullptr) return Status::error("cannot create " + zipPath);
  std::vector<zip_t*> inner;  // read from until `out` is written
  std::error_code ec;
  const auto failWith = [&](const FailureReason& reason) {
    zip_discard(out);
    for (zip_t* z : inner) zip_discard(z);
    std::filesystem::remove(zipPath, ec);
    return reason.status();
  };
  const auto fail = [&](const std::string& what) {
    return failWith({FailureKind::damaged, "the package folder cannot be read: " + what, {}});
  };
  const auto add = [&](const std::string& name, zip_source_t* source, bool store) {
    const zip_int64_t index =
        source == nullptr ? -1 : zip_file_add(out, name.c_str(), source, ZIP_FL_OVERWRITE);
    if (index < 0 && source != nullptr) zip_source_free(source);
    if (index >= 0 && store) zip_set_file_compression(out, static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
    return index >= 0;
  };
  for (const auto& [name, path] : listing.files) {
    if (name != "Index.zip") {
      // (libzip opens the files only as the archive is written, and then
      // names the archive, not the file.)
      if (const int err = unreadable(path)) {
        return failWith(explainFileError(path, false, "the package folder cannot be read: " +
                                                          name + ": " + std::strerror(err)));
      }
      if (!add(name, zip_source_file(out, path.c_str(), 0, -1), true)) return fail(name);
      continue;
    }
    zip_t* index = zip_open(path.c_str(), ZIP_RDONLY, &code);
    if (index == nullptr) return fail("Index.zip is not a zip archive");
    inner.push_back(index);
    for (zip_int64_t i = 0; i < zip_get_num_entries(index, 0); ++i) {
      const char* entry = zip_get_name(index, static_cast<zip_uint64_t>(i), 0);
      if (entry == nullptr || std::string_view(entry).ends_with("/")) continue;
      if (!add(entry, rawEntry(out, index, static_cast<zip_uint64_t>(i)), false)) {
        return fail(std::string("Index.zip: ") + entry);
      }
    }
  }
  const bool written = zip_close(out) == 0;
  const std::string problem = written ? "" : zip_strerror(out);
  if (!written) zip_discard(out);
  for (zip_t* z : inner) zip_discard(z);
  if (!written) {
    std::filesystem::remove(zipPath, ec);
    return explainFileError(zipPath, true, "cannot write " + zipPath + ": " + problem).status();
  }
  return {};
}

}  // namespace morvane
