// The notifier against a real notification service: dunst under Xvfb on a private session bus,
// all started here. dunst's context menu is answered by a script and every notice it receives
// is logged, so what arrived (id, urgency, title, body, actions) is read back from dunst itself.
#include <gtest/gtest.h>

#include "TestSupport.h"
#include "app/notify/DBusNotifier.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using testing::waitUntil;

// A notifier on a desktop of its own, with its clocks and the desktop programs it opened under
// the test's control.
class NotifierTest : public ::testing::Test {
 protected:
  void SetUp() override { start(true); }
  // The desktop, with a notification service or without, and the notifier on it.
  void start(bool withService) {
    for (const char* program : {"dbus-daemon", "Xvfb", "dunst", "dunstctl"})
      if (!testing::installed(program)) GTEST_SKIP() << program << " is not installed";
    testing::ensureApplication();
    ASSERT_TRUE(bus_.running()) << "dbus-daemon did not start";
    if (withService) {
      ASSERT_FALSE(display_.display().isEmpty()) << "Xvfb did not start";
      dunst_ = std::make_unique<testing::NotificationService>(display_.display(), bus_);
      ASSERT_TRUE(dunst_->ready());
    }
    notifier_ = std::make_unique<DBusNotifier>(
        QDBusConnection::connectToBus(bus_.address(), connection),
        NotifierEnvironment{me, [this] { return console; }, [this] { return now; }, [] { return 1000.0; }, {me, other},
                            [this](DesktopTool tool) { opened.push_back(tool); return true; }, monitorInstalled});
    QObject::connect(notifier_.get(), &Notifier::stateRefreshed, [this] { ++refreshes; });
    QObject::connect(notifier_.get(), &Notifier::answered, [this] { ++answers; });
    EXPECT_FALSE(notifier_->notificationsAllowed()) << "nothing is allowed before the first look";
    refresh();
  }
  void TearDown() override { notifier_.reset(); QDBusConnection::disconnectFromBus(connection); }

  std::vector<QStringList> received() const { return dunst_->received(); }
  // dunstctl with its arguments; its output.
  QString control(const QStringList& arguments) const {
    QProcess control;
    control.setProcessEnvironment(testing::desktopEnvironment({}, bus_.address()));
    control.start("dunstctl", arguments);
    // dunstctl waits for the context menu script; the event loop must keep running meanwhile.
    waitUntil([&] { return control.state() == QProcess::NotRunning; });
    return QString::fromUtf8(control.readAllStandardOutput()).trimmed();
  }
  // Opens the context menu, whose script chooses the first line containing `wanted`; returns
  // the menu offered.
  QString chooseFromMenu(const QString& wanted) const {
    dunst_->write("want", wanted.toUtf8());
    QFile menu(dunst_->path("menu.txt"));
    menu.remove();
    control({"context"});
    // dunst runs the menu script after dunstctl has returned.
    waitUntil([&] { return menu.size() > 0; });
    return menu.open(QIODevice::ReadOnly) ? QString::fromUtf8(menu.readAll()) : QString();
  }
  // A forced refresh, waited for.
  void refresh() {
    const int before = refreshes;
    notifier_->refreshNotificationState(true);
    ASSERT_TRUE(waitUntil([&] { return refreshes > before; }));
  }
  // Posts and waits for the answer and, when accepted, for dunst to log the notice; nothing when
  // notify declined.
  std::optional<bool> post(const std::string& id, const std::string& title, bool urgent = false) {
    std::optional<bool> accepted;
    const std::size_t before = dunst_ ? received().size() : 0;
    if (!notifier_->notify(id, title, "body of " + title, urgent, [&](bool a) { accepted = a; })) return std::nullopt;
    waitUntil([&] { return accepted.has_value(); });
    if (accepted == true) {
      EXPECT_TRUE(waitUntil([&] { return received().size() > before; })) << title << " never reached dunst";
    }
    return accepted;
  }

  const std::uint32_t me = static_cast<std::uint32_t>(::getuid()), other = me + 1;
  const QString connection = "notifier-test";
  std::uint32_t console = me;
  bool monitorInstalled = true;
  WallTime now = WallTime{} + 1'796'000'000s;
  std::vector<DesktopTool> opened;
  int refreshes = 0, answers = 0;
  testing::PrivateBus bus_;
  testing::PrivateDisplay display_;
  std::unique_ptr<testing::NotificationService> dunst_;
  std::unique_ptr<DBusNotifier> notifier_;
};

TEST_F(NotifierTest, NoticesArriveReplaceByIdentifierAnswerTheirActionsAndKeepToTheMuteAndTheConsole) {
  EXPECT_EQ(notifier_->authorization(), NotificationAuthorization::authorized);
  EXPECT_EQ(notifier_->notificationDiagnostics()["service"]["name"], "dunst");
  int muteChanges = 0, shown = 0;
  QObject::connect(notifier_.get(), &Notifier::muteChanged, [&] { ++muteChanges; });
  QObject::connect(notifier_.get(), &Notifier::analysisRequested, [&] { ++shown; });

  // received().at(): a notice that never arrived fails the test rather than reading past the end.
  EXPECT_EQ(post("memory-warning", "first"), true);
  const QStringList first = received().at(0);
  EXPECT_EQ(first.mid(1), (QStringList{"NORMAL", "first", "body of first"}));
  EXPECT_EQ(post("memory-warning", "second"), true);
  EXPECT_EQ(received().at(1)[0], first[0]) << "same identifier, same notice";
  EXPECT_EQ(control({"count", "displayed"}), "1");
  EXPECT_EQ(post("memory-critical", "urgent", true), true);
  EXPECT_EQ(received().at(2)[1], "CRITICAL");
  EXPECT_NE(received().at(2)[0], first[0]);

  // The context menu offers each notice's actions; choosing one is answered.
  const QString menu = chooseFromMenu("mute-ten-minutes]");
  for (const char* action : {"open-activity-monitor]", "mute-ten-minutes]", "default]"})
    EXPECT_TRUE(menu.contains(action)) << action << " missing from\n" << menu.toStdString();
  ASSERT_TRUE(waitUntil([&] { return muteChanges == 1; }));
  EXPECT_EQ(notifier_->mutedUntil(), now + 600s);
  chooseFromMenu("open-activity-monitor]");
  ASSERT_TRUE(waitUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(opened, std::vector{DesktopTool::systemMonitor});
  EXPECT_EQ(shown, 0);
  control({"action", "0"});
  ASSERT_TRUE(waitUntil([&] { return shown == 1; }));
  EXPECT_EQ(muteChanges, 1);

  // The mute and the console reach the posting rules (whose rows are NotificationRules'): muted,
  // a warning is held; resumed, it passes; with another account at the console, nothing does.
  EXPECT_EQ(post("memory-warning", "held"), std::nullopt);
  notifier_->resumeNotices();
  EXPECT_EQ(post("memory-warning", "after"), true);
  console = other;  // fast user switching: this account is in the background
  EXPECT_EQ(post("memory-critical", "background", true), std::nullopt);
  QCoreApplication::processEvents();
  EXPECT_EQ(received().size(), 4u);
  EXPECT_EQ(received().at(3)[2], "after");
  EXPECT_EQ(answers, 4) << "a declined posting has no answer";
}

// Without a system monitor installed.
struct NotifierWithoutSystemMonitorTest : NotifierTest {
  NotifierWithoutSystemMonitorTest() { monitorInstalled = false; }
};

TEST_F(NotifierWithoutSystemMonitorTest, HangNoticesOfferNoMonitorAreListedUntilClosedAndAServiceGoneRefuses) {
  const std::string mine = "hang-" + std::to_string(me) + "-42-7";
  ASSERT_EQ(post(mine, "hang"), true);
  ASSERT_EQ(post("hang-" + std::to_string(me + 50) + "-43-7", "another hang"), true);  // dunst merges equal texts
  const QString menu = chooseFromMenu("no such action");
  EXPECT_TRUE(menu.contains("mute-ten-minutes]")) << menu.toStdString();
  EXPECT_FALSE(menu.contains("open-activity-monitor]")) << menu.toStdString();
  refresh();
  const Json present = notifier_->notificationDiagnostics()["hangNoticesPresentInNotificationCenter"];
  ASSERT_EQ(present.size(), 1u) << "only the accounts this scope watches";
  EXPECT_EQ(present[0]["sourceUID"], me);

  control({"close-all"});
  ASSERT_TRUE(waitUntil([&] {
    refresh();
    return notifier_->notificationDiagnostics()["hangNoticesPresentInNotificationCenter"].empty();
  }));

  // The service went away after the last look: the request is refused, and the answer says why.
  dunst_->stop();
  EXPECT_EQ(post(mine, "refused"), false);
  const Json refused = notifier_->lastNotificationSubmission();
  EXPECT_EQ(refused["errorDomain"], "org.freedesktop.DBus.Error.ServiceUnknown");
  EXPECT_EQ(refused["errorCode"], static_cast<int>(QDBusError::ServiceUnknown));
  EXPECT_TRUE(waitUntil([&] { return !notifier_->notificationsAllowed(); }));
}

struct NotifierWithoutServiceTest : NotifierTest {
  void SetUp() override { start(false); }
};

TEST_F(NotifierWithoutServiceTest, NothingIsPostedAndTheDesktopSettingsOpenInstead) {
  EXPECT_EQ(notifier_->authorization(), NotificationAuthorization::denied);
  EXPECT_FALSE(notifier_->notificationsAllowed());
  EXPECT_EQ(post("memory-critical", "critical", true), std::nullopt);
  EXPECT_TRUE(notifier_->lastNotificationSubmission().empty());

  notifier_->requestNotifications();  // no service to ask: the desktop's settings open instead
  EXPECT_EQ(opened, std::vector{DesktopTool::notificationSettings});
  EXPECT_TRUE(waitUntil([&] { return refreshes == 2; })) << "and the state is looked at again";
}

}  // namespace
}  // namespace hollin
