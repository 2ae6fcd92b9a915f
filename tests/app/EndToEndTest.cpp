// The real hollin binary against the live machine, headless, with a home folder of its own.
#include <gtest/gtest.h>

#include <QDir>
#include <QLocalServer>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestSupport.h"
#include "app/platform/SingleInstance.h"
#include "core/memory/MenuBarStatus.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::ensureApplication();
    environment_ = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS", "LANGUAGE"})
      environment_.remove(name);
    for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
      environment_.insert(name, home_.filePath(name));
      QDir().mkpath(home_.filePath(name));
    }
    environment_.insert("LANG", "en_US.UTF-8");
    ::chmod(home_.filePath("XDG_RUNTIME_DIR").toLocal8Bit().constData(), 0700);
  }
  void TearDown() override { hollin_.kill(); hollin_.waitForFinished(2000); }  // one the test left running
  // Starts the binary; given a status, waits for it to end with that status.
  void run(QProcess& process, const QStringList& arguments, std::optional<int> status = std::nullopt) {
    process.setProcessEnvironment(environment_);
    process.start(HOLLIN_BINARY_DIR "/src/app/hollin", arguments);
    ASSERT_TRUE(process.waitForStarted(5000));
    if (!status) return;
    ASSERT_TRUE(process.waitForFinished(5000)) << arguments.join(' ').toStdString();
    EXPECT_EQ(process.exitCode(), *status) << arguments.join(' ').toStdString();
  }
  QString folder() const { return home_.filePath("XDG_DATA_HOME/Hollin"); }
  json health() const { return testing::readJson(folder() + "/health.json"); }

  QTemporaryDir home_;
  QProcessEnvironment environment_;
  QProcess hollin_;
};

TEST_F(EndToEndTest, HeadlessRunWritesWholeRecordsTakesHandOversAndEndsOnSigterm) {
  run(hollin_, {});
  // Two ticks: the record of the start, then one sampled again about 5 s later.
  ASSERT_TRUE(testing::waitUntil([&] { return health().is_object(); }, 10s)) << hollin_.readAllStandardError().toStdString();
  const double firstUptime = health()["sampleUptime"].get<double>();
  ASSERT_TRUE(testing::waitUntil([&] { return health().value("sampleUptime", 0.0) > firstUptime; }, 12s));

  const json record = health();
  EXPECT_EQ(record["uid"].get<std::uint32_t>(), ::getuid());
  EXPECT_GT(record["processes"].get<int>(), 0);
  EXPECT_TRUE(menuBarLevelFromRawValue(record["menuBarLevel"].get<std::string>()));
  EXPECT_EQ(record["menuBarIconVisible"], false) << "no display, no icon";
  EXPECT_LT(record["sampleAgeSeconds"].get<double>(), 6.0);
  EXPECT_EQ(record.size(), 68u);

  // A plain second start hands over and ends; so does one with the application URL.
  for (const QStringList& arguments : {QStringList{}, QStringList{"hollin://analysis"}}) {
    QProcess second;
    run(second, arguments, 0);
  }
  ASSERT_EQ(hollin_.state(), QProcess::Running);
  ::kill(static_cast<pid_t>(hollin_.processId()), SIGTERM);
  ASSERT_TRUE(hollin_.waitForFinished(1000)) << "ends within a second";
  EXPECT_EQ(hollin_.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(hollin_.exitCode(), 0);
  EXPECT_TRUE(health().is_object()) << "the record stays whole";
  EXPECT_EQ(QDir(folder()).entryList({"health.json.*"}, QDir::Files | QDir::Hidden).size(), 0)
      << "no temporary left behind";
}

TEST_F(EndToEndTest, ASecondStartAgainstASilentHolderFailsAloudAndAKilledInstanceIsReplaced) {
  const QString socket = home_.filePath("XDG_RUNTIME_DIR/hollin.socket");
  {
    // Another process of this user holds the lock and listens on the socket, and never answers.
    const int lock = ::open((socket + ".lock").toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
    QLocalServer squatter;
    ASSERT_TRUE(squatter.listen(socket));
    QProcess second;
    run(second, {"hollin://analysis"}, 1);
    EXPECT_TRUE(second.readAllStandardError().contains("another process holds Hollin's socket"));
    ::close(lock);
  }
  // An instance killed outright leaves its socket and its lock file behind; the next start
  // takes its place.
  const auto answers = [&] { return SingleInstance::handOver(socket, {}, 500ms); };
  run(hollin_, {});
  ASSERT_TRUE(testing::waitUntil(answers, 10s)) << hollin_.readAllStandardError().toStdString();
  ::kill(static_cast<pid_t>(hollin_.processId()), SIGKILL);
  ASSERT_TRUE(hollin_.waitForFinished(2000));
  ASSERT_TRUE(QFile::exists(socket) && QFile::exists(socket + ".lock"));
  EXPECT_FALSE(answers());
  run(hollin_, {"hollin://analysis"});
  ASSERT_TRUE(testing::waitUntil(answers, 10s)) << hollin_.readAllStandardError().toStdString();
  EXPECT_EQ(hollin_.state(), QProcess::Running);
}

TEST_F(EndToEndTest, HelpAndVersionPrintAndEndAnUnknownSwitchIsRefused) {
  for (const auto& [argument, expected] : {std::pair{"--help", "Usage:"}, {"--version", "Hollin — Version"}}) {
    QProcess process;
    run(process, {argument}, 0);
    EXPECT_TRUE(process.readAllStandardOutput().startsWith(expected)) << argument;
  }
  QProcess wrong;
  run(wrong, {"--no-such-switch"}, 2);
  EXPECT_TRUE(wrong.readAllStandardError().contains("--no-such-switch"));
}

TEST_F(EndToEndTest, AnInstalledCopyReadsTheTablesInstalledWithIt) {
  const QString prefix = home_.filePath("prefix");
  ASSERT_EQ(QProcess::execute("cmake", {"--install", HOLLIN_BINARY_DIR, "--prefix", prefix}), 0);
  // The installed English table says something the source tree's does not.
  const QString table = prefix + "/share/hollin/en.lproj/Localizable.strings";
  std::string text = testing::contents(table.toStdString());
  const std::size_t usage = text.find("<string>Usage:");
  ASSERT_NE(usage, std::string::npos);
  text.insert(usage + 8, "Installed ");
  QFile file(table);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text.data(), static_cast<qint64>(text.size()));
  file.close();

  QProcess installed;
  installed.setProcessEnvironment(environment_);
  installed.start(prefix + "/bin/hollin", {"--help"});
  ASSERT_TRUE(installed.waitForFinished(5000));
  EXPECT_TRUE(installed.readAllStandardOutput().startsWith("Installed Usage:"));
}

}  // namespace
}  // namespace hollin
