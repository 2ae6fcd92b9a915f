#include "app/platform/LoginMonitor.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDBusMessage>
#include <QDBusVariant>
#include <QDBusVirtualObject>

#include <vector>

namespace hollin {
namespace {

const QString managerPath = "/org/freedesktop/login1";
const QString sessionPath = "/org/freedesktop/login1/session/_31";

// Just enough of logind: GetSession answers one session, whose properties say it is active.
class FakeLogind : public QDBusVirtualObject {
 public:
  bool answerSessions = true;
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    if (message.member() == "GetSession" && answerSessions) {
      connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(sessionPath))));
    } else if (message.member() == "GetAll") {
      QVariantMap properties{{"Active", true}, {"State", "active"}};
      connection.send(message.createReply(QVariant::fromValue(properties)));
    } else {
      connection.send(message.createErrorReply("org.freedesktop.login1.NoSuchSession", "none"));
    }
    return true;
  }
  QString introspect(const QString&) const override { return {}; }
};

class LoginMonitorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureApplication();
    if (!bus_.running()) GTEST_SKIP() << "dbus-daemon could not be started";
    service_ = bus_.connect("logind-" + QString::number(++round_));
    ASSERT_TRUE(service_.registerVirtualObject(managerPath, &logind_, QDBusConnection::SubPath));
    ASSERT_TRUE(service_.registerService("org.freedesktop.login1"));
    client_ = bus_.connect("client-" + QString::number(round_));
  }
  void TearDown() override {
    QDBusConnection::disconnectFromBus(client_.name());
    QDBusConnection::disconnectFromBus(service_.name());
  }
  void emitManager(const char* name, const QVariantList& arguments) {
    auto signal = QDBusMessage::createSignal(managerPath, "org.freedesktop.login1.Manager", name);
    signal.setArguments(arguments);
    service_.send(signal);
  }
  void emitSession(const QVariantMap& changed, const QStringList& invalidated = {}) {
    auto signal = QDBusMessage::createSignal(sessionPath, "org.freedesktop.DBus.Properties", "PropertiesChanged");
    signal << QString("org.freedesktop.login1.Session") << changed << invalidated;
    service_.send(signal);
  }
  // Records the monitor's signals as short words, in order.
  void record(LoginMonitor& monitor) {
    QObject::connect(&monitor, &LoginMonitor::willSleep, [this] { events_.push_back("sleep"); });
    QObject::connect(&monitor, &LoginMonitor::didWake, [this] { events_.push_back("wake"); });
    QObject::connect(&monitor, &LoginMonitor::willTerminate, [this] { events_.push_back("terminate"); });
    QObject::connect(&monitor, &LoginMonitor::sessionActiveChanged,
                     [this](bool active) { events_.push_back(active ? "active" : "inactive"); });
  }
  bool startAndWait(LoginMonitor& monitor) {
    bool ready = false;
    QObject::connect(&monitor, &LoginMonitor::ready, [&] { ready = true; });
    return monitor.start() && testing::waitUntil([&] { return ready; });
  }
  bool waitForEvents(std::size_t count) {
    return testing::waitUntil([&] { return events_.size() >= count; }, std::chrono::seconds(3));
  }

  static inline int round_ = 0;
  testing::PrivateBus bus_;
  FakeLogind logind_;
  QDBusConnection service_{QString()};
  QDBusConnection client_{QString()};
  std::vector<std::string> events_;
};

TEST_F(LoginMonitorTest, SleepWakeAndSessionSwitchesInOrder) {
  LoginMonitor monitor(client_);
  record(monitor);
  ASSERT_TRUE(startAndWait(monitor));
  EXPECT_EQ(monitor.sessionPath(), sessionPath);
  EXPECT_EQ(monitor.sessionActive(), true);  // the starting state is read, not announced

  emitManager("PrepareForSleep", {true});
  emitManager("PrepareForSleep", {false});
  emitSession({{"Active", false}});
  emitSession({{"Active", false}});  // no change, no event
  emitSession({{"Active", true}});
  ASSERT_TRUE(waitForEvents(4));
  EXPECT_EQ(events_, (std::vector<std::string>{"sleep", "wake", "inactive", "active"}));
}

TEST_F(LoginMonitorTest, ShutdownOrLogOutTerminatesOnce) {
  LoginMonitor monitor(client_);
  record(monitor);
  ASSERT_TRUE(startAndWait(monitor));
  emitManager("PrepareForShutdown", {false});  // a cancelled shutdown is nothing
  emitManager("SessionRemoved", {QString("32"), QVariant::fromValue(QDBusObjectPath("/org/freedesktop/login1/session/_32"))});
  emitSession({{"State", "closing"}});
  emitManager("PrepareForShutdown", {true});
  ASSERT_TRUE(waitForEvents(1));
  testing::waitUntil([] { return false; }, std::chrono::milliseconds(200));  // anything more would show now
  EXPECT_EQ(events_, (std::vector<std::string>{"terminate"}));
}

TEST_F(LoginMonitorTest, RemovalOfOwnSessionTerminates) {
  LoginMonitor monitor(client_);
  record(monitor);
  ASSERT_TRUE(startAndWait(monitor));
  emitManager("SessionRemoved", {QString("31"), QVariant::fromValue(QDBusObjectPath(sessionPath))});
  ASSERT_TRUE(waitForEvents(1));
  EXPECT_EQ(events_, (std::vector<std::string>{"terminate"}));
}

TEST_F(LoginMonitorTest, WithoutASessionSleepIsStillObserved) {
  logind_.answerSessions = false;
  LoginMonitor monitor(client_);
  record(monitor);
  ASSERT_TRUE(startAndWait(monitor));
  EXPECT_EQ(monitor.sessionActive(), std::nullopt);
  emitManager("PrepareForSleep", {true});
  ASSERT_TRUE(waitForEvents(1));
  EXPECT_EQ(events_, (std::vector<std::string>{"sleep"}));
}

TEST(LoginMonitor, DisconnectedBusObservesNothing) {
  testing::ensureApplication();
  LoginMonitor monitor(QDBusConnection::connectToBus("unix:path=/nonexistent/bus", "nowhere"));
  EXPECT_FALSE(monitor.start());
}

}  // namespace
}  // namespace hollin
