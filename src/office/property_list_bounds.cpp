// Binary lists are walked as the graph they are (objects reached through
// an offset table, containers listing their members by object number),
// each object measured once; XML lists by their tags.
#include "office/property_list_bounds.h"

#include <algorithm>
#include <optional>
#include <unordered_map>
#include <vector>

namespace morvane {

namespace {

constexpr std::size_t kTrailerSize = 32;

std::uint64_t bigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint64_t value = 0;
  for (std::size_t k = 0; k < width; ++k) {
    value = (value << 8) | static_cast<unsigned char>(bytes[at + k]);
  }
  return value;
}

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
  return b > UINT64_MAX - a ? UINT64_MAX : a + b;
}

// The members of one object of a binary list: where their object numbers
// start and how many there are (none for a value that holds no others).
struct Members {
  std::size_t at = 0;
  std::uint64_t count = 0;
};

// The objects of a binary list, read through its trailer and offset table;
// nothing is read outside the bytes.
class BinaryPropertyList {
 public:
  // Nothing when the trailer or offset table does not fit the bytes.
  static std::optional<BinaryPropertyList> open(std::string_view bytes) {
    if (bytes.size() < 8 + kTrailerSize) return std::nullopt;
    const std::size_t trailer = bytes.size() - kTrailerSize;
    BinaryPropertyList list(bytes);
    list.offsetWidth_ = static_cast<unsigned char>(bytes[trailer + 6]);
    list.refWidth_ = static_cast<unsigned char>(bytes[trailer + 7]);
    list.objects_ = bigEndian(bytes, trailer + 8, 8);
    list.top_ = bigEndian(bytes, trailer + 16, 8);
    list.table_ = bigEndian(bytes, trailer + 24, 8);
    const auto width = [](std::size_t w) { return w >= 1 && w <= 8; };
    if (!width(list.offsetWidth_) || !width(list.refWidth_) || list.objects_ == 0 ||
        list.top_ >= list.objects_ || list.table_ < 8 || list.table_ > trailer ||
        (trailer - list.table_) / list.offsetWidth_ < list.objects_) {
      return std::nullopt;
    }
    return list;
  }

  std::uint64_t top() const { return top_; }

  // The members of object `n`; nothing when it lies outside the list.
  std::optional<Members> members(std::uint64_t n) const {
    const std::uint64_t offset =
        bigEndian(bytes_, static_cast<std::size_t>(table_ + n * offsetWidth_), offsetWidth_);
    if (offset < 8 || offset >= table_) return std::nullopt;
    auto at = static_cast<std::size_t>(offset);
    const unsigned marker = static_cast<unsigned char>(bytes_[at++]);
    const unsigned kind = marker >> 4;
    const bool array = kind == 0xA || kind == 0xB || kind == 0xC;  // array, ordered set, set
    if (!array && kind != 0xD) return Members{};
    std::uint64_t count = marker & 0xF;
    if (count == 0xF) {  // the count follows as an integer object
      if (at >= table_) return std::nullopt;
      const unsigned intMarker = static_cast<unsigned char>(bytes_[at++]);
      const std::size_t width = std::size_t{1} << (intMarker & 0xF);
      if ((intMarker >> 4) != 0x1 || width > 8 || table_ - at < width) return std::nullopt;
      count = bigEndian(bytes_, at, width);
      at += width;
    }
    if (kind == 0xD) count = count > UINT64_MAX / 2 ? UINT64_MAX : count * 2;  // keys, values
    if ((table_ - at) / refWidth_ < count) return std::nullopt;
    return Members{at, count};
  }

  // The object number of member `k` of `members`; nothing when no object has it.
  std::optional<std::uint64_t> member(const Members& members, std::uint64_t k) const {
    const std::uint64_t n =
        bigEndian(bytes_, static_cast<std::size_t>(members.at + k * refWidth_), refWidth_);
    if (n >= objects_) return std::nullopt;
    return n;
  }

 private:
  explicit BinaryPropertyList(std::string_view bytes) : bytes_(bytes) {}

  std::string_view bytes_;
  std::size_t offsetWidth_ = 0;
  std::size_t refWidth_ = 0;
  std::uint64_t objects_ = 0;
  std::uint64_t top_ = 0;
  std::uint64_t table_ = 0;
};

// The depth-first walk of a binary list with a stack of its own: each
// object is measured once (its depth and the entries it stands for), a
// shared one counted again wherever it is used, as a parser that copies it
// there would. Only objects reached are kept, never more than the entries
// allowed.
class BinaryWalk {
 public:
  BinaryWalk(const BinaryPropertyList& list, const PropertyListBounds& bounds)
      : list_(list), bounds_(bounds) {}

  PropertyListFit run(std::string* reason) {
    if (PropertyListFit f = enter(list_.top(), reason); f != PropertyListFit::fits) return f;
    while (!stack_.empty()) {
      Frame& frame = stack_.back();
      if (frame.next == frame.members.count) {
        if (PropertyListFit f = leave(reason); f != PropertyListFit::fits) return f;
        continue;
      }
      const std::optional<std::uint64_t> child = list_.member(frame.members, frame.next++);
      if (!child) return PropertyListFit::malformed;
      const auto seen = seen_.find(*child);
      if (seen != seen_.end() && seen->second.open) {
        *reason = "it holds a container within itself";
        return PropertyListFit::exceeds;
      }
      if (seen != seen_.end()) {
        fold(seen->second);
      } else if (PropertyListFit f = enter(*child, reason); f != PropertyListFit::fits) {
        return f;
      }
    }
    return PropertyListFit::fits;
  }

 private:
  struct Measure {
    bool open = true;  // being walked: met again, it is within itself
    std::size_t depth = 0;
    std::uint64_t entries = 0;
  };
  struct Frame {
    std::uint64_t object;
    Members members;
    std::uint64_t next = 0;
    std::size_t deepest = 0;      // of its members so far
    std::uint64_t entries = 1;    // itself and its members so far
  };

  PropertyListFit enter(std::uint64_t n, std::string* reason) {
    const std::optional<Members> members = list_.members(n);
    if (!members) return PropertyListFit::malformed;
    if (stack_.size() >= bounds_.depth) {
      *reason = "it is nested deeper than " + std::to_string(bounds_.depth) + " levels";
      return PropertyListFit::exceeds;
    }
    seen_[n] = Measure{};
    stack_.push_back({n, *members});
    return PropertyListFit::fits;
  }

  PropertyListFit leave(std::string* reason) {
    const Frame done = stack_.back();
    stack_.pop_back();
    const Measure measured{false, done.deepest + 1, done.entries};
    seen_[done.object] = measured;
    if (done.entries > bounds_.entries || seen_.size() > bounds_.entries) {
      *reason = "it stands for more than " + std::to_string(bounds_.entries) + " entries";
      return PropertyListFit::exceeds;
    }
    if (!stack_.empty()) fold(measured);
    return PropertyListFit::fits;
  }

  // Adds a measured member to the container being walked.
  void fold(const Measure& member) {
    Frame& parent = stack_.back();
    parent.deepest = std::max(parent.deepest, member.depth);
    parent.entries = saturatingAdd(parent.entries, member.entries);
  }

  const BinaryPropertyList& list_;
  const PropertyListBounds& bounds_;
  std::unordered_map<std::uint64_t, Measure> seen_;
  std::vector<Frame> stack_;
};

PropertyListFit measureBinary(std::string_view bytes, const PropertyListBounds& bounds,
                              std::string* reason) {
  const std::optional<BinaryPropertyList> list = BinaryPropertyList::open(bytes);
  if (!list) return PropertyListFit::malformed;
  return BinaryWalk(*list, bounds).run(reason);
}

// Where the markup that starts at `at` ("<...") ends, past its closing
// text; npos when it never does.
std::size_t skipMarkup(std::string_view text, std::size_t at, std::string_view close) {
  const std::size_t end = text.find(close, at);
  return end == std::string_view::npos ? end : end + close.size();
}

// Where the tag that starts at `at` ends (past its '>'), quoted attribute
// values aside; npos when it never does.
std::size_t tagEnd(std::string_view text, std::size_t at) {
  char quote = 0;
  for (std::size_t k = at + 1; k < text.size(); ++k) {
    const char c = text[k];
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '>') {
      return k + 1;
    }
  }
  return std::string_view::npos;
}

PropertyListFit measureXml(std::string_view text, const PropertyListBounds& bounds,
                           std::string* reason) {
  std::size_t depth = 0;
  std::uint64_t elements = 0;
  for (std::size_t at = text.find('<'); at != std::string_view::npos; at = text.find('<', at)) {
    const std::string_view rest = text.substr(at);
    std::size_t end;
    if (rest.starts_with("<!--")) {
      end = skipMarkup(text, at, "-->");
    } else if (rest.starts_with("<![CDATA[")) {
      end = skipMarkup(text, at, "]]>");
    } else if (rest.starts_with("<?")) {
      end = skipMarkup(text, at, "?>");
    } else {
      end = tagEnd(text, at);
      if (end == std::string_view::npos) return PropertyListFit::malformed;
      if (rest.starts_with("</")) {
        if (depth == 0) return PropertyListFit::malformed;
        --depth;
      } else if (!rest.starts_with("<!") && text[end - 2] != '/' && ++depth > bounds.depth) {
        *reason = "it is nested deeper than " + std::to_string(bounds.depth) + " levels";
        return PropertyListFit::exceeds;
      }
      if (!rest.starts_with("</") && !rest.starts_with("<!") && ++elements > bounds.entries) {
        *reason = "it stands for more than " + std::to_string(bounds.entries) + " entries";
        return PropertyListFit::exceeds;
      }
    }
    if (end == std::string_view::npos) return PropertyListFit::malformed;
    at = end;
  }
  return PropertyListFit::fits;
}

}  // namespace

PropertyListFit measurePropertyList(std::string_view bytes, const PropertyListBounds& bounds,
                                    std::string* reason) {
  if (bytes.starts_with("bplist00")) return measureBinary(bytes, bounds, reason);
  return measureXml(bytes, bounds, reason);
}

}  // namespace morvane
