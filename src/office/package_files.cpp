#include "office/package_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "office/failure_reasons.h"
#include "office/iwork_limits.h"
#include "office/package_folder.h"

namespace morvane {

namespace fs = std::filesystem;

namespace {

std::string zipOpenError(int code) {
  if (code == ZIP_ER_NOZIP || code == ZIP_ER_INCONS) return "it is not a zip archive";
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string message = std::string("it cannot be opened as a zip archive: ") +
                        zip_error_strerror(&error);
  zip_error_fini(&error);
  return message;
}

Status readFile(const std::string& path, const std::string& name, std::string* bytes,
                CheckBudget* budget) {
  std::error_code ec;
  const std::uintmax_t size = fs::file_size(path, ec);
  if (ec) return Status::error(name + " cannot be read: " + ec.message());
  if (size > kLargestIworkPart) return Status::error(name + " is implausibly large");
  if (budget != nullptr) {
    if (Status s = budget->spend(size); !s.ok()) return s;
  }
  if (const int err = unreadable(path)) {
    return explainFileError(path, false, name + " cannot be read: " + std::strerror(err))
        .status();
  }
  std::ifstream in(path, std::ios::binary);
  bytes->assign(static_cast<std::size_t>(size), '\0');
  if (!in.read(bytes->data(), static_cast<std::streamsize>(size))) {
    return Status::error(name + " cannot be read");
  }
  return {};
}

Status readEntry(zip_t* archive, zip_uint64_t index, const std::string& name, std::string* bytes,
                 CheckBudget* budget) {
  zip_stat_t st;
  if (zip_stat_index(archive, index, 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE)) {
    return Status::error(name + " cannot be read: " + zip_strerror(archive));
  }
  if (st.size > kLargestIworkPart) return Status::error(name + " is implausibly large");
  if (budget != nullptr) {
    if (Status s = budget->spend(st.size); !s.ok()) return s;
  }
  zip_file_t* file = zip_fopen_index(archive, index, 0);
  if (file == nullptr) {
    return Status::error(name + " cannot be read: " + zip_strerror(archive));
  }
  bytes->assign(static_cast<std::size_t>(st.size), '\0');
  const zip_int64_t got = zip_fread(file, bytes->data(), st.size);
  std::string problem = got < 0 ? zip_file_strerror(file) : "";
  zip_fclose(file);
  if (got < 0) return Status::error(name + " cannot be read: " + problem);
  if (static_cast<zip_uint64_t>(got) != st.size) return Status::error(name + " is cut short");
  return {};
}

}  // namespace

int unreadable(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno;
  ::close(fd);
  return 0;
}

PackageFiles::~PackageFiles() {
  for (zip_t* z : archives_) zip_discard(z);
}

Status PackageFiles::open(const std::string& path, std::vector<std::string>* notes,
                          bool* isFolder) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    return explainFileError(path, false, "it cannot be read: " + std::string(std::strerror(errno)))
        .status();
  }
  *isFolder = S_ISDIR(st.st_mode);
  if (*isFolder) return openFolder(path, notes);
  if (!S_ISREG(st.st_mode)) return Status::error("it is neither a file nor a package folder");
  if (st.st_size == 0) return Status::error("the file is empty (0 bytes)");
  return openArchive(path);
}

Status PackageFiles::openArchive(const std::string& path) {
  int code = 0;
  zip_t* z = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (z == nullptr) return Status::error(zipOpenError(code));
  adopt(z);
  // Some tools zip the package folder itself, so that every member sits
  // under one top folder ("Report.pages/Index.zip"); readers take that
  // folder as the document.
  if (!has("Index/Document.iwa") && !has("Index.zip")) descendIntoSoleTopFolder();
  return openIndexZip();
}

Status PackageFiles::openFolder(const std::string& path, std::vector<std::string>* notes) {
  PackageFolderFiles listing;
  if (Status s = listPackageFolder(path, true, &listing); !s.ok()) return s;
  folderFiles_ = std::move(listing.files);
  if (notes != nullptr) {
    notes->insert(notes->end(), listing.leavingLinks.begin(), listing.leavingLinks.end());
  }
  return openIndexZip();
}

bool PackageFiles::has(const std::string& name) const {
  return folderFiles_.contains(name) || zipEntries_.contains(name);
}

std::vector<std::string> PackageFiles::names() const {
  std::vector<std::string> all;
  for (const auto& [name, path] : folderFiles_) all.push_back(name);
  for (const auto& [name, entry] : zipEntries_) all.push_back(name);
  return all;
}

Status PackageFiles::read(const std::string& name, std::string* bytes) const {
  CheckBudget* budget = spentOn_.insert(name).second ? budget_ : nullptr;
  if (auto file = folderFiles_.find(name); file != folderFiles_.end()) {
    return readFile(file->second, name, bytes, budget);
  }
  auto entry = zipEntries_.find(name);
  if (entry == zipEntries_.end()) return Status::error(name + " is missing");
  return readEntry(entry->second.archive, entry->second.index, name, bytes, budget);
}

std::uint64_t PackageFiles::declaredSize(const std::string& name) const {
  if (auto file = folderFiles_.find(name); file != folderFiles_.end()) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(file->second, ec);
    return ec ? 0 : size;
  }
  auto entry = zipEntries_.find(name);
  zip_stat_t st;
  if (entry == zipEntries_.end() ||
      zip_stat_index(entry->second.archive, entry->second.index, 0, &st) != 0 ||
      !(st.valid & ZIP_STAT_SIZE)) {
    return 0;
  }
  return st.size;
}

Status PackageFiles::openIndexZip() {
  if (!has("Index.zip") || has("Index/Document.iwa")) return {};
  std::string bytes;
  if (Status s = read("Index.zip", &bytes); !s.ok()) return s;
  return openNestedArchive(std::move(bytes));
}

void PackageFiles::descendIntoSoleTopFolder() {
  std::string top;
  for (const auto& [name, entry] : zipEntries_) {
    const std::size_t slash = name.find('/');
    if (slash == std::string::npos || slash == 0) return;
    if (top.empty()) top = name.substr(0, slash + 1);
    if (!name.starts_with(top)) return;
  }
  if (top.empty()) return;
  std::map<std::string, ZipEntry> inner;
  for (const auto& [name, entry] : zipEntries_) {
    if (name.size() > top.size()) inner.emplace(name.substr(top.size()), entry);
  }
  zipEntries_ = std::move(inner);
}

void PackageFiles::adopt(zip_t* z) {
  archives_.push_back(z);
  const zip_int64_t count = zip_get_num_entries(z, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(z, static_cast<zip_uint64_t>(i), 0);
    if (name != nullptr) zipEntries_[name] = {z, static_cast<zip_uint64_t>(i)};
  }
}

Status PackageFiles::openNestedArchive(std::string bytes) {
  nested_.push_back(std::make_unique<std::string>(std::move(bytes)));
  zip_error_t error;
  zip_error_init(&error);
  zip_source_t* source =
      zip_source_buffer_create(nested_.back()->data(), nested_.back()->size(), 0, &error);
  zip_t* z = source == nullptr ? nullptr : zip_open_from_source(source, ZIP_RDONLY, &error);
  const int code = zip_error_code_zip(&error);
  zip_error_fini(&error);
  if (z == nullptr) {
    if (source != nullptr) zip_source_free(source);
    return Status::error("its Index.zip: " + zipOpenError(code));
  }
  adopt(z);
  return {};
}

}  // namespace morvane
