// The alerts, the folder chooser and the error report of a run, as the
// engine sees them. The engine builds every alert with makeAlert and the
// failure alert with runErrorAlert; an AlertService shows them (a window
// system, a terminal, or a recording fake in tests).
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/run_report.h"
#include "options/system_version.h"

namespace morvane {

// A user-visible text: the English key and the translator's comment. The
// service that shows it looks up the translation; the key is the fallback.
struct LocalizedText {
  std::string key;
  std::string comment;
  bool operator==(const LocalizedText&) const = default;
};

// Responses of a modal alert, by the role of the pressed button.
enum AlertResponse : int {
  kAlertFirstButtonReturn = 1000,   // "OK"
  kAlertSecondButtonReturn = 1001,  // "Cancel", or the alert closed without an answer
  kAlertThirdButtonReturn = 1002,   // "Send error report…"
};

// What an alert tells, which its icon shows: a question that a run asks,
// or how a run ended.
enum class AlertKind { question, success, cancelled, failure };

// An alert: title (message text), body (informative text) and its buttons
// in order. Below the body, a run's alert tells what the run did (its
// report, which the service words: "42 documents converted, 3 files
// copied"; each failed document and why), with the details on request.
struct Alert {
  LocalizedText title;
  LocalizedText message;
  std::vector<LocalizedText> buttons;
  // The response of each button, in button order; a button without one
  // answers 1000 + its index.
  std::vector<int> responses;
  std::string summary;  // already in the user's words; may be empty
  std::string details;  // shown on request; may be empty
  // What the run did, for the service to word below the summary; none
  // for a question.
  std::optional<RunReport> report = std::nullopt;
  AlertKind kind = AlertKind::question;
};

// The response of the alert's button at `index`.
int alertResponse(const Alert& alert, std::size_t index);

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
  // (alertResponse), kAlertSecondButtonReturn when none was pressed.
  virtual int runModal(const Alert& alert) = 0;

  // A modal chooser of exactly one folder; nothing when cancelled.
  virtual std::optional<std::filesystem::path> showOpenTargetFolderPanel() = 0;

  // Hands the mail to the desktop's composer for the user to complete.
  // Without a composer the mail is dropped silently.
  virtual void composeMail(const ErrorReportMail& mail) = 0;
};

// A new, not yet shown question with "OK" and "Cancel".
Alert makeAlert(LocalizedText title, LocalizedText message);

// A new alert that tells how a run ended, with the one button "OK": there
// is nothing left to cancel.
Alert makeResultAlert(AlertKind kind, LocalizedText title, LocalizedText message);

// Shows a failure alert with "OK" and "Send error report…" (which answers
// kAlertThirdButtonReturn); on that button, sends the report before
// returning the response.
int runErrorAlert(AlertService& service, const SystemVersion& version, LocalizedText title,
                  LocalizedText message, const std::string& report,
                  const std::string& summary = "", const std::string& details = "",
                  std::optional<RunReport> runReport = std::nullopt);

// The error alert that ends a failed run (title "Error"), shown with
// runErrorAlert; `report` tells what failed.
int runFailureAlert(AlertService& service, const SystemVersion& version,
                    const std::string& report, const std::string& summary = "",
                    const std::string& details = "",
                    std::optional<RunReport> runReport = std::nullopt);

// Composes the error-report mail for the report text and hands it over.
void sendErrorReport(AlertService& service, const SystemVersion& version,
                     const std::string& report);

// The mail: to the support address, subject "Morvane Error Report", body
// with the request for a description, the privacy note, the system
// version line and the report text.
ErrorReportMail composeErrorReport(const OperatingSystemVersion& version,
                                   const std::string& report);

}  // namespace morvane
