// The real hollin binary, headless, against the live machine.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "PlatformTestSupport.h"
#include "core/Json.h"
#include "core/memory/MenuBarStatus.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

std::uint64_t memTotalBytes() {
  std::ifstream meminfo("/proc/meminfo");
  std::string key;
  std::uint64_t kib = 0;
  while (meminfo >> key >> kib) {
    if (key == "MemTotal:") return kib * 1024;
    meminfo.ignore(256, '\n');
  }
  return 0;
}

// Processes with a memory map of their own: kernel threads and zombies are not listed.
int procEntries() {
  int count = 0;
  for (const auto& name : QDir("/proc").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
    if (name.toInt() <= 0) continue;
    QFile status("/proc/" + name + "/status");
    if (status.open(QIODevice::ReadOnly) && status.readAll().contains("\nVmRSS:")) ++count;
  }
  return count;
}

mode_t modeOf(const QString& path) {
  struct stat info {};
  return ::stat(path.toLocal8Bit().constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureApplication();
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home_.path());
    environment.insert("XDG_DATA_HOME", home_.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", home_.filePath("config"));
    environment.insert("XDG_RUNTIME_DIR", home_.filePath("runtime"));
    environment.remove("DISPLAY");
    environment.remove("WAYLAND_DISPLAY");
    environment.remove("QT_QPA_PLATFORM");
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    QDir().mkpath(home_.filePath("runtime"));
    ::chmod(home_.filePath("runtime").toLocal8Bit().constData(), 0700);
    hollin_.setProcessEnvironment(environment);
    hollin_.setProcessChannelMode(QProcess::SeparateChannels);
  }
  void TearDown() override {
    if (hollin_.state() != QProcess::NotRunning) {
      hollin_.kill();
      hollin_.waitForFinished(2000);
    }
  }
  QString folder() const { return home_.filePath("data/Hollin"); }
  QString healthPath() const { return folder() + "/health.json"; }
  Json health() const {
    std::ifstream file(healthPath().toStdString());
    std::stringstream text;
    text << file.rdbuf();
    return Json::parse(text.str(), nullptr, false);
  }

  QTemporaryDir home_;
  QProcess hollin_;
};

TEST_F(EndToEndTest, HeadlessRunWritesTheHealthRecordAndEndsOnSigterm) {
  hollin_.start(HOLLIN_BINARY_DIR "/src/app/hollin", {});
  ASSERT_TRUE(hollin_.waitForStarted(5000));

  // Two ticks: the record of the start, then one sampled again about 5 s later.
  double firstUptime = -1;
  ASSERT_TRUE(testing::waitUntil([&] { return health().is_object(); }, 10s)) << hollin_.readAllStandardError().toStdString();
  firstUptime = health()["sampleUptime"].get<double>();
  ASSERT_TRUE(testing::waitUntil(
      [&] {
        Json record = health();
        return record.is_object() && record["sampleUptime"].get<double>() > firstUptime;
      },
      12s));

  Json record = health();
  EXPECT_EQ(record["physicalBytes"].get<std::uint64_t>(), memTotalBytes());
  EXPECT_EQ(record["uid"].get<std::uint32_t>(), ::getuid());
  const int entries = procEntries();
  EXPECT_NEAR(record["processes"].get<int>(), entries, std::max(10, entries / 10));
  const std::string level = record["menuBarLevel"].get<std::string>();
  EXPECT_TRUE(menuBarLevelFromRawValue(level).has_value()) << level;
  EXPECT_LT(record["sampleAgeSeconds"].get<double>(), 6.0);

  // Keys sorted as written: nlohmann's object is a sorted map, so compare with the text itself.
  std::ifstream file(healthPath().toStdString());
  std::string line, previous;
  int topLevelKeys = 0;
  while (std::getline(file, line)) {
    if (line.rfind("  \"", 0) != 0) continue;  // only the first level, indented by two
    std::string key = line.substr(3, line.find('"', 3) - 3);
    EXPECT_LT(previous, key);
    previous = key;
    ++topLevelKeys;
  }
  EXPECT_GT(topLevelKeys, 40);
  EXPECT_EQ(modeOf(healthPath()), 0600u);
  EXPECT_EQ(modeOf(folder()), 0700u);

  ::kill(static_cast<pid_t>(hollin_.processId()), SIGTERM);
  ASSERT_TRUE(hollin_.waitForFinished(5000));
  EXPECT_EQ(hollin_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(hollin_.exitCode(), 0);
  EXPECT_TRUE(health().is_object()) << "the record stays whole";
  EXPECT_EQ(QDir(folder()).entryList({"health.json.*"}, QDir::Files | QDir::Hidden).size(), 0)
      << "no temporary left behind";
}

TEST_F(EndToEndTest, SecondStartHandsItsUrlOverAndEnds) {
  hollin_.start(HOLLIN_BINARY_DIR "/src/app/hollin", {});
  ASSERT_TRUE(hollin_.waitForStarted(5000));
  ASSERT_TRUE(testing::waitUntil([&] { return health().is_object(); }, 10s));

  QProcess second;
  second.setProcessEnvironment(hollin_.processEnvironment());
  second.start(HOLLIN_BINARY_DIR "/src/app/hollin", {"hollin://analysis"});
  ASSERT_TRUE(second.waitForFinished(5000));
  EXPECT_EQ(second.exitCode(), 0);
  EXPECT_EQ(hollin_.state(), QProcess::Running);

  ::kill(static_cast<pid_t>(hollin_.processId()), SIGINT);
  ASSERT_TRUE(hollin_.waitForFinished(5000));
  EXPECT_EQ(hollin_.exitCode(), 0);
}

}  // namespace
}  // namespace hollin
