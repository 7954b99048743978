// Status: the outcome of a file-system or service operation, as a value.
// An ok status carries nothing; a failed one carries a readable message
// that callers put into their diagnostic lines or alerts, and may carry
// the details behind it (the text of the program or system that failed,
// for error reports and logs).
#pragma once

#include <memory>
#include <string>
#include <utility>

namespace morvane {

struct FailureReason;  // engine/failure_reason.h

class Status {
 public:
  Status() = default;
  static Status error(std::string message, std::string details = {}) {
    return Status(std::move(message), std::move(details));
  }

  bool ok() const { return !failed_; }
  const std::string& message() const { return message_; }
  // What the message explains, in its original words; empty when the
  // message says it all.
  const std::string& details() const { return details_; }
  // Why, as a reason a front end can word itself (FailureReason::status
  // attaches it); null when the message is all there is.
  const FailureReason* reason() const { return reason_.get(); }
  Status withReason(std::shared_ptr<const FailureReason> reason) && {
    reason_ = std::move(reason);
    return std::move(*this);
  }

 private:
  Status(std::string message, std::string details)
      : failed_(true), message_(std::move(message)), details_(std::move(details)) {}

  bool failed_ = false;
  std::string message_;
  std::string details_;
  std::shared_ptr<const FailureReason> reason_;
};

}  // namespace morvane
