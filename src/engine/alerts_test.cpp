#include "engine/alerts.h"

#include <gtest/gtest.h>

#include "testing/recording_fakes.h"

namespace morvane {
namespace {

using testing::FakeAlertService;
using testing::FixedSystemVersion;

TEST(AlertsTest, MakeAlertHasOkAndCancel) {
  const Alert alert = makeAlert({"T", "t"}, {"M", "m"});
  EXPECT_EQ(alert.title, (LocalizedText{"T", "t"}));
  EXPECT_EQ(alert.message, (LocalizedText{"M", "m"}));
  EXPECT_EQ(alert.buttons,
            (std::vector<LocalizedText>{{"OK", "OK button"}, {"Cancel", "Cancel button"}}));
}

TEST(AlertsTest, ErrorAlertSendsReportOnlyOnThirdButton) {
  FakeAlertService alerts;
  const FixedSystemVersion version({14, 5, 0}, "14.5.0", "Debian GNU/Linux 12 (bookworm)");
  alerts.backend = {"LibreOffice 7.4.7.2"};
  alerts.responses = {kAlertSecondButtonReturn, kAlertThirdButtonReturn};
  EXPECT_EQ(runErrorAlert(alerts, version, {"E", ""}, {"M", ""}, "report"), 1001);
  EXPECT_TRUE(alerts.mails.empty());
  EXPECT_EQ(runErrorAlert(alerts, version, {"E", ""}, {"M", ""}, "the report"), 1002);
  ASSERT_EQ(alerts.mails.size(), 1u);
  // OK and Send error report…: Cancel would mean nothing after a run.
  ASSERT_EQ(alerts.shown[1].buttons.size(), 2u);
  EXPECT_EQ(alerts.shown[1].buttons[1].key, "Send error report…");
  EXPECT_EQ(alertResponse(alerts.shown[1], 1), kAlertThirdButtonReturn);
  EXPECT_EQ(alerts.shown[1].kind, AlertKind::failure);

  const ErrorReportMail& mail = alerts.mails[0];
  EXPECT_EQ(mail.recipient, supportAddress());
  EXPECT_EQ(mail.subject, "Morvane Error Report");
  EXPECT_EQ(mail.body,
            "Please enter a short description of the error\n"
            "We respect your privacy. By sending this mail you agree to our privacy policy which "
            "you find at " MORVANE_PRIVACY_URL "\n\n"
            "Morvane " MORVANE_VERSION "\n"
            "LibreOffice 7.4.7.2\n"
            "Distribution: Debian GNU/Linux 12 (bookworm)\n"
            "Kernel: 14.5.0\n"
            "\n"
            "Error:\n"
            "Reason: the report\n");
}

TEST(AlertsTest, EmptyReportBodyEndsWithTheOrigin) {
  const ErrorReportMail mail = composeErrorReport({"0.1.0", {}, "Debian", "6.1.0"}, ErrorReport());
  EXPECT_TRUE(mail.body.ends_with("\n\nMorvane 0.1.0\nDistribution: Debian\nKernel: 6.1.0\n"))
      << mail.body;
}

}  // namespace
}  // namespace morvane
