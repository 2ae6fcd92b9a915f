// The real hollin-widgets on an X display of its own with openbox: a copy installed under a
// temporary prefix, with a private data and configuration home. Its windows sit below the
// others and out of the task bar, a drag is remembered, and a new build on disk ends it.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <signal.h>

#include <charconv>

#include <fstream>
#include <regex>

#include "WidgetTestSupport.h"
#include "widgets/WidgetSettings.h"

namespace hollin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Runs a tool on the test's display and gives its output.
QString run(const QProcessEnvironment& environment, const QString& program, const QStringList& arguments) {
  QProcess tool;
  tool.setProcessEnvironment(environment);
  tool.start(program, arguments);
  tool.waitForFinished(5000);
  return QString::fromUtf8(tool.readAllStandardOutput());
}

// The processes running the program at `path`.
std::vector<pid_t> running(const fs::path& path) {
  std::vector<pid_t> found;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator("/proc", error)) {
    pid_t pid = 0;
    const std::string name = entry.path().filename().string();
    if (std::from_chars(name.data(), name.data() + name.size(), pid).ec != std::errc()) continue;
    if (fs::read_symlink(entry.path() / "exe", error) == path) found.push_back(pid);
  }
  return found;
}

void replaceFile(const fs::path& file, const std::string& content) {
  std::ofstream(file.string() + ".new") << content;
  fs::rename(file.string() + ".new", file);
}

class WidgetProgramTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"Xvfb", "openbox", "xprop", "xdotool"})
      if (!testing::installed(tool)) GTEST_SKIP() << tool << " is not installed";
    testing::widgetsApplication();
    ASSERT_FALSE(display_.display().isEmpty());
    // The program and its data, laid out as an install under the temporary prefix.
    const fs::path root = folder_.path().toStdString();
    program_ = root / "bin" / "hollin-widgets";
    fs::create_directories(program_.parent_path());
    fs::copy_file(testing::builtProgram, program_);
    fs::create_directories(widgetDataDirectory(program_).parent_path());
    fs::copy(widgetDataDirectory(testing::builtProgram), widgetDataDirectory(program_), fs::copy_options::recursive);

    environment_ = testing::desktopEnvironment(display_.display(), "unix:path=/nonexistent");
    environment_.insert("HOME", QString::fromStdString(root.string()));
    environment_.insert("XDG_DATA_HOME", QString::fromStdString((root / "data").string()));
    environment_.insert("XDG_CONFIG_HOME", QString::fromStdString((root / "config").string()));
    environment_.insert("QT_QPA_PLATFORM", "xcb");
    environment_.insert("LANGUAGE", "en");
    const auto lookup = [this](const char* name) {
      static thread_local std::string value;
      value = environment_.value(name).toStdString();
      return environment_.contains(name) ? value.c_str() : nullptr;
    };
    shared_ = *WidgetSnapshot::containerFolder(lookup);
    settings_ = widgetSettingsFile(lookup);

    windowManager_ = std::make_unique<testing::DesktopProgram>("openbox", QStringList{}, display_.display(), "");
    ASSERT_TRUE(windowManager_->started());
    ASSERT_TRUE(testing::waitUntil([&] {
      return run(environment_, "xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
    }, 10s));
  }

  void TearDown() override {
    if (program_.empty()) return;
    widgets_.terminate();
    widgets_.waitForFinished(2000);
    for (pid_t pid : running(program_)) ::kill(pid, SIGTERM);
  }

  void start() {
    widgets_.setProcessEnvironment(environment_);
    widgets_.start(QString::fromStdString(program_.string()), {});
    ASSERT_TRUE(widgets_.waitForStarted(5000));
  }

  // The windows the window manager manages for the program, once there are `count`.
  QStringList windows(int count) {
    QStringList ours;
    testing::waitUntil([&] {
      ours.clear();
      const QString list = run(environment_, "xprop", {"-root", "_NET_CLIENT_LIST"});
      for (const auto& id : QRegularExpression("0x[0-9a-f]+").globalMatch(list))
        if (run(environment_, "xprop", {"-id", id.captured(), "_NET_WM_PID"}).contains(QString::number(widgets_.processId())))
          ours << id.captured();
      return ours.size() == count;
    }, 10s);
    return ours;
  }

  QPoint position(const QString& window) {
    const auto match = QRegularExpression("Position: (-?\\d+),(-?\\d+)")
                           .match(run(environment_, "xdotool", {"getwindowgeometry", window}));
    return match.hasMatch() ? QPoint(match.captured(1).toInt(), match.captured(2).toInt()) : QPoint(-1, -1);
  }

  testing::PrivateDisplay display_;
  QTemporaryDir folder_;
  fs::path program_, shared_;
  QString settings_;
  QProcessEnvironment environment_;
  std::unique_ptr<testing::DesktopProgram> windowManager_;
  QProcess widgets_;
};

TEST_F(WidgetProgramTest, WidgetsSitBelowOutOfTheTaskBarRememberADragAndGiveWayToANewBuild) {
  const WallTime now = std::chrono::system_clock::now();
  fs::create_directories(shared_);
  std::ofstream(shared_ / WidgetSnapshot::fileName) << encodeWidgetSnapshot(testing::fixtureSummary(now, 60s));
  replaceFile(shared_ / WidgetSnapshot::reloadFileName, "");
  const std::vector<ConfiguredWidget> configured = {{"HollinCPU", WidgetFamily::small, QPoint(300, 200)},
                                                    {"HollinCombined", WidgetFamily::large, QPoint(700, 100)}};
  ASSERT_TRUE(saveWidgets(settings_, configured));
  start();

  const QStringList shown = windows(2);
  ASSERT_EQ(shown.size(), 2) << widgets_.readAllStandardError().toStdString();
  for (const QString& window : shown) {
    const QString state = run(environment_, "xprop", {"-id", window, "_NET_WM_STATE"});
    EXPECT_TRUE(state.contains("_NET_WM_STATE_BELOW")) << state.toStdString();
    EXPECT_TRUE(state.contains("_NET_WM_STATE_SKIP_TASKBAR")) << state.toStdString();
    EXPECT_TRUE(state.contains("_NET_WM_STATE_SKIP_PAGER")) << state.toStdString();
  }
  std::map<int, QString> bySize;  // width → window
  for (const QString& window : shown) {
    const auto size = QRegularExpression("Geometry: (\\d+)x").match(run(environment_, "xdotool", {"getwindowgeometry", window}));
    bySize[size.captured(1).toInt()] = window;
  }
  ASSERT_EQ(bySize.size(), 2u);
  const QString cpu = bySize.at(widgetSize(WidgetFamily::small).width);
  EXPECT_EQ(position(cpu), QPoint(300, 200));
  EXPECT_EQ(position(bySize.at(widgetSize(WidgetFamily::large).width)), QPoint(700, 100));

  // Dragged by 120, 60 pixels: the new place is written down, the other widget's kept.
  run(environment_, "xdotool", {"mousemove", "380", "280", "mousedown", "1"});
  for (int step = 1; step <= 6; ++step)
    run(environment_, "xdotool", {"mousemove", QString::number(380 + 20 * step), QString::number(280 + 10 * step)});
  run(environment_, "xdotool", {"mouseup", "1"});
  std::vector<ConfiguredWidget> dragged = configured;
  dragged[0].position = QPoint(420, 260);
  EXPECT_TRUE(testing::waitUntil([&] { return loadWidgets(settings_) == dragged; }));
  EXPECT_EQ(position(cpu), QPoint(420, 260));

  // The same build reinstalled changes nothing; another one ends this process at the next
  // reload request, and the new build is started in its place.
  const fs::path info = widgetDataDirectory(program_) / BundleReplacement::infoFile;
  const std::string plist = testing::contents(info.string());
  replaceFile(info, plist);
  replaceFile(shared_ / WidgetSnapshot::reloadFileName, "");
  EXPECT_FALSE(widgets_.waitForFinished(1000));
  replaceFile(info, std::regex_replace(plist, std::regex("<key>CFBundleVersion</key>\\s*<string>[^<]*</string>"),
                                       "<key>CFBundleVersion</key><string>another-build</string>"));
  replaceFile(shared_ / WidgetSnapshot::reloadFileName, "");
  ASSERT_TRUE(widgets_.waitForFinished(5000));
  EXPECT_EQ(widgets_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(widgets_.exitCode(), 0);
  EXPECT_TRUE(testing::waitUntil([&] { return !running(program_).empty(); })) << "the new build was started";
  EXPECT_EQ(loadWidgets(settings_), dragged);
}

TEST_F(WidgetProgramTest, AFirstStartShowsTheCombinedWidgetAndRemembersIt) {
  start();
  ASSERT_EQ(windows(1).size(), 1) << widgets_.readAllStandardError().toStdString();
  const std::vector<ConfiguredWidget> remembered = loadWidgets(settings_);
  ASSERT_EQ(remembered.size(), 1u);
  EXPECT_EQ(remembered[0].kind, "HollinCombined");
  EXPECT_EQ(remembered[0].family, WidgetFamily::medium);
  EXPECT_TRUE(remembered[0].position);
}

}  // namespace
}  // namespace hollin
