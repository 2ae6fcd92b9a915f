// Hang detection on a real desktop of the test's own: Xvfb, a window manager, a private session
// bus with the accessibility bus of at-spi2-core, and a small application whose main thread the
// test stops.
#include <gtest/gtest.h>

#include <signal.h>

#include "TestSupport.h"
#include "app/AppController.h"
#include "app/accounts/AccountsSubsystem.h"
#include "app/notify/DBusNotifier.h"
#include "app/notify/NotificationsSubsystem.h"
#include "app/platform/LoggingPresenter.h"
#include "app/response/LiveWorkspace.h"
#include "app/response/ProbePass.h"
#include "app/response/ResponseSubsystem.h"
#include "app/sampling/LiveSampling.h"
#include "core/L10n.h"
#include "native/Desktop.h"
#include "native/NativeMetrics.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

constexpr const char* launcher = "/usr/libexec/at-spi-bus-launcher";
const ProbeCommand worker{HOLLIN_BINARY_DIR "/src/app/hollin", {"--probe-worker"}};

// A program on the test's desktop, given its own environment.
class Program : public testing::Child {
 public:
  Program(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment) {
    process_.setProcessEnvironment(environment);
    process_.start(program, arguments);
  }
  QProcess& process() { return process_; }
  std::int32_t pid() const { return static_cast<std::int32_t>(process_.processId()); }
  // Its identity, noting the account it runs as in `owner`.
  AppIdentity identity() {
    std::uint64_t start = 0;
    hl_identity(pid(), &owner, &start);
    return {pid(), start};
  }
  std::uint32_t owner = 0;
  // "block <seconds>": its main thread stops answering for that long.
  void block(int seconds) {
    process_.write(QByteArray("block ") + QByteArray::number(seconds) + "\n");
    process_.waitForBytesWritten(1000);
  }
};

class ResponseDesktopTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* program : {"dbus-daemon", "Xvfb", "openbox", "xprop", launcher})
      if (!testing::installed(program) && !QFile::exists(program)) GTEST_SKIP() << program << " is not installed";
    testing::ensureApplication();
    ASSERT_TRUE(bus_.running());
    ASSERT_FALSE(display_.display().isEmpty());
    display_variable_.emplace("DISPLAY", display_.display().toLatin1().constData());
    bus_variable_.emplace("DBUS_SESSION_BUS_ADDRESS", bus_.address().toUtf8().constData());
    // Without dconf on the private bus, the launcher keeps the switch in memory.
    auto environment = testing::desktopEnvironment(display_.display(), bus_.address());
    environment.insert("GSETTINGS_BACKEND", "memory");
    launcher_ = std::make_unique<Program>(launcher, QStringList{}, environment);
    windowManager_ = std::make_unique<Program>("openbox", QStringList{}, environment);
    QDBusConnection probe = bus_.connect("launcher-probe");
    ASSERT_TRUE(testing::waitUntil([&] { return probe.interface()->isServiceRegistered("org.a11y.Bus").value(); }));
    QDBusConnection::disconnectFromBus("launcher-probe");
    ASSERT_TRUE(native::AccessibilityBus::enable(2000ms));
    // A window mapped before the window manager is ready stays unmanaged.
    ASSERT_TRUE(testing::waitUntil([&] {
      return testing::runToEnd("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}, environment).output.contains("window id");
    }, 10s)) << windowManager_->process().readAllStandardError().toStdString();
  }

  // The test application; with `accessible` false it has no session bus, so the accessibility
  // bus never hears of it and only its window can be asked.
  std::unique_ptr<Program> startApp(bool accessible = true) {
    auto environment = testing::desktopEnvironment(display_.display(), accessible ? bus_.address() : "unix:path=/nonexistent");
    environment.insert("QT_QPA_PLATFORM", "xcb");  // this test program itself runs offscreen
    auto app = std::make_unique<Program>(HOLLIN_BINARY_DIR "/tests/hollin-test-responsive-app", QStringList{}, environment);
    EXPECT_TRUE(app->process().waitForReadyRead(10000) && app->process().readLine().startsWith("shown"));
    // Ready once the window manager manages its window, it is the active window's application and
    // it is listed by its class (WM_CLASS, never the window's title).
    // A loaded machine can start the application so late that the window manager no longer hands
    // it the focus by itself; after a while it is asked to, as a pager would.
    LiveWorkspace workspace;
    Workspace read;
    const auto began = std::chrono::steady_clock::now();
    EXPECT_TRUE(testing::waitUntil([&] {
      read = workspace.read();
      if (read.frontmost != app->pid() && std::chrono::steady_clock::now() - began > 3s)
        QProcess::execute("xdotool", {"search", "--onlyvisible", "--pid", QString::number(app->pid()), "windowactivate"});
      return read.frontmost == app->pid() &&
             std::any_of(read.applications.begin(), read.applications.end(), [&](const RunningApplication& listed) {
               return listed.pid == app->pid() && listed.name == "hollin-test-responsive-app";
             });
    }, 10s)) << "frontmost " << read.frontmost.value_or(0) << ", " << read.applications.size() << " listed";
    return app;
  }

  static std::vector<ProbeOutcome> ask(const std::vector<AppIdentity>& identities) {
    std::vector<ProbeRequest> requests;
    for (const auto& identity : identities) requests.push_back({identity, "app"});
    std::vector<ProbeOutcome> outcomes;
    runProbePass(worker, requests, {[] {}, [&](std::vector<ProbeResult> results, bool ok) {
                                      EXPECT_TRUE(ok);
                                      for (const auto& result : results) outcomes.push_back(result.outcome);
                                    }});
    return outcomes;
  }

  testing::PrivateBus bus_;
  testing::PrivateDisplay display_;
  std::optional<testing::ScopedVariable> display_variable_, bus_variable_;
  std::unique_ptr<Program> launcher_, windowManager_;
};

// Each application started is listed by its class and frontmost (startApp waits for that).
TEST_F(ResponseDesktopTest, TheWorkspaceListsAppsByClassAStoppedMainThreadFailsAndOthersCannotBeAsked) {
  const auto app = startApp();
  const auto windowOnly = startApp(false);
  LiveWorkspace live;
  EXPECT_TRUE(live.read().trusted);
  EXPECT_EQ(ask({app->identity(), windowOnly->identity()}),
            (std::vector{ProbeOutcome::responsive, ProbeOutcome::responsive}));

  app->block(5);
  windowOnly->block(5);
  // Asked again until both main threads have taken the command (a loaded machine is slow).
  EXPECT_TRUE(testing::waitUntil(
      [&] { return ask({app->identity(), windowOnly->identity()}) == std::vector{ProbeOutcome::failed, ProbeOutcome::failed}; },
      4s));
  ASSERT_TRUE(testing::waitUntil([&] { return ask({app->identity()}) == std::vector{ProbeOutcome::responsive}; }, 8s));

  ::kill(app->pid(), SIGSTOP);
  EXPECT_EQ(ask({app->identity()}), std::vector{ProbeOutcome::failed});
  ::kill(app->pid(), SIGCONT);

  // Another account's process, and a pid asked for with the start of an earlier life.
  Program stranger("setpriv", {"--reuid=65534", "--regid=65534", "--clear-groups", "--", "sleep", "30"},
                   QProcessEnvironment::systemEnvironment());
  ASSERT_TRUE(stranger.process().waitForStarted());
  ASSERT_TRUE(testing::waitUntil([&] { return stranger.identity().start != 0 && stranger.owner == 65534; }));
  AppIdentity replaced = app->identity();
  replaced.start -= 1'000'000;
  EXPECT_EQ(ask({stranger.identity(), replaced}), (std::vector{ProbeOutcome::unavailable, ProbeOutcome::unavailable}));

  // Switched off again, nothing is trusted any more (the worker then answers nothing).
  QDBusMessage off = QDBusMessage::createMethodCall("org.a11y.Bus", "/org/a11y/bus", "org.freedesktop.DBus.Properties", "Set");
  off << "org.a11y.Status" << "IsEnabled" << QVariant::fromValue(QDBusVariant(false));
  bus_.connect("switch").call(off);
  EXPECT_FALSE(live.read().trusted);
}

TEST_F(ResponseDesktopTest, AStuckApplicationIsSuspectedAndToldOnceAtARealNotificationServer) {
  if (!testing::installed("dunst")) GTEST_SKIP() << "dunst is not installed";
  testing::NotificationService dunst(display_.display(), bus_);
  ASSERT_TRUE(dunst.ready());
  const auto app = startApp();

  // The clocks are moved by hand: the wall clock stands 40 s ahead, so the new application counts
  // as settled, and uptime runs four times as fast, so 15 s of failures take under 4.
  const auto uptime = [began = std::chrono::steady_clock::now(), bootAt = hl_uptime()] {
    return bootAt + 4 * std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  };
  const auto me = static_cast<std::uint32_t>(::getuid());
  const auto take = [](std::span<const std::shared_ptr<SnapshotReader>> readers) {
    static const SnapshotSources sources = liveSnapshotSources();
    static SnapshotCache cache;
    return Snapshot::take(sources, cache, readers);
  };
  std::vector<std::string> notices;
  const ControllerEnvironment environment{
      .take = take, .uptime = uptime, .wallNow = [] { return std::chrono::system_clock::now() + 40s; },
      .consoleUID = [me] { return me; }, .uid = me, .pid = ::getpid(), .scope = {}, .dataFolder = {},
      .widgetFolder = {}, .tickInterval = 500ms,
      .log = [&](const std::string& line) { if (line.starts_with("notice hang-")) notices.push_back(line); }};
  DBusNotifier notifier(QDBusConnection::connectToBus(bus_.address(), "response-notices"),
                        {me, [me] { return me; }, [] { return std::chrono::system_clock::now(); }, uptime, {me},
                         [](DesktopTool) { return false; }, false});
  LoggingPresenter presenter([](const std::string&) {});
  MemorySettings settings;
  AppController controller(environment, presenter, settings);
  const Services services = controller.services(&notifier);
  controller.add(std::make_unique<NotificationsSubsystem>(services));
  // The live workspace, but this test program is no worker: the real program is.
  auto response = std::make_unique<ResponseSubsystem>(services, ResponseSources{liveResponseSources().workspace, worker});
  ResponseSubsystem& watch = *response;
  controller.add(std::move(response));
  controller.add(std::make_unique<AccountsSubsystem>(services));
  controller.start();

  const auto verdict = [&]() -> std::optional<AppResponse> {
    const auto found = watch.policy().apps().find(app->identity());
    return found == watch.policy().apps().end() ? std::nullopt : std::optional(found->second);
  };
  ASSERT_TRUE(testing::waitUntil([&] { return verdict() && verdict()->outcome == ProbeOutcome::responsive; }, 10s));
  EXPECT_TRUE(controller.moment().workerHealthy);

  app->block(10);
  ASSERT_TRUE(testing::waitUntil([&] { return verdict() && verdict()->suspected(); }, 8s));
  ASSERT_TRUE(testing::waitUntil([&] { return !dunst.received().empty(); }, 5s));
  // Still stuck for a while after the notice: told once all the same.
  testing::waitUntil([&] { return verdict() && verdict()->outcome == ProbeOutcome::responsive; }, 12s);
  EXPECT_EQ(verdict()->outcome, ProbeOutcome::responsive) << "answering again once the main thread is back";
  const auto received = dunst.received();
  ASSERT_EQ(received.size(), 1u);
  const std::string key = std::to_string(me) + "-" + std::to_string(app->pid()) + "-" + std::to_string(app->identity().start);
  ASSERT_EQ(notices.size(), 1u);
  EXPECT_TRUE(notices[0].starts_with("notice hang-" + key + ": ")) << notices[0];
  EXPECT_EQ(received[0][2].toStdString(), L10n::text(msg("応答が止まった疑いのあるアプリがあります")));
  controller.terminate();
}

}  // namespace
}  // namespace hollin
