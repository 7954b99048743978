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
  const FixedSystemVersion version({14, 5, 0});
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
  EXPECT_EQ(mail.recipient, "support@morvane.example");
  EXPECT_EQ(mail.subject, "Morvane Error Report");
  EXPECT_EQ(mail.body,
            "Please enter a short description of the error\n"
            "We respect your privacy. By sending this mail you agree to our privacy policy which "
            "you find at https://morvane.example/privacy\n\n"
            "OperatingSystemVersion(majorVersion: 14, minorVersion: 5, patchVersion: 0)\n"
            "the report");
}

TEST(AlertsTest, EmptyReportBodyEndsWithVersionLine) {
  const ErrorReportMail mail = composeErrorReport({6, 1, 0}, "");
  const std::string tail =
      "OperatingSystemVersion(majorVersion: 6, minorVersion: 1, patchVersion: 0)\n";
  ASSERT_GE(mail.body.size(), tail.size());
  EXPECT_EQ(mail.body.substr(mail.body.size() - tail.size()), tail);
}

}  // namespace
}  // namespace morvane
