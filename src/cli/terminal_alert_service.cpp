#include "cli/terminal_alert_service.h"

#include <filesystem>
#include <istream>
#include <ostream>

namespace morvane {

TerminalAlertService::TerminalAlertService(std::istream& in, std::ostream& err, bool interactive,
                                           bool yes, Interruptible* interruptible)
    : in_(in), err_(err), interactive_(interactive), yes_(yes), interruptible_(interruptible) {}

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

int TerminalAlertService::runModal(const Alert& alert) {
  err_ << "\n" << alert.title.key << "\n" << alert.message.key << "\n";
  if (!alert.summary.empty()) err_ << alert.summary << "\n";
  if (yes_) {
    err_ << "-> " << alert.buttons.front().key << "\n";
    return kAlertFirstButtonReturn;
  }
  if (!interactive_) {
    err_ << "-> Cancel (no terminal to answer on)\n";
    return kAlertSecondButtonReturn;
  }
  std::string prompt = "[o] OK  [c] Cancel";
  if (alert.buttons.size() > 2) prompt += "  [s] " + alert.buttons[2].key;
  const std::optional<std::string> answer = ask(prompt + " ? ");
  if (!answer) return kAlertSecondButtonReturn;
  const std::string a = *answer;
  if (a == "o" || a == "O" || a == "ok" || a == "OK" || a == "y" || a == "yes") {
    return kAlertFirstButtonReturn;
  }
  if (alert.buttons.size() > 2 && (a == "s" || a == "S")) return kAlertThirdButtonReturn;
  return kAlertSecondButtonReturn;
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

void TerminalAlertService::composeMail(const ErrorReportMail& mail) {
  err_ << "\nPlease send this report by mail.\nTo: " << mail.recipient
       << "\nSubject: " << mail.subject << "\n\n"
       << mail.body << "\n";
}

}  // namespace morvane
