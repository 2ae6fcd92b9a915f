// The widget host with a private data and configuration home. In this process: the reload
// marker in the shared folder moves every widget to the new summary (also when the folder only
// appears later), widgets added and removed from the menu are remembered, and removing the last
// one quits. As the real hollin-widgets, installed under a temporary prefix on an X display of
// its own with openbox: its windows sit below the others and out of the task bar, a drag is
// remembered, and a new build on disk ends it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QSignalSpy>

#include <signal.h>

#include <fstream>
#include <regex>

#include "WidgetTestSupport.h"
#include "core/BuildProfile.h"
#include "widgets/WidgetHost.h"

namespace hollin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using ::testing::UnorderedElementsAre;

void replaceFile(const fs::path& file, const std::string& content) {
  std::ofstream(file.string() + ".new") << content;
  fs::rename(file.string() + ".new", file);
}

class WidgetHostTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::widgetsApplication(); fs::create_directories(root_ / "data"); }
  // As the application asks for a reload: a new marker written aside and renamed over the old one.
  void requestReload() const { replaceFile(shared_ / WidgetSnapshot::reloadFileName, ""); }
  // As the application publishes: a minute-old summary in the shared folder, then a reload request.
  void publish() const {
    fs::create_directories(shared_);
    std::ofstream(shared_ / WidgetSnapshot::fileName) << encodeWidgetSnapshot(testing::fixtureSummary(std::chrono::system_clock::now(), 60s));
    requestReload();
  }

  QTemporaryDir folder_;
  const fs::path root_ = folder_.path().toStdString();
  const fs::path shared_ = root_ / "data" / std::string(AppGroupIdentifier);
  const QString settings_ = folder_.filePath("config/Hollin/Widgets.ini");
};

bool draws(const WidgetWindow* window, const std::string& text) {
  return std::ranges::any_of(window->view().layout().texts,
                             [&](const LaidText& laid) { return laid.text.toStdString() == text; });
}

TEST_F(WidgetHostTest, TheMarkerReloadsEveryWidgetAndTheMenuEditsTheRememberedList) {
  const UsageProvider provider({shared_ / WidgetSnapshot::fileName, root_, std::nullopt,
                                [] { return std::chrono::system_clock::now(); }, [] {}});
  WidgetHost host(provider, {shared_, settings_, "en"});
  QSignalSpy quit(&host, &WidgetHost::quitRequested);
  host.start();
  ASSERT_EQ(host.windows().size(), 1u) << "the default widget";

  // The shared folder appears with a summary; the marker makes the widgets read it.
  publish();
  EXPECT_TRUE(testing::waitUntil([&] { return draws(host.windows()[0], "66%"); }));

  emit host.windows()[0]->addRequested("HollinCPU", WidgetFamily::small);
  ASSERT_EQ(host.windows().size(), 2u);
  EXPECT_TRUE(draws(host.windows()[1], "37%")) << "a new widget reads the summary at once";
  const std::vector<ConfiguredWidget> stored = loadWidgets(settings_);
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0], (ConfiguredWidget{"HollinCombined", WidgetFamily::medium, stored[0].position}));
  EXPECT_EQ(stored[1], (ConfiguredWidget{"HollinCPU", WidgetFamily::small, stored[1].position}));
  EXPECT_TRUE(stored[0].position && stored[1].position && *stored[0].position != *stored[1].position);

  emit host.windows()[0]->removeRequested();
  ASSERT_EQ(host.windows().size(), 1u);
  EXPECT_EQ(loadWidgets(settings_), std::vector{stored[1]});
  EXPECT_EQ(quit.count(), 0);
  emit host.windows()[0]->removeRequested();
  EXPECT_EQ(quit.count(), 1) << "nothing left to show";
  EXPECT_EQ(loadWidgets(settings_), std::vector<ConfiguredWidget>{});
}

class WidgetProgramTest : public WidgetHostTest {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "openbox", "xprop", "xdotool"})
      if (!testing::installed(tool)) GTEST_SKIP() << tool << " is not installed";
    WidgetHostTest::SetUp();
    ASSERT_FALSE(display_.display().isEmpty());
    // The program and its data, laid out as an install under the temporary prefix.
    fs::create_directories(program_.parent_path());
    fs::copy_file(testing::builtProgram, program_);
    fs::create_directories(widgetDataDirectory(program_).parent_path());
    fs::copy(widgetDataDirectory(testing::builtProgram), widgetDataDirectory(program_), fs::copy_options::recursive);

    environment_ = testing::desktopEnvironment(display_.display(), "unix:path=/nonexistent");
    environment_.insert("HOME", folder_.path());
    environment_.insert("XDG_DATA_HOME", folder_.filePath("data"));
    environment_.insert("XDG_CONFIG_HOME", folder_.filePath("config"));
    environment_.insert("XDG_RUNTIME_DIR", folder_.path());  // the session's lock, away from any real session
    environment_.insert("QT_QPA_PLATFORM", "xcb");
    windowManager_ = std::make_unique<testing::DesktopProgram>("openbox", QStringList{}, display_.display(), "");
    ASSERT_TRUE(windowManager_->started());
    ASSERT_TRUE(testing::waitUntil([&] { return run("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id"); }, 10s));
  }

  void TearDown() override {
    if (!windowManager_) return;
    widgets_.terminate();
    widgets_.waitForFinished(2000);
    if (const pid_t successor = lockHolder()) ::kill(successor, SIGTERM);
  }

  // The process named by the session's lock when it runs the installed program, else 0: a new
  // build started in the program's place holds the lock.
  pid_t lockHolder() const {
    const QString lock = QString::fromStdString(testing::contents(folder_.filePath("hollin-widgets.lock").toStdString()));
    const QString pid = lock.section('\n', 0, 0);
    std::error_code error;
    return fs::read_symlink("/proc/" + pid.toStdString() + "/exe", error) == program_ ? pid.toInt() : 0;
  }

  // Runs a tool on the test's display and gives its output.
  QString run(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.setProcessEnvironment(environment_);
    tool.start(program, arguments);
    tool.waitForFinished(5000);
    return QString::fromUtf8(tool.readAllStandardOutput());
  }

  // Where the window manager shows the windows it manages (the program's are the only ones),
  // once there are `count`.
  std::vector<QRect> windows(std::size_t count) {
    std::vector<QRect> places;
    testing::waitUntil([&] {
      places.clear();
      for (const auto& id : QRegularExpression("0x[0-9a-f]+").globalMatch(run("xprop", {"-root", "_NET_CLIENT_LIST"}))) {
        const auto match = QRegularExpression("Position: (-?\\d+),(-?\\d+).*Geometry: (\\d+)x(\\d+)",
                                              QRegularExpression::DotMatchesEverythingOption)
                               .match(run("xdotool", {"getwindowgeometry", id.captured()}));
        const auto at = [&](int i) { return match.captured(i).toInt(); };
        if (match.hasMatch()) places.push_back(QRect(at(1), at(2), at(3), at(4)));
      }
      return places.size() == count;
    }, 10s);
    return places;
  }

  testing::PrivateDisplay display_;
  const fs::path program_ = root_ / "bin" / "hollin-widgets";
  QProcessEnvironment environment_;
  std::unique_ptr<testing::DesktopProgram> windowManager_;
  QProcess widgets_;
};

TEST_F(WidgetProgramTest, WidgetsSitBelowOutOfTheTaskBarRememberADragAndGiveWayToANewBuild) {
  publish();
  const std::vector<ConfiguredWidget> configured = {{"HollinCPU", WidgetFamily::small, QPoint(300, 200)},
                                                    {"HollinCombined", WidgetFamily::large, QPoint(700, 100)}};
  ASSERT_TRUE(saveWidgets(settings_, configured));
  widgets_.setProcessEnvironment(environment_);
  widgets_.start(QString::fromStdString(program_.string()), {});
  ASSERT_TRUE(widgets_.waitForStarted(5000));

  const auto at = [](int x, int y, WidgetFamily family) { return QRect(x, y, widgetSize(family).width, widgetSize(family).height); };
  EXPECT_THAT(windows(2), UnorderedElementsAre(at(300, 200, WidgetFamily::small), at(700, 100, WidgetFamily::large)))
      << widgets_.readAllStandardError().toStdString();
  for (const auto& id : QRegularExpression("0x[0-9a-f]+").globalMatch(run("xprop", {"-root", "_NET_CLIENT_LIST"})))
    for (const char* state : {"_NET_WM_STATE_BELOW", "_NET_WM_STATE_SKIP_TASKBAR", "_NET_WM_STATE_SKIP_PAGER"})
      EXPECT_TRUE(run("xprop", {"-id", id.captured(), "_NET_WM_STATE"}).contains(state)) << state;

  // Dragged by 120, 60 pixels: the new place is written down, the other widget's kept.
  run("xdotool", {"mousemove", "380", "280", "mousedown", "1"});
  for (int step = 1; step <= 6; ++step)
    run("xdotool", {"mousemove", QString::number(380 + 20 * step), QString::number(280 + 10 * step)});
  run("xdotool", {"mouseup", "1"});
  std::vector<ConfiguredWidget> dragged = configured;
  dragged[0].position = QPoint(420, 260);
  EXPECT_TRUE(testing::waitUntil([&] { return loadWidgets(settings_) == dragged; }));
  EXPECT_THAT(windows(2), UnorderedElementsAre(at(420, 260, WidgetFamily::small), at(700, 100, WidgetFamily::large)));

  // Another build on disk ends this process at the next reload request, and the new build is
  // started in its place.
  const fs::path info = widgetDataDirectory(program_) / BundleReplacement::infoFile;
  replaceFile(info, std::regex_replace(testing::contents(info.string()),
                                       std::regex("<key>CFBundleVersion</key>\\s*<string>[^<]*</string>"),
                                       "<key>CFBundleVersion</key><string>another-build</string>"));
  requestReload();
  ASSERT_TRUE(widgets_.waitForFinished(5000));
  EXPECT_EQ(widgets_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(widgets_.exitCode(), 0);
  EXPECT_TRUE(testing::waitUntil([&] { return lockHolder() != 0; })) << "the new build was started";
}

}  // namespace
}  // namespace hollin
