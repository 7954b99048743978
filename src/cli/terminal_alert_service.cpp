#include "cli/terminal_alert_service.h"

#include <filesystem>
#include <istream>
#include <ostream>

#include "cli/run_report_text.h"

namespace morvane {

TerminalAlertService::TerminalAlertService(std::istream& in, std::ostream& out, std::ostream& err,
                                           bool interactive, bool yes,
                                           Interruptible* interruptible)
    : in_(in), out_(out), err_(err), interactive_(interactive), yes_(yes),
      interruptible_(interruptible) {}

std::optional<std::string> TerminalAlertService::ask(const std::string& prompt) {
  err_ << prompt << std::flush;
  std::string answer;
  Interruptible::Scope waiting(interruptible_);
  if (!std::getline(in_, answer)) {
    err_ << "\n";
    return std::nullopt;
  }
  return answer;
}

namespace {

bool hasResponse(const Alert& alert, int response) {
  for (std::size_t i = 0; i < alert.buttons.size(); ++i) {
    if (alertResponse(alert, i) == response) return true;
  }
  return false;
}

}  // namespace

int TerminalAlertService::runModal(const Alert& alert) {
  // What a run did is its result; questions and failures are for the user.
  const bool result = alert.kind == AlertKind::success || alert.kind == AlertKind::cancelled;
  std::ostream& stream = result ? out_ : err_;
  stream << (result ? "" : "\n") << alert.title.key << "\n" << alert.message.key << "\n";
  if (const std::string summary = englishSummary(alert); !summary.empty()) {
    stream << summary << "\n";
  }
  stream << std::flush;
  const bool canCancel = hasResponse(alert, kAlertSecondButtonReturn);
  const bool canSend = hasResponse(alert, kAlertThirdButtonReturn);
  if (!canCancel && !canSend) return alertResponse(alert, 0);  // nothing to choose
  if (yes_) {
    err_ << "-> " << alert.buttons.front().key << "\n";
    return alertResponse(alert, 0);
  }
  if (!interactive_) {
    if (!canCancel) return alertResponse(alert, 0);
    err_ << "-> Cancel (no terminal to answer on)\n";
    return kAlertSecondButtonReturn;
  }
  std::string prompt = "[o] OK";
  if (canCancel) prompt += "  [c] Cancel";
  if (canSend) prompt += "  [s] Send error report…";
  const std::optional<std::string> answer = ask(prompt + " ? ");
  const std::string a = answer.value_or("");
  if (a == "o" || a == "O" || a == "ok" || a == "OK" || a == "y" || a == "yes") {
    return kAlertFirstButtonReturn;
  }
  if (canSend && (a == "s" || a == "S")) return kAlertThirdButtonReturn;
  return canCancel ? kAlertSecondButtonReturn : kAlertFirstButtonReturn;
}

std::optional<std::filesystem::path> TerminalAlertService::showOpenTargetFolderPanel() {
  if (!interactive_) {
    err_ << "No target folder chosen: there is no terminal to ask on (use --target DIR)\n";
    return std::nullopt;
  }
  const std::optional<std::string> answer = ask("Target folder: ");
  if (!answer || answer->empty()) return std::nullopt;
  std::error_code ec;
  const std::filesystem::path folder = std::filesystem::absolute(*answer, ec);
  if (ec || !std::filesystem::is_directory(folder, ec)) {
    err_ << "Not a folder: " << *answer << "\n";
    return std::nullopt;
  }
  return folder;
}

std::vector<std::string> TerminalAlertService::conversionBackend() {
  if (!backend_) {
    std::vector<std::string> lines;
    if (describeBackend_ && !describeBackend_(&lines).ok()) lines.clear();
    backend_ = std::move(lines);
  }
  return *backend_;
}

void TerminalAlertService::composeMail(const ErrorReportMail& mail) {
  err_ << "\nPlease send this report by mail.\nTo: " << mail.recipient
       << "\nSubject: " << mail.subject << "\n\n"
       << mail.body << "\n";
}

}  // namespace morvane
