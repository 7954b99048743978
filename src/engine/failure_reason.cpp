#include "engine/failure_reason.h"

namespace morvane {

std::string fillPattern(const std::string& pattern, const std::vector<std::string>& values) {
  std::string text;
  text.reserve(pattern.size() + 32);
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
    if (pattern[i] == '%' && next >= '1' && next <= '9' &&
        static_cast<std::size_t>(next - '1') < values.size()) {
      text += values[static_cast<std::size_t>(next - '1')];
      ++i;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

FailureReason FailureReason::worded(FailureKind kind, std::string pattern,
                                    std::vector<std::string> values, std::string details) {
  FailureReason reason;
  reason.kind = kind;
  reason.sentence = fillPattern(pattern, values);
  reason.details = std::move(details);
  reason.pattern = std::move(pattern);
  reason.values = std::move(values);
  return reason;
}

Status FailureReason::status() const {
  return Status::error(sentence, details).withReason(std::make_shared<const FailureReason>(*this));
}

FailureReason reasonOf(const Status& status) {
  if (status.reason() != nullptr) return *status.reason();
  return {FailureKind::unexplained, status.message(), status.details()};
}

}  // namespace morvane
