// The real application and the real widget program on one display: the widget shows what the
// application last wrote, a change of level reaches it with the next write, and between the
// writes that ask for it the widget program does not wake at all.
#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QScreen>

#include <filesystem>
#include <regex>

#include "TestSupport.h"
#include "core/BuildProfile.h"

namespace hollin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Voluntary and involuntary context switches of every thread of a process: each wake-up of any
// of its threads adds one.
long contextSwitches(qint64 pid) {
  long total = 0;
  for (const auto& task : fs::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
    std::ifstream status(task.path() / "status");
    static const std::regex line(R"(^(non)?voluntary_ctxt_switches:\s+(\d+))");
    std::smatch match;
    for (std::string text; std::getline(status, text);)
      if (std::regex_search(text, match, line)) total += std::stol(match[2]);
  }
  return total;
}

// Pixels of the screen rectangle close to an sRGB colour.
int pixelsNear(const QRect& area, QColor colour) {
  const QImage image = QGuiApplication::primaryScreen()->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
  int count = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor pixel = image.pixelColor(x, y);
      count += std::abs(pixel.red() - colour.red()) < 24 && std::abs(pixel.green() - colour.green()) < 24 &&
               std::abs(pixel.blue() - colour.blue()) < 24;
    }
  return count;
}

void setMemory(const fs::path& root, const char* available, const char* swapFree) {
  std::string text = testing::contents(root / "proc/meminfo");
  text = std::regex_replace(text, std::regex(R"(MemAvailable:\s+\d+)"), std::string("MemAvailable: ") + available);
  text = std::regex_replace(text, std::regex(R"(SwapFree:\s+\d+)"), std::string("SwapFree: ") + swapFree);
  std::ofstream(root / "proc/meminfo.new") << text;
  fs::rename(root / "proc/meminfo.new", root / "proc/meminfo");
}

TEST(WidgetsDesktopTest, ALevelChangeReachesTheWidgetWithTheNextWriteAndTheWidgetSleepsBetweenWrites) {
#ifdef HOLLIN_SANITIZED
  GTEST_SKIP() << "two minutes of waiting on real clocks: run in the development build only";
#endif
  if (!testing::installed("Xvfb")) GTEST_SKIP() << "Xvfb is not installed";
  QTemporaryDir home;
  const fs::path root = home.filePath("host").toStdString();
  fs::copy(HOLLIN_FIXTURES_DIR "/native/desktop", root, fs::copy_options::recursive);
  setMemory(root, "9000000", "1048574");

  testing::PrivateDisplay display("1400x1000");
  ASSERT_FALSE(display.display().isEmpty());
  testing::useDesktop(display.display(), "");
  QProcessEnvironment environment = testing::homeEnvironment(home);
  environment.insert("DISPLAY", display.display());
  environment.insert("DBUS_SESSION_BUS_ADDRESS", "");
  environment.insert("HOLLIN_HOST_ROOT", QString::fromStdString(root.string()));
  // One memory widget in the corner the application's window leaves free.
  const QRect widget(1200, 800, 170, 170);
  QDir().mkpath(home.filePath("XDG_CONFIG_HOME/Hollin"));
  std::ofstream(home.filePath("XDG_CONFIG_HOME/Hollin/Widgets.ini").toStdString())
      << "[widgets]\n1\\kind=HollinMemory\n1\\family=small\n1\\x=1200\n1\\y=800\nsize=1\n";
  // Not a first start: no guide in front of the widget.
  std::ofstream(home.filePath("XDG_CONFIG_HOME/Hollin/Hollin.ini").toStdString()) << "[General]\nsetupGuideOffered=true\n";

  QProcess widgets, hollin;
  for (QProcess* process : {&widgets, &hollin}) {
    process->setProcessEnvironment(environment);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
  }
  widgets.start(HOLLIN_BINARY_DIR "/bin/hollin-widgets", {});
  ASSERT_TRUE(widgets.waitForStarted(5000));
  ASSERT_TRUE(testing::waitUntil([&] { return QFile::exists(home.filePath("XDG_RUNTIME_DIR/hollin-widgets.lock")); }));
  // A second start, the session's widgets already shown.
  const testing::Finished second = testing::runToEnd(HOLLIN_BINARY_DIR "/bin/hollin-widgets", {}, environment);
  EXPECT_EQ(second.status, 0);
  EXPECT_TRUE(second.errors.contains("already running"));
  const QColor green = QColor::fromRgbF(0.08f, 0.6f, 0.24f), red = QColor::fromRgbF(0.86f, 0.12f, 0.16f);
  hollin.start(HOLLIN_BINARY_DIR "/src/app/hollin", {});
  ASSERT_TRUE(hollin.waitForStarted(5000));
  const QString summary = home.filePath(QString("XDG_DATA_HOME/%1/widget-summary.json").arg(AppGroupIdentifier.data()));

  // The first write asks the widget to read it: the memory ring turns the level's green.
  ASSERT_TRUE(testing::waitUntil([&] { return QFile::exists(summary); }, 20s));
  const auto firstWrite = std::chrono::steady_clock::now();
  ASSERT_TRUE(testing::waitUntil([&] { return pixelsNear(widget, green) > 50; }, 5s));
  // Memory runs out: the application turns red at its next tick, the widget at the next write,
  // a minute after the first.
  setMemory(root, "500000", "100000");
  ASSERT_TRUE(testing::waitUntil([&] { return pixelsNear(widget, red) > 50; }, 70s));
  EXPECT_GE(std::chrono::steady_clock::now() - firstWrite, 55s) << "not before the second write";
  EXPECT_EQ(pixelsNear(widget, green), 0);

  // The level stays red: the third write, a minute later, does not ask the widget to read again,
  // and nothing else wakes it.
  QThread::msleep(1000);
  const long before = contextSwitches(widgets.processId());
  ASSERT_GT(before, 0) << "the counters were read";
  QThread::sleep(60);
  EXPECT_EQ(contextSwitches(widgets.processId()), before) << "the widget program woke up";
  EXPECT_EQ(widgets.state(), QProcess::Running);
  for (QProcess* process : {&hollin, &widgets}) {
    process->terminate();
    process->waitForFinished(3000);
  }
}

}  // namespace
}  // namespace hollin
