// Zip archives for the fidelity benchmark, on libzip.
#include "fidelity_zip.h"

#include <zip.h>

namespace morvane::fidelity {

struct ZipArchive::Handle {
  zip_t* archive = nullptr;
};

ZipArchive::ZipArchive() : handle_(std::make_unique<Handle>()) {}

ZipArchive::~ZipArchive() {
  if (handle_->archive != nullptr) zip_discard(handle_->archive);
}

Status ZipArchive::open(const std::string& path) {
  int code = 0;
  handle_->archive = zip_open(path.c_str(), ZIP_RDONLY, &code);
  if (handle_->archive == nullptr) return Status::error(path + ": not a zip archive");
  return {};
}

std::vector<std::string> ZipArchive::names() const {
  std::vector<std::string> all;
  if (handle_->archive == nullptr) return all;
  const zip_int64_t count = zip_get_num_entries(handle_->archive, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const char* name = zip_get_name(handle_->archive, static_cast<zip_uint64_t>(i), 0);
    if (name != nullptr) all.emplace_back(name);
  }
  return all;
}

bool ZipArchive::has(const std::string& name) const {
  return handle_->archive != nullptr && zip_name_locate(handle_->archive, name.c_str(), 0) >= 0;
}

Status ZipArchive::read(const std::string& name, std::string* bytes) const {
  const zip_int64_t index =
      handle_->archive == nullptr ? -1 : zip_name_locate(handle_->archive, name.c_str(), 0);
  zip_stat_t st;
  if (index < 0 ||
      zip_stat_index(handle_->archive, static_cast<zip_uint64_t>(index), 0, &st) != 0 ||
      !(st.valid & ZIP_STAT_SIZE)) {
    return Status::error(name + " is missing");
  }
  zip_file_t* file = zip_fopen_index(handle_->archive, static_cast<zip_uint64_t>(index), 0);
  if (file == nullptr) return Status::error(name + " cannot be read");
  bytes->assign(static_cast<std::size_t>(st.size), '\0');
  const zip_int64_t got = zip_fread(file, bytes->data(), st.size);
  zip_fclose(file);
  if (got < 0 || static_cast<zip_uint64_t>(got) != st.size) {
    return Status::error(name + " cannot be read");
  }
  return {};
}

}  // namespace morvane::fidelity
