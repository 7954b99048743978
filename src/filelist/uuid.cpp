#include "filelist/uuid.h"

#include <cstdio>
#include <cstring>
#include <random>

namespace morvane {

namespace {

// Seeded once per thread from the system's entropy source. A system call
// per identifier (as the usual libraries make) costs more than scanning the
// file it names, and entries need uniqueness within the process, not secrecy.
std::mt19937_64& generator() {
  thread_local std::mt19937_64 engine = [] {
    std::random_device device;
    std::seed_seq seed{device(), device(), device(), device(), device(), device(), device(),
                       device()};
    return std::mt19937_64(seed);
  }();
  return engine;
}

}  // namespace

Uuid Uuid::random() {
  Uuid id;
  const std::uint64_t a = generator()();
  const std::uint64_t b = generator()();
  std::memcpy(id.bytes_.data(), &a, 8);
  std::memcpy(id.bytes_.data() + 8, &b, 8);
  id.bytes_[6] = static_cast<std::uint8_t>((id.bytes_[6] & 0x0f) | 0x40);  // version 4
  id.bytes_[8] = static_cast<std::uint8_t>((id.bytes_[8] & 0x3f) | 0x80);  // RFC 4122 variant
  return id;
}

std::string Uuid::toString() const {
  std::string text;
  text.reserve(36);
  for (std::size_t i = 0; i < bytes_.size(); ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", bytes_[i]);
    text += hex;
  }
  return text;
}

std::size_t Uuid::hash() const {
  std::size_t a, b;
  std::memcpy(&a, bytes_.data(), sizeof a);
  std::memcpy(&b, bytes_.data() + 8, sizeof b);
  return a ^ (b * 0x9e3779b97f4a7c15ULL);
}

}  // namespace morvane
