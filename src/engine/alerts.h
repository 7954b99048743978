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

#include "engine/error_report.h"
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

  // Hands the mail to the user: to the desktop's composer to complete,
  // or, where none is there, shown so that it can still be sent (copied,
  // saved, printed); nothing of it is lost unless the user drops it.
  virtual void composeMail(const ErrorReportMail& mail) = 0;

  // What the conversions run with (the LibreOffice and iWork reader
  // versions, one line each), for the error report; empty when unknown.
  virtual std::vector<std::string> conversionBackend() { return {}; }
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
                  LocalizedText message, const ErrorReport& report,
                  const std::string& summary = "", const std::string& details = "",
                  std::optional<RunReport> runReport = std::nullopt);

// The error alert that ends a failed run (title "Error"), shown with
// runErrorAlert; `report` tells what failed.
int runFailureAlert(AlertService& service, const SystemVersion& version,
                    const ErrorReport& report, const std::string& summary = "",
                    const std::string& details = "",
                    std::optional<RunReport> runReport = std::nullopt);

// Composes the error-report mail and hands it over: its origin is
// Morvane's version, the service's conversionBackend, and the system's
// distribution and kernel release as `version` tells them.
void sendErrorReport(AlertService& service, const SystemVersion& version,
                     const ErrorReport& report);

// The address error reports go to: the build setting
// MORVANE_SUPPORT_ADDRESS, and nothing else.
std::string supportAddress();

// The mail: to supportAddress(), subject "Morvane Error Report", body
// with the request for a description, the privacy note and
// errorReportText.
ErrorReportMail composeErrorReport(const ReportOrigin& origin, const ErrorReport& report);

}  // namespace morvane
