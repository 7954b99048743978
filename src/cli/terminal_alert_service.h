// TerminalAlertService: the alerts and the folder chooser of a run on a
// terminal. What a run did (the success and cancel alerts) goes to
// standard output; questions and failures go to standard error and are
// answered on standard input. With --yes every question is answered OK,
// without a terminal every question is answered Cancel; an alert with
// nothing to choose is only told. While a question waits for its answer a
// signal may end the program (nothing is in flight then).
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/interruptible.h"
#include "engine/alerts.h"
#include "platform/status.h"

namespace morvane {

class TerminalAlertService : public AlertService {
 public:
  // `interruptible`: where the waits for an answer are marked; may be null.
  TerminalAlertService(std::istream& in, std::ostream& out, std::ostream& err, bool interactive,
                       bool yes, Interruptible* interruptible = nullptr);

  int runModal(const Alert& alert) override;
  std::optional<std::filesystem::path> showOpenTargetFolderPanel() override;
  // No mail composer here: the mail is shown for the user to send.
  void composeMail(const ErrorReportMail& mail) override;
  // The lines `describeBackend` gives, asked once (it starts a worker);
  // none when it is unset or fails.
  std::vector<std::string> conversionBackend() override;
  void setDescribeBackend(std::function<Status(std::vector<std::string>*)> describe) {
    describeBackend_ = std::move(describe);
  }

 private:
  std::optional<std::string> ask(const std::string& prompt);

  std::istream& in_;
  std::ostream& out_;
  std::ostream& err_;
  bool interactive_;
  bool yes_;
  Interruptible* interruptible_;
  std::function<Status(std::vector<std::string>*)> describeBackend_;
  std::optional<std::vector<std::string>> backend_;  // once asked
};

}  // namespace morvane
