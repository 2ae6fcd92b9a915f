// The notifier against a real notification service: dunst under Xvfb on a private session bus,
// all started here. dunst's context menu is answered by a script and every notice it receives
// is logged, so what arrived (title, body, urgency, actions) is read back from dunst itself.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>

#include <chrono>
#include <vector>

#include "TestSupport.h"
#include "app/notify/DBusNotifier.h"
#include "core/health/HealthRecord.h"

#include <nlohmann/json.hpp>

namespace hollin {
namespace {

using namespace std::chrono_literals;
using testing::ensureApplication;
using testing::waitUntil;

// dunst on a display and bus of its own. Its context menu is answered by a script and every
// notice it receives is logged, so what arrived (id, urgency, title, body) is read back from it.
class Desktop {
 public:
  explicit Desktop(bool withService) {
    if (!bus_.running()) return;
    ready_ = true;
    if (!withService) return;
    for (const char* name : {"dunstrc", "pick.sh", "record.sh"}) installFixture(QString::fromLatin1(name));
    if (display_.display().isEmpty()) {
      ready_ = false;
      return;
    }
    dunst_ = std::make_unique<testing::DesktopProgram>("dunst", QStringList{"-config", path("dunstrc")},
                                                      display_.display(), bus_.address());
    // Ready once it owns the service name.
    QDBusConnection probe = bus_.connect(QStringLiteral("dunst-probe"));
    ready_ = waitUntil([&] {
      return probe.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")).value();
    });
    QDBusConnection::disconnectFromBus(QStringLiteral("dunst-probe"));
  }

  bool ready() const { return ready_; }
  void stopService() { dunst_->stop(); }
  QString address() const { return bus_.address(); }

  std::vector<QStringList> received() const {
    std::vector<QStringList> lines;
    QFile file(path("received.txt"));
    if (!file.open(QIODevice::ReadOnly)) return lines;
    for (const QByteArray& line : file.readAll().split('\n'))
      if (!line.isEmpty()) lines.push_back(QString::fromUtf8(line).split(QLatin1Char('\t')));
    return lines;
  }
  bool waitForReceived(std::size_t count) const {
    return waitUntil([&] { return received().size() >= count; });
  }
  // dunstctl with its arguments; its output.
  QString control(const QStringList& arguments) const {
    QProcess control;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus_.address());
    control.setProcessEnvironment(environment);
    control.start(QStringLiteral("dunstctl"), arguments);
    // dunstctl waits for the context menu script; the event loop must keep running meanwhile.
    waitUntil([&] { return control.state() == QProcess::NotRunning; });
    return QString::fromUtf8(control.readAllStandardOutput()).trimmed();
  }
  // Opens the context menu, whose script chooses the first line containing `wanted`; returns
  // the menu offered.
  QString chooseFromMenu(const QString& wanted) const {
    write(QStringLiteral("want"), wanted.toUtf8());
    QFile menu(path("menu.txt"));
    menu.remove();
    control({QStringLiteral("context")});
    // dunst runs the menu script after dunstctl has returned.
    waitUntil([&] { return menu.size() > 0; });
    return menu.open(QIODevice::ReadOnly) ? QString::fromUtf8(menu.readAll()) : QString();
  }

 private:
  QString path(const QString& name) const { return folder_.filePath(name); }
  void write(const QString& name, const QByteArray& content) const {
    QFile file(path(name));
    if (file.open(QIODevice::WriteOnly)) file.write(content);
  }
  // The fixture's configuration and scripts, pointed at this folder.
  void installFixture(const QString& name) {
    QFile source(QStringLiteral(HOLLIN_FIXTURES_DIR "/notify/") + name);
    if (!source.open(QIODevice::ReadOnly)) return;
    write(name, source.readAll().replace("@FOLDER@", folder_.path().toUtf8()));
    QFile::setPermissions(path(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  }

  QTemporaryDir folder_;
  testing::PrivateBus bus_;
  testing::PrivateDisplay display_;
  std::unique_ptr<testing::DesktopProgram> dunst_;
  bool ready_ = false;
};

// A notifier on a desktop, with its clocks and the desktop programs it opened under the test's
// control.
class NotifierTest : public ::testing::Test {
 protected:
  void start(bool withService) {
    for (const char* program : {"dbus-daemon", "Xvfb", "dunst", "dunstctl"})
      if (!testing::installed(program)) GTEST_SKIP() << program << " is not installed";
    ensureApplication();
    desktop_ = std::make_unique<Desktop>(withService);
    ASSERT_TRUE(desktop_->ready()) << "the private desktop did not start";
    NotifierEnvironment environment{me, [this] { return console; }, [this] { return now; },
                                    [this] { return uptime; }, {me, other},
                                    [this](DesktopTool tool) { opened.push_back(tool); return true; },
                                    monitorInstalled};
    notifier_ = std::make_unique<DBusNotifier>(QDBusConnection::connectToBus(desktop_->address(), connection),
                                               std::move(environment));
    QObject::connect(notifier_.get(), &Notifier::stateRefreshed, [this] { ++refreshes; });
    QObject::connect(notifier_.get(), &Notifier::answered, [this] { ++answers; });
  }
  void TearDown() override {
    notifier_.reset();
    QDBusConnection::disconnectFromBus(connection);
    desktop_.reset();
  }

  // A forced refresh, waited for.
  void refresh() {
    const int before = refreshes;
    notifier_->refreshNotificationState(true);
    ASSERT_TRUE(waitUntil([&] { return refreshes > before; }));
  }
  // Posts and waits for the answer; nothing when notify declined.
  std::optional<bool> post(const std::string& id, const std::string& title, bool urgent = false) {
    std::optional<bool> accepted;
    if (!notifier_->notify(id, title, "body of " + title, urgent, [&](bool a) { accepted = a; }))
      return std::nullopt;
    waitUntil([&] { return accepted.has_value(); });
    return accepted;
  }

  const std::uint32_t me = static_cast<std::uint32_t>(::getuid());
  const std::uint32_t other = me + 1;
  const QString connection = QStringLiteral("notifier-test");
  std::uint32_t console = me;
  bool monitorInstalled = true;
  WallTime now = WallTime{} + 1'796'000'000s;
  double uptime = 1000;
  std::vector<DesktopTool> opened;
  int refreshes = 0, answers = 0;
  std::unique_ptr<Desktop> desktop_;
  std::unique_ptr<DBusNotifier> notifier_;
};

TEST_F(NotifierTest, MemoryNoticeArrivesWithItsActionsAndTheSameIdentifierReplacesIt) {
  start(true);
  if (IsSkipped()) return;
  EXPECT_FALSE(notifier_->notificationsAllowed()) << "nothing is allowed before the first look";
  refresh();
  EXPECT_EQ(notifier_->authorization(), NotificationAuthorization::authorized);
  const Json diagnostics = notifier_->notificationDiagnostics();
  EXPECT_EQ(diagnostics["authorizationStatus"], 2);
  EXPECT_EQ(diagnostics["alertSetting"], 2);
  EXPECT_EQ(diagnostics["service"]["name"], "dunst");

  EXPECT_EQ(post("memory-warning", "first"), true);
  ASSERT_TRUE(desktop_->waitForReceived(1));
  const QStringList first = desktop_->received()[0];
  EXPECT_EQ(first[1], "NORMAL");
  EXPECT_EQ(first[2], "first");
  EXPECT_EQ(first[3], "body of first");
  const Json submission = notifier_->lastNotificationSubmission();
  EXPECT_EQ(submission["kind"], "memory");
  EXPECT_EQ(submission["accepted"], true);
  EXPECT_EQ(submission["requestedAt"], iso8601(now));
  EXPECT_FALSE(submission.contains("errorDomain"));
  EXPECT_EQ(answers, 1);

  // The context menu lists the notice's actions with their titles.
  const QString menu = desktop_->chooseFromMenu(QStringLiteral("no such action"));
  for (const char* action : {"open-activity-monitor]", "mute-ten-minutes]", "default]"})
    EXPECT_TRUE(menu.contains(QString::fromUtf8(action))) << action << " missing from\n" << menu.toStdString();

  EXPECT_EQ(post("memory-warning", "second"), true);
  ASSERT_TRUE(desktop_->waitForReceived(2));
  EXPECT_EQ(desktop_->received()[1][0], first[0]) << "same identifier, same notice";
  EXPECT_EQ(desktop_->control({QStringLiteral("count"), QStringLiteral("displayed")}), "1");

  EXPECT_EQ(post("memory-critical", "urgent", true), true);
  ASSERT_TRUE(desktop_->waitForReceived(3));
  EXPECT_EQ(desktop_->received()[2][1], "CRITICAL");
  EXPECT_NE(desktop_->received()[2][0], first[0]);
}

TEST_F(NotifierTest, WithoutASystemMonitorNoNoticeOffersToOpenOne) {
  monitorInstalled = false;
  start(true);
  if (IsSkipped()) return;
  refresh();
  ASSERT_EQ(post("memory-warning", "first"), true);
  const QString menu = desktop_->chooseFromMenu(QStringLiteral("no such action"));
  EXPECT_TRUE(menu.contains("mute-ten-minutes]")) << menu.toStdString();
  EXPECT_FALSE(menu.contains("open-activity-monitor]")) << menu.toStdString();
}

TEST_F(NotifierTest, ActionMutesForTenMinutesAndAClickShowsTheWindow) {
  start(true);
  if (IsSkipped()) return;
  refresh();
  int muteChanges = 0, shown = 0;
  QObject::connect(notifier_.get(), &Notifier::muteChanged, [&] { ++muteChanges; });
  QObject::connect(notifier_.get(), &Notifier::analysisRequested, [&] { ++shown; });

  ASSERT_EQ(post("memory-early", "growing"), true);
  desktop_->chooseFromMenu(QStringLiteral("mute-ten-minutes]"));
  ASSERT_TRUE(waitUntil([&] { return muteChanges == 1; }));
  EXPECT_EQ(notifier_->mutedUntil(), now + 600s);
  EXPECT_EQ(shown, 0);

  desktop_->chooseFromMenu(QStringLiteral("open-activity-monitor]"));
  ASSERT_TRUE(waitUntil([&] { return !opened.empty(); }));
  EXPECT_EQ(opened, std::vector{DesktopTool::systemMonitor});

  desktop_->control({QStringLiteral("action"), QStringLiteral("0")});
  ASSERT_TRUE(waitUntil([&] { return shown == 1; }));
  EXPECT_EQ(muteChanges, 1);
}

TEST_F(NotifierTest, MutePassesOnlyUrgentNoticesAndOnlyTheConsoleAccountPosts) {
  start(true);
  if (IsSkipped()) return;
  refresh();
  notifier_->muteNotices(3600);
  EXPECT_EQ(notifier_->mutedUntil(), now + 3600s);
  EXPECT_EQ(post("memory-warning", "warning"), std::nullopt);
  EXPECT_EQ(post("memory-critical", "critical", true), true);
  ASSERT_TRUE(desktop_->waitForReceived(1));
  EXPECT_EQ(desktop_->received()[0][2], "critical");

  now += 3601s;  // the mute ends by itself
  EXPECT_EQ(post("memory-warning", "after"), true);
  notifier_->muteNotices(300);
  notifier_->resumeNotices();
  EXPECT_EQ(notifier_->mutedUntil(), distantPast);

  console = other;  // fast user switching: this account is in the background
  EXPECT_EQ(post("memory-critical", "background", true), std::nullopt);
  ASSERT_TRUE(desktop_->waitForReceived(2));
  QCoreApplication::processEvents();
  EXPECT_EQ(desktop_->received().size(), 2u);
  EXPECT_EQ(answers, 2) << "a declined posting has no answer";
}

TEST_F(NotifierTest, HangNoticesAreListedUntilTheServiceClosesThem) {
  start(true);
  if (IsSkipped()) return;
  refresh();
  const std::string mine = "hang-" + std::to_string(me) + "-42-7";
  const std::string stranger = "hang-" + std::to_string(me + 50) + "-43-7";
  ASSERT_EQ(post(mine, "hang"), true);
  EXPECT_EQ(notifier_->lastNotificationSubmission()["sourceUID"], me);
  ASSERT_EQ(post(stranger, "another hang"), true);  // dunst merges notices of the same text
  EXPECT_FALSE(notifier_->lastNotificationSubmission().contains("sourceUID"));
  refresh();
  const Json present = notifier_->notificationDiagnostics()["hangNoticesPresentInNotificationCenter"];
  ASSERT_EQ(present.size(), 1u) << "only the accounts this scope watches";
  EXPECT_EQ(present[0]["sourceUID"], me);

  desktop_->control({QStringLiteral("close-all")});
  ASSERT_TRUE(waitUntil([&] {
    refresh();
    return notifier_->notificationDiagnostics()["hangNoticesPresentInNotificationCenter"].empty();
  }));

  // The service went away after the last look: the request is refused, and the answer says why.
  desktop_->stopService();
  EXPECT_EQ(post(mine, "refused"), false);
  const Json refused = notifier_->lastNotificationSubmission();
  EXPECT_EQ(refused["accepted"], false);
  EXPECT_EQ(refused["errorDomain"], "org.freedesktop.DBus.Error.ServiceUnknown");
  EXPECT_EQ(refused["errorCode"], static_cast<int>(QDBusError::ServiceUnknown));
  EXPECT_EQ(refused["sourceUID"], me);
  EXPECT_TRUE(waitUntil([&] { return !notifier_->notificationsAllowed(); }));
}

TEST_F(NotifierTest, WithoutAServiceNothingIsPostedAndTheStateSaysWhy) {
  start(false);
  if (IsSkipped()) return;
  refresh();
  EXPECT_EQ(notifier_->authorization(), NotificationAuthorization::denied);
  EXPECT_FALSE(notifier_->notificationsAllowed());
  const Json diagnostics = notifier_->notificationDiagnostics();
  EXPECT_EQ(diagnostics["authorizationStatus"], 1);
  EXPECT_EQ(diagnostics["alertSetting"], 1);
  EXPECT_FALSE(diagnostics.contains("service"));
  EXPECT_EQ(post("memory-critical", "critical", true), std::nullopt);
  EXPECT_TRUE(notifier_->lastNotificationSubmission().empty());

  notifier_->requestNotifications();  // no service to ask: the desktop's settings open instead
  EXPECT_EQ(opened, std::vector{DesktopTool::notificationSettings});
  ASSERT_TRUE(waitUntil([&] { return refreshes == 2; }));
  EXPECT_EQ(notifier_->authorization(), NotificationAuthorization::denied);
}

}  // namespace
}  // namespace hollin
