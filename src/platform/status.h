// Status: the outcome of a file-system or service operation, as a value.
// An ok status carries nothing; a failed one carries a readable message
// that callers put into their diagnostic lines or alerts, and may carry
// the details behind it (the text of the program or system that failed,
// for error reports and logs).
#pragma once

#include <memory>
#include <string>
#include <system_error>
#include <utility>

namespace morvane {

struct FailureReason;  // engine/failure_reason.h

class Status {
 public:
  Status() = default;
  static Status error(std::string message, std::string details = {}) {
    return Status(std::move(message), std::move(details));
  }
  // A failure the system reported by its error number (errno), in the
  // system's words for it.
  static Status fromErrno(int err) {
    Status s(std::generic_category().message(err), {});
    s.errorNumber_ = err;
    return s;
  }

  bool ok() const { return !failed_; }
  const std::string& message() const { return message_; }
  // What the message explains, in its original words; empty when the
  // message says it all.
  const std::string& details() const { return details_; }
  // The system's error number behind the failure (EACCES, ENOENT, ...); 0
  // when it came from elsewhere, or nobody kept it.
  int errorNumber() const { return errorNumber_; }
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
  int errorNumber_ = 0;
  std::string message_;
  std::string details_;
  std::shared_ptr<const FailureReason> reason_;
};

}  // namespace morvane
