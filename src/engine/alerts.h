// The alerts, the folder chooser and the error report of a run, as the
// engine sees them. The engine builds every alert with makeAlert and the
// failure alert with runErrorAlert; an AlertService shows them (a window
// system, a terminal, or a recording fake in tests).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "options/system_version.h"

namespace morvane {

// A user-visible text: the English key and the translator's comment. The
// service that shows it looks up the translation; the key is the fallback.
struct LocalizedText {
  std::string key;
  std::string comment;
  bool operator==(const LocalizedText&) const = default;
};

// Responses of a modal alert: one per button, in button order.
enum AlertResponse : int {
  kAlertFirstButtonReturn = 1000,   // "OK"
  kAlertSecondButtonReturn = 1001,  // "Cancel"
  kAlertThirdButtonReturn = 1002,   // "Send error report…"
};

// A warning-style alert: title (message text), body (informative text)
// and its buttons in order. Below the body, a run's alert tells what the
// run did ("42 documents converted, 3 files copied"; the failed document
// and why), with the full description on request.
struct Alert {
  LocalizedText title;
  LocalizedText message;
  std::vector<LocalizedText> buttons;
  std::string summary;         // already in the user's words; may be empty
  std::string details;         // shown on request; may be empty
  bool informational = false;  // the information icon instead of the warning
};

// The error-report mail; nothing of it is stored.
struct ErrorReportMail {
  std::string recipient;
  std::string subject;
  std::string body;
};

class AlertService {
 public:
  virtual ~AlertService() = default;

  // Shows the alert modally; returns the response of the pressed button
  // (1000 + its index).
  virtual int runModal(const Alert& alert) = 0;

  // A modal chooser of exactly one folder; nothing when cancelled.
  virtual std::optional<std::filesystem::path> showOpenTargetFolderPanel() = 0;

  // Hands the mail to the desktop's composer for the user to complete.
  // Without a composer the mail is dropped silently.
  virtual void composeMail(const ErrorReportMail& mail) = 0;
};

// A new, not yet shown alert with "OK" and "Cancel".
Alert makeAlert(LocalizedText title, LocalizedText message);

// Shows makeAlert's alert with a third button, "Send error report…"; on
// that button, sends the report before returning the response.
int runErrorAlert(AlertService& service, const SystemVersion& version, LocalizedText title,
                  LocalizedText message, const std::string& report,
                  const std::string& summary = "", const std::string& details = "");

// The error alert that ends a failed run (title "Error", the request to
// try again), shown with runErrorAlert; `report` tells what failed.
int runFailureAlert(AlertService& service, const SystemVersion& version,
                    const std::string& report, const std::string& summary = "",
                    const std::string& details = "");

// Composes the error-report mail for the report text and hands it over.
void sendErrorReport(AlertService& service, const SystemVersion& version,
                     const std::string& report);

// The mail: to the support address, subject "Morvane Error Report", body
// with the request for a description, the privacy note, the system
// version line and the report text.
ErrorReportMail composeErrorReport(const OperatingSystemVersion& version,
                                   const std::string& report);

}  // namespace morvane
