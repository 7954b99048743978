// Uuid: a random (version 4) identifier, the identity of a list entry in
// the list views and in the selection.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

namespace morvane {

class Uuid {
 public:
  static Uuid random();

  std::string toString() const;  // upper-case canonical form
  auto operator<=>(const Uuid&) const = default;
  std::size_t hash() const;

 private:
  std::array<std::uint8_t, 16> bytes_{};
};

}  // namespace morvane

template <>
struct std::hash<morvane::Uuid> {
  std::size_t operator()(const morvane::Uuid& id) const { return id.hash(); }
};
