#include "engine/alerts.h"

#include <utility>

// Both come from the build (the CMake cache variables of these names), so
// that a package names its own maintainer.
#if !defined(MORVANE_SUPPORT_ADDRESS) || !defined(MORVANE_PRIVACY_URL) || !defined(MORVANE_VERSION)
#error "MORVANE_SUPPORT_ADDRESS, MORVANE_PRIVACY_URL and MORVANE_VERSION come from the build"
#endif

namespace morvane {

Alert makeAlert(LocalizedText title, LocalizedText message) {
  Alert alert;
  alert.title = std::move(title);
  alert.message = std::move(message);
  alert.buttons = {{"OK", "OK button"}, {"Cancel", "Cancel button"}};
  alert.responses = {kAlertFirstButtonReturn, kAlertSecondButtonReturn};
  return alert;
}

Alert makeResultAlert(AlertKind kind, LocalizedText title, LocalizedText message) {
  Alert alert;
  alert.title = std::move(title);
  alert.message = std::move(message);
  alert.buttons = {{"OK", "OK button"}};
  alert.responses = {kAlertFirstButtonReturn};
  alert.kind = kind;
  return alert;
}

int alertResponse(const Alert& alert, std::size_t index) {
  if (index < alert.responses.size()) return alert.responses[index];
  return kAlertFirstButtonReturn + static_cast<int>(index);
}

int runErrorAlert(AlertService& service, const SystemVersion& version, LocalizedText title,
                  LocalizedText message, const ErrorReport& report, const std::string& summary,
                  const std::string& details, std::optional<RunReport> runReport) {
  Alert alert = makeResultAlert(AlertKind::failure, std::move(title), std::move(message));
  alert.buttons.push_back({"Send error report…", "Send error report…"});
  alert.responses.push_back(kAlertThirdButtonReturn);
  alert.summary = summary;
  alert.details = details;
  alert.report = std::move(runReport);
  const int response = service.runModal(alert);
  if (response == kAlertThirdButtonReturn) sendErrorReport(service, version, report);
  return response;
}

int runFailureAlert(AlertService& service, const SystemVersion& version,
                    const ErrorReport& report, const std::string& summary,
                    const std::string& details, std::optional<RunReport> runReport) {
  return runErrorAlert(service, version,
                       {"Error", "Alert title when an error was received from the AppleScript"},
                       {"There was an error during the conversion.",
                        "Alert message when conversion failed"},
                       report, summary, details, std::move(runReport));
}

void sendErrorReport(AlertService& service, const SystemVersion& version,
                     const ErrorReport& report) {
  const ReportOrigin origin{MORVANE_VERSION, service.conversionBackend(), version.distribution(),
                            version.kernelRelease()};
  service.composeMail(composeErrorReport(origin, report));
}

std::string supportAddress() { return MORVANE_SUPPORT_ADDRESS; }

ErrorReportMail composeErrorReport(const ReportOrigin& origin, const ErrorReport& report) {
  std::string body = "Please enter a short description of the error\n";
  body += "We respect your privacy. By sending this mail you agree to our privacy policy which "
          "you find at ";
  body += MORVANE_PRIVACY_URL;
  body += "\n\n";
  body += errorReportText(origin, report);
  return {supportAddress(), "Morvane Error Report", std::move(body)};
}

}  // namespace morvane
