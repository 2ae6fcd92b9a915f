#include "app/platform/LoginMonitor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QSignalSpy>

namespace hollin {
namespace {

const QString sessionPath = "/org/freedesktop/login1/session/_31";

QVariantList sessionRemoved(const QString& path) {
  return {path.section('_', -1), QVariant::fromValue(QDBusObjectPath(path))};
}

class LoginMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureApplication();
    if (!bus_.running()) GTEST_SKIP() << "dbus-daemon could not be started";
    ASSERT_TRUE(logind_.serve(bus_.connect("logind-" + QString::number(++round_))));
    client_ = bus_.connect("client-" + QString::number(round_));
  }
  void TearDown() override {
    QDBusConnection::disconnectFromBus(client_.name());
    QDBusConnection::disconnectFromBus(logind_.bus.name());
  }
  // A started monitor whose signals are written down as short words, in order.
  std::unique_ptr<LoginMonitor> started() {
    events_.clear();
    auto monitor = std::make_unique<LoginMonitor>(client_);
    QObject::connect(monitor.get(), &LoginMonitor::willSleep, [this] { events_.push_back("sleep"); });
    QObject::connect(monitor.get(), &LoginMonitor::didWake, [this] { events_.push_back("wake"); });
    QObject::connect(monitor.get(), &LoginMonitor::willTerminate, [this] { events_.push_back("terminate"); });
    QObject::connect(monitor.get(), &LoginMonitor::sessionActiveChanged,
                     [this](bool active) { events_.push_back(active ? "active" : "inactive"); });
    QSignalSpy ready(monitor.get(), &LoginMonitor::ready);
    EXPECT_TRUE(monitor->start() && testing::waitUntil([&] { return !ready.isEmpty(); }));
    return monitor;
  }
  bool waitForEvents(std::size_t count) { return testing::waitUntil([&] { return events_.size() >= count; }); }

  static inline int round_ = 0;
  testing::PrivateBus bus_;
  testing::FakeLogind logind_{sessionPath};
  QDBusConnection client_{QString()};
  std::vector<std::string> events_;
};

TEST_F(LoginMonitorTest, SleepWakeAndSessionSwitchesInOrderAndWithoutASessionSleepAlone) {
  auto monitor = started();
  EXPECT_EQ(monitor->sessionPath(), sessionPath);
  EXPECT_EQ(monitor->sessionActive(), true);  // the starting state is read, not announced
  logind_.announce("PrepareForSleep", {true});
  logind_.announce("PrepareForSleep", {false});
  logind_.changeSession({{"Active", false}});
  logind_.changeSession({{"Active", false}});  // no change, no event
  logind_.changeSession({{"Active", true}});
  ASSERT_TRUE(waitForEvents(4));
  EXPECT_EQ(events_, (std::vector<std::string>{"sleep", "wake", "inactive", "active"}));

  logind_.session.clear();
  monitor = started();
  EXPECT_EQ(monitor->sessionActive(), std::nullopt);
  logind_.announce("PrepareForSleep", {true});
  ASSERT_TRUE(waitForEvents(1));
  EXPECT_EQ(events_, (std::vector<std::string>{"sleep"}));
}

TEST_F(LoginMonitorTest, ShutdownTheEndOfTheSessionOrItsRemovalTerminatesOnce) {
  const std::pair<const char*, std::function<void()>> ways[] = {
      {"shutdown", [&] { logind_.announce("PrepareForShutdown", {true}); }},
      {"closing", [&] { logind_.changeSession({{"State", "closing"}}); }},
      {"removed", [&] { logind_.announce("SessionRemoved", sessionRemoved(sessionPath)); }},
  };
  for (const auto& [name, way] : ways) {
    auto monitor = started();
    logind_.announce("PrepareForShutdown", {false});  // a cancelled shutdown is nothing
    logind_.announce("SessionRemoved", sessionRemoved("/org/freedesktop/login1/session/_32"));  // nor another's end
    way();
    ASSERT_TRUE(waitForEvents(1)) << name;
    for (const auto& other : ways) other.second();
    testing::waitUntil([] { return false; }, std::chrono::milliseconds(200));  // anything more would show now
    EXPECT_EQ(events_, (std::vector<std::string>{"terminate"})) << name;
  }
}

}  // namespace
}  // namespace hollin
