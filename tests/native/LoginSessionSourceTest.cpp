#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "core/scope/LoginSessions.h"
#include "native/LiveSnapshotSources.h"
#include "native/LoginSessionSource.h"

namespace hollin {
namespace {

constexpr AccountRange accounts{1000, 60000};

TEST(LoginSessionSource, OnlyOnlineAndActiveSessionsAreDone) {
  const PlistValue value = sessionInfoValue({{1000, "active"},
                                             {1001, "online"},
                                             {1002, "opening"},
                                             {1003, "closing"},
                                             {120, "online"}});
  EXPECT_EQ(LoginSessions::parse(&value, 1000, accounts),
            (std::set<std::uint32_t>{120, 1000, 1001}));
  EXPECT_EQ(LoginSessions::parse(&value, 1003, accounts), std::nullopt)
      << "a console whose session is closing is not a finished login";
  const PlistValue none = sessionInfoValue({});
  EXPECT_EQ(LoginSessions::parse(&none, 1000, accounts), std::nullopt) << "no sessions: unknown";
}

TEST(LoginSessionSource, LiveValueExistsExactlyWhenLogindRuns) {
  const std::optional<PlistValue> value = readLoginSessions();
  const bool logind = std::filesystem::exists("/run/systemd/seats");
  ASSERT_EQ(value.has_value(), logind);
  if (!logind) GTEST_SKIP() << "no systemd-logind on this machine";
  const PlistValue* sessions = value->find("SessionInfo");
  EXPECT_TRUE(sessions && sessions->asArray());
}

TEST(LoginSessionSource, LiveTakeReadsThisMachine) {
  const Snapshot first = takeLiveSnapshot();
  EXPECT_GT(first.uptime, 0);
  EXPECT_EQ(first.enumerationError, 0);
  EXPECT_GT(first.system.physical, 0u);
  const auto self = std::find_if(first.processes.begin(), first.processes.end(),
                                 [](const ProcessMemory& p) { return p.pid == getpid(); });
  ASSERT_NE(self, first.processes.end());
  EXPECT_EQ(self->uid, getuid());
  EXPECT_TRUE(self->resident);

  const Snapshot second = takeLiveSnapshot();
  EXPECT_GE(second.uptime, first.uptime);
  EXPECT_EQ(second.cpuMeasuredAt, first.cpuMeasuredAt) << "the slow read is reused within 60 s";
  EXPECT_EQ(second.cpuCelsius, first.cpuCelsius);
}

}  // namespace
}  // namespace hollin
