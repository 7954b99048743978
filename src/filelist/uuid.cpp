#include "filelist/uuid.h"

#include <uuid/uuid.h>

#include <cstring>

namespace morvane {

Uuid Uuid::random() {
  Uuid id;
  uuid_generate_random(id.bytes_.data());
  return id;
}

std::string Uuid::toString() const {
  char text[37];
  uuid_unparse_upper(bytes_.data(), text);
  return text;
}

std::size_t Uuid::hash() const {
  std::size_t a, b;
  std::memcpy(&a, bytes_.data(), sizeof a);
  std::memcpy(&b, bytes_.data() + 8, sizeof b);
  return a ^ (b * 0x9e3779b97f4a7c15ULL);
}

}  // namespace morvane
