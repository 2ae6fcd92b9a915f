#include "app/platform/TerminationSignals.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <csignal>
#include <vector>

namespace hollin {
namespace {

TEST(TerminationSignals, TermAndIntArriveOnTheMainThreadInOrder) {
  testing::ensureApplication();
  std::vector<int> received;
  {
    TerminationSignals termination;
    QObject::connect(&termination, &TerminationSignals::received, [&](int number) {
      EXPECT_EQ(QThread::currentThread(), QCoreApplication::instance()->thread());
      received.push_back(number);
    });
    std::raise(SIGTERM);
    std::raise(SIGINT);
    EXPECT_TRUE(testing::waitUntil([&] { return received.size() == 2; }));
  }
  EXPECT_EQ(received, (std::vector<int>{SIGTERM, SIGINT}));
  // Afterwards the default action is back: the test program would die of a raised SIGTERM.
  struct sigaction current {};
  ::sigaction(SIGTERM, nullptr, &current);
  EXPECT_EQ(current.sa_handler, SIG_DFL);
}

}  // namespace
}  // namespace hollin
