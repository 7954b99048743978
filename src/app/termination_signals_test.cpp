#include "app/termination_signals.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <csignal>

namespace morvane {
namespace {

sighandler_t handlerOf(int signal) {
  struct sigaction action {};
  sigaction(signal, nullptr, &action);
  return action.sa_handler;
}

TEST(TerminationSignalsTest, ASignalArrivesOnTheEventLoopOnce) {
  {
    TerminationSignals handler;
    QSignalSpy received(&handler, &TerminationSignals::received);
    ASSERT_NE(handlerOf(SIGTERM), SIG_DFL);
    ASSERT_EQ(::raise(SIGHUP), 0);  // would end the test process unhandled
    ASSERT_TRUE(received.wait(5000));
    EXPECT_EQ(received[0][0].toInt(), SIGHUP);
    // The next one would end the process the default way.
    EXPECT_EQ(handlerOf(SIGTERM), SIG_DFL);
    EXPECT_EQ(handlerOf(SIGINT), SIG_DFL);
  }
  TerminationSignals again;
  EXPECT_NE(handlerOf(SIGINT), SIG_DFL);
}

TEST(TerminationSignalsTest, TheDefaultsAreBackWhenItGoes) {
  { TerminationSignals handler; }
  for (int s : {SIGTERM, SIGINT, SIGHUP}) EXPECT_EQ(handlerOf(s), SIG_DFL) << s;
}

}  // namespace
}  // namespace morvane
