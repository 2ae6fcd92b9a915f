// The real hollin binary against the live machine: headless, and on a display without a tray.
#include <gtest/gtest.h>

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "TestSupport.h"
#include "core/memory/MenuBarStatus.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

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

mode_t modeOf(const QString& path) {
  struct stat info {};
  return ::stat(path.toLocal8Bit().constData(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureApplication();
    environment_ = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS", "LANGUAGE"})
      environment_.remove(name);
    environment_.insert("HOME", home_.path());
    environment_.insert("XDG_DATA_HOME", home_.filePath("data"));
    environment_.insert("XDG_CONFIG_HOME", home_.filePath("config"));
    environment_.insert("XDG_RUNTIME_DIR", home_.filePath("runtime"));
    environment_.insert("LANG", "en_US.UTF-8");
    QDir().mkpath(home_.filePath("runtime"));
    ::chmod(home_.filePath("runtime").toLocal8Bit().constData(), 0700);
  }
  void TearDown() override {
    if (hollin_.state() != QProcess::NotRunning) {
      hollin_.kill();
      hollin_.waitForFinished(2000);
    }
  }
  void start(QProcess& process, const QStringList& arguments = {}) {
    process.setProcessEnvironment(environment_);
    process.start(HOLLIN_BINARY_DIR "/src/app/hollin", arguments);
    ASSERT_TRUE(process.waitForStarted(5000));
  }
  QString folder() const { return home_.filePath("data/Hollin"); }
  json health() const {
    std::ifstream file((folder() + "/health.json").toStdString());
    return json::parse(file, nullptr, false);
  }
  // Sends the signal and expects a clean end with status 0 within a second.
  void endWith(int signal) {
    ::kill(static_cast<pid_t>(hollin_.processId()), signal);
    ASSERT_TRUE(hollin_.waitForFinished(1000)) << signal;
    EXPECT_EQ(hollin_.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(hollin_.exitCode(), 0);
  }

  QTemporaryDir home_;
  QProcessEnvironment environment_;
  QProcess hollin_;
};

TEST_F(EndToEndTest, HeadlessRunWritesTheHealthRecordAndEndsOnSigterm) {
  start(hollin_);
  // Two ticks: the record of the start, then one sampled again about 5 s later.
  ASSERT_TRUE(testing::waitUntil([&] { return health().is_object(); }, 10s)) << hollin_.readAllStandardError().toStdString();
  const double firstUptime = health()["sampleUptime"].get<double>();
  ASSERT_TRUE(testing::waitUntil([&] { return health().value("sampleUptime", 0.0) > firstUptime; }, 12s));

  const json record = health();
  EXPECT_EQ(record["physicalBytes"].get<std::uint64_t>(), memTotalBytes());
  EXPECT_EQ(record["uid"].get<std::uint32_t>(), ::getuid());
  EXPECT_GT(record["processes"].get<int>(), 0);
  EXPECT_TRUE(menuBarLevelFromRawValue(record["menuBarLevel"].get<std::string>()));
  EXPECT_EQ(record["menuBarIconVisible"], false) << "no display, no icon";
  EXPECT_LT(record["sampleAgeSeconds"].get<double>(), 6.0);
  EXPECT_EQ(record.size(), 68u);
  EXPECT_EQ(modeOf(folder() + "/health.json"), 0600u);
  EXPECT_EQ(modeOf(folder()), 0700u);

  endWith(SIGTERM);
  EXPECT_TRUE(health().is_object()) << "the record stays whole";
  EXPECT_EQ(QDir(folder()).entryList({"health.json.*"}, QDir::Files | QDir::Hidden).size(), 0)
      << "no temporary left behind";
}

TEST_F(EndToEndTest, WithoutATrayTheWindowShowsAndTheLogSaysWhy) {
  testing::PrivateDisplay display;
  testing::PrivateBus bus;
  if (display.display().isEmpty() || !bus.running()) GTEST_SKIP() << "Xvfb or dbus-daemon could not be started";
  environment_.insert("DISPLAY", display.display());
  environment_.insert("DBUS_SESSION_BUS_ADDRESS", bus.address());
  start(hollin_);
  QByteArray log;
  ASSERT_TRUE(testing::waitUntil([&] {
    log += hollin_.readAllStandardError();
    return log.contains("no system tray");
  }, 10s)) << log.toStdString();

  // A plain second start hands over and ends; so does one with the application URL.
  for (const QStringList& arguments : {QStringList{}, QStringList{"hollin://analysis"}}) {
    QProcess second;
    start(second, arguments);
    ASSERT_TRUE(second.waitForFinished(5000));
    EXPECT_EQ(second.exitCode(), 0);
  }
  EXPECT_EQ(hollin_.state(), QProcess::Running);
  endWith(SIGINT);
}

TEST_F(EndToEndTest, HelpAndVersionPrintAndEnd) {
  for (const auto& [argument, expected] : {std::pair{"--help", "Usage:"}, {"--version", "Hollin — Version"}}) {
    QProcess process;
    start(process, {argument});
    ASSERT_TRUE(process.waitForFinished(5000));
    EXPECT_EQ(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardOutput().startsWith(expected)) << argument;
  }
  QProcess wrong;
  start(wrong, {"--no-such-switch"});
  ASSERT_TRUE(wrong.waitForFinished(5000));
  EXPECT_EQ(wrong.exitCode(), 2);
  EXPECT_TRUE(wrong.readAllStandardError().contains("--no-such-switch"));
}

}  // namespace
}  // namespace hollin
