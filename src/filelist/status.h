// Status: the outcome of a file-system or service operation, as a value.
// An ok status carries nothing; a failed one carries a readable message
// that callers put into their diagnostic lines or alerts.
#pragma once

#include <string>
#include <utility>

namespace morvane {

class Status {
 public:
  Status() = default;
  static Status error(std::string message) { return Status(std::move(message)); }

  bool ok() const { return !failed_; }
  const std::string& message() const { return message_; }

 private:
  explicit Status(std::string message) : failed_(true), message_(std::move(message)) {}

  bool failed_ = false;
  std::string message_;
};

}  // namespace morvane
