// The real hollin binary against the live machine, headless, with a home folder of its own.
#include <gtest/gtest.h>

#include <QDir>
#include <QLocalServer>

#include <signal.h>

#include <filesystem>
#include <regex>
#include <set>
#include <sstream>

#include "TestSupport.h"
#include "app/platform/SingleInstance.h"
#include "core/BuildProfile.h"
#include "core/memory/MenuBarStatus.h"
#include "core/widgets/WidgetSnapshot.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override { testing::ensureApplication(); environment_ = testing::homeEnvironment(home_); }
  void TearDown() override { hollin_.kill(); hollin_.waitForFinished(2000); }  // one the test left running
  // Starts the binary.
  static void run(QProcess& process, const QProcessEnvironment& environment, const QStringList& arguments) {
    process.setProcessEnvironment(environment);
    process.start(HOLLIN_BINARY_DIR "/src/app/hollin", arguments);
    ASSERT_TRUE(process.waitForStarted(5000));
  }
  // Runs a program to its end, expecting `status`; what it wrote to its output and its errors.
  std::pair<QByteArray, QByteArray> finished(const QStringList& arguments, int status,
                                             const QString& program = HOLLIN_BINARY_DIR "/src/app/hollin") {
    const testing::Finished done = testing::runToEnd(program, arguments, environment_);
    EXPECT_EQ(done.status, status) << arguments.join(' ').toStdString();
    return {done.output, done.errors};
  }
  static QString folder(const QTemporaryDir& home) { return home.filePath("XDG_DATA_HOME/Hollin"); }
  json health() const { return health(home_); }
  static json health(const QTemporaryDir& home) { return testing::readJson(folder(home) + "/health.json"); }

  QTemporaryDir home_;
  QProcessEnvironment environment_;
  QProcess hollin_;
};

// The keys of the self-health record by kind: S text, I whole number, N number, B truth value,
// M map, LS and LI lists, U the accounts' maps; "?" allows null.
const std::pair<const char*, const char*> healthRecordKinds[] = {
    {"S", "version sampledAt accountProfile menuBarLevel menuBarText menuBarToolTip statusMenuTitle statusMenuText "
          "analysisStatusText ssdHealthCheckedAt earlyChargerState earlyBackupSource earlyDiskForecast appMemorySort"},
    {"I", "uid consoleUID processes enumerationError physicalBytes pressure menuBarHoverEnteredCount "
          "menuBarHoverShownCount ssdHistoryCount ssdHealthEventCount earlyRecentPoints earlyDiskPoints earlyTableConcerns"},
    {"B", "menuBarIconVisible menuBarHoverInstalled menuBarHoverVisible ssdHealthInStatusMenu widgetExportHealthy "
          "ssdHealthReadable ssdHistoryPersistenceOK earlyChargeLimitReadable earlyBatteryHealthReadable "
          "earlyCrashReportsReadable earlyHistoryPersistenceOK isStale accessibilityGranted notificationsAllowed "
          "sharingEnabled loginEnabled"},
    {"I?", "ssdCriticalWarning ssdWearPercent diskDrainSecondsLeft thermalState swapChangeFiveMinutesBytes "
           "memoryUsedBytes diskAvailableBytes diskTotalBytes compressedBytes swapUsedBytes ownResidentBytes ownFootprintBytes"},
    {"N", "sampleAgeSeconds sampleUptime"}, {"N?", "cpuUsageFraction cpuTemperatureCelsius ssdTemperatureCelsius"},
    {"B?", "earlyBatteryPresent earlyBackupConfigured"}, {"S?", "diskAlertLevel"}, {"U", "users"},
    {"M", "notificationDiagnostics lastNotificationSubmission"}, {"LS", "earlyActiveWarnings"}, {"LI", "receivedUIDs"}};

bool hasKind(const json& value, std::string_view kind) {
  if (kind.ends_with('?')) return value.is_null() || hasKind(value, kind.substr(0, kind.size() - 1));
  const auto all = [&](auto test) { return value.is_array() && std::all_of(value.begin(), value.end(), test); };
  if (kind == "S") return value.is_string();
  if (kind == "I") return value.is_number_integer();
  if (kind == "N") return value.is_number();
  if (kind == "B") return value.is_boolean();
  if (kind == "M") return value.is_object();
  if (kind == "LS") return all([](const json& item) { return item.is_string(); });
  if (kind == "LI") return all([](const json& item) { return item.is_number_unsigned(); });
  return all([](const json& user) {  // "U"
    static const std::set<std::string> states = {"使用中", "ログイン中・背後", "未ログイン", "確認できません"};
    return user.size() == 5 && user["uid"].is_number_unsigned() && states.contains(user.value("state", "")) &&
           user["processes"].is_number_unsigned() && user["footprintReadable"].is_number_unsigned() &&
           user["residentReadable"].is_number_unsigned();
  });
}

// Every key of the table, each of its kind, and nothing else. The thermal state has no source on
// any Linux machine and stays null.
void expectFollowsTable(const json& record) {
  std::size_t keys = 0;
  for (const auto& [kind, names] : healthRecordKinds) {
    std::istringstream in(names);
    for (std::string key; in >> key; ++keys) {
      ASSERT_TRUE(record.contains(key)) << key;
      EXPECT_TRUE(hasKind(record[key], kind)) << key << " is " << record[key].dump();
    }
  }
  EXPECT_EQ(record.size(), keys);
  EXPECT_TRUE(record["thermalState"].is_null());
  EXPECT_TRUE(std::regex_match(record["sampledAt"].get<std::string>(), std::regex(R"(\d{4}-\d\d-\d\dT\d\d:\d\d:\d\dZ)")));
  EXPECT_GE(record["pressure"].get<int>(), -1);
  EXPECT_LE(record["pressure"].get<int>(), 2);
}

TEST_F(EndToEndTest, HeadlessRunWritesWholeRecordsTakesHandOversOutlivesAKilledInstanceAndEndsOnSigterm) {
  const QString socket = home_.filePath("XDG_RUNTIME_DIR/hollin.socket");
  run(hollin_, environment_, {});
  // Two ticks: the record of the start, then one sampled again about 5 s later.
  ASSERT_TRUE(testing::waitUntil([&] { return health().is_object(); }, 10s)) << hollin_.readAllStandardError().toStdString();
  const double firstUptime = health()["sampleUptime"].get<double>();
  ASSERT_TRUE(testing::waitUntil([&] { return health().value("sampleUptime", 0.0) > firstUptime; }, 12s));

  const json record = health();
  EXPECT_GT(record["processes"].get<int>(), 0);
  EXPECT_TRUE(menuBarLevelFromRawValue(record["menuBarLevel"].get<std::string>()));
  EXPECT_LT(record["sampleAgeSeconds"].get<double>(), 6.0);
  expectFollowsTable(record);
  // No display, no icon; no autostart entry in this home; this account's own report; the widget
  // summary written with the record.
  const json fixed = {{"uid", ::getuid()}, {"menuBarIconVisible", false}, {"accountProfile", "current"},
                      {"loginEnabled", false}, {"receivedUIDs", json::array({::getuid()})}, {"widgetExportHealthy", true}};
  for (const auto& [key, value] : fixed.items()) EXPECT_EQ(record[key], value) << key;
  const auto summary = WidgetSnapshot::read(
      home_.filePath(QString("XDG_DATA_HOME/%1/widget-summary.json").arg(AppGroupIdentifier.data())).toStdString());
  ASSERT_TRUE(summary);
  EXPECT_EQ(summary->level, record["menuBarLevel"]);

  // An instance killed outright leaves its socket and its lock file behind; the next start
  // takes its place.
  const auto answers = [&] { return SingleInstance::handOver(socket, {}, 500ms); };
  ::kill(static_cast<pid_t>(hollin_.processId()), SIGKILL);
  ASSERT_TRUE(hollin_.waitForFinished(2000));
  ASSERT_TRUE(QFile::exists(socket) && QFile::exists(socket + ".lock"));
  EXPECT_FALSE(answers());
  run(hollin_, environment_, {"hollin://analysis"});
  ASSERT_TRUE(testing::waitUntil(answers, 10s)) << hollin_.readAllStandardError().toStdString();

  // A plain second start hands over and ends; so does one with the application URL.
  for (const QStringList& arguments : {QStringList{}, QStringList{"hollin://analysis"}}) finished(arguments, 0);
  ASSERT_EQ(hollin_.state(), QProcess::Running);
  ::kill(static_cast<pid_t>(hollin_.processId()), SIGTERM);
  ASSERT_TRUE(hollin_.waitForFinished(1000)) << "ends within a second";
  EXPECT_EQ(std::pair(hollin_.exitStatus(), hollin_.exitCode()), std::pair(QProcess::NormalExit, 0));
  EXPECT_TRUE(health().is_object()) << "the record stays whole";
  EXPECT_EQ(QDir(folder(home_)).entryList({"health.json.*"}, QDir::Files | QDir::Hidden).size(), 0)
      << "no temporary left behind";
}

TEST_F(EndToEndTest, ASecondStartAgainstASilentHolderFailsAloud) {
  const QString socket = home_.filePath("XDG_RUNTIME_DIR/hollin.socket");
  // Another process of this user holds the lock and listens on the socket, and never answers.
  const int lock = ::open((socket + ".lock").toLocal8Bit().constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  ASSERT_EQ(::flock(lock, LOCK_EX | LOCK_NB), 0);
  QLocalServer squatter;
  ASSERT_TRUE(squatter.listen(socket));
  EXPECT_TRUE(finished({"hollin://analysis"}, 1).second.contains("another process holds Hollin's socket"));
  ::close(lock);
}

TEST_F(EndToEndTest, HelpAndVersionPrintAnUnknownSwitchIsRefusedAndAnInstalledCopyReadsTheTablesInstalledWithIt) {
  for (const auto& [argument, expected] : {std::pair{"--help", "Usage:"}, {"--version", "Hollin — Version"}})
    EXPECT_TRUE(finished({argument}, 0).first.startsWith(expected)) << argument;
  EXPECT_TRUE(finished({"--no-such-switch"}, 2).second.contains("--no-such-switch"));

  const QString prefix = home_.filePath("prefix");
  ASSERT_EQ(QProcess::execute("cmake", {"--install", HOLLIN_BINARY_DIR, "--prefix", prefix}), 0);
  // The installed English table says something the source tree's does not.
  const QString table = prefix + "/share/hollin/en.lproj/Localizable.strings";
  std::string text = testing::contents(table.toStdString());
  const std::size_t usage = text.find("<string>Usage:");
  ASSERT_NE(usage, std::string::npos);
  ASSERT_TRUE(std::ofstream(table.toStdString()) << text.insert(usage + 8, "Installed "));
  EXPECT_TRUE(finished({"--help"}, 0, prefix + "/bin/hollin").first.startsWith("Installed Usage:"));
}

// A laptop whose battery drains although its adapter is connected (the charging fixture with its
// battery turned to discharging), with the desktop fixture's processes and sensors, and the
// display socket that makes the test's account the one at the console.
QString drainingLaptop(const QString& root, const QString& display) {
  namespace fs = std::filesystem;
  const fs::path fixtures = HOLLIN_FIXTURES_DIR "/native";
  const auto options = fs::copy_options::recursive | fs::copy_options::copy_symlinks | fs::copy_options::overwrite_existing;
  for (const char* fixture : {"desktop", "power/charging"}) fs::copy(fixtures / fixture, root.toStdString(), options);
  std::ofstream(root.toStdString() + "/sys/class/power_supply/BAT0/status") << "Discharging\n";
  fs::create_directories(root.toStdString() + "/tmp/.X11-unix");
  std::ofstream(root.toStdString() + "/tmp/.X11-unix/X" + display.mid(1).toStdString());
  return root;
}

TEST_F(EndToEndTest, AChargerThatDrainsIsToldOnceAcrossARestartAndAnUnusableHistoryIsLeftAlone) {
  for (const char* program : {"dbus-daemon", "Xvfb", "dunst"})
    if (!testing::installed(program)) GTEST_SKIP() << program << " is not installed";
  testing::PrivateBus bus;
  testing::PrivateDisplay display;
  ASSERT_TRUE(bus.running() && !display.display().isEmpty());
  testing::NotificationService service(display.display(), bus);
  ASSERT_TRUE(service.ready());
  const QString root = drainingLaptop(home_.filePath("host"), display.display());
  for (const auto& [name, value] : {std::pair<QString, QString>{"HOLLIN_HOST_ROOT", root}, {"DISPLAY", display.display()},
                                    {"QT_QPA_PLATFORM", "offscreen"}, {"DBUS_SESSION_BUS_ADDRESS", bus.address()}})
    environment_.insert(name, value);
  const auto chargerNotices = [&] {
    return std::ranges::count_if(service.received(), [](const QStringList& notice) {
      return notice.value(2) == "The battery is draining although the power is connected";
    });
  };
  const auto draining = [](const json& record) { return record.is_object() && record["earlyChargerState"] == "draining"; };

  // The drain is confirmed by the second battery reading, a minute after the first.
  run(hollin_, environment_, {});
  ASSERT_TRUE(testing::waitUntil([&] { return chargerNotices() == 1; }, 100s)) << hollin_.readAllStandardError().toStdString();
  ASSERT_TRUE(testing::waitUntil([&] { return draining(health()); }, 10s));
  EXPECT_EQ(health()["earlyActiveWarnings"], json::array({"charger"}));
  EXPECT_GE(health()["earlyTableConcerns"].get<int>(), 1) << "the power row is marked";
  EXPECT_EQ(health()["earlyHistoryPersistenceOK"], true);
  ::kill(static_cast<pid_t>(hollin_.processId()), SIGTERM);
  ASSERT_TRUE(hollin_.waitForFinished(2000));
  const json history = testing::readJson(folder(home_) + "/watch-history.json");
  ASSERT_TRUE(history["receipts"].contains("charger"));

  // The restarted instance confirms the drain again and finds it told. Beside it, an account
  // whose history cannot be read (and which has no notification service).
  QTemporaryDir other;
  QProcessEnvironment otherEnvironment = testing::homeEnvironment(other);
  otherEnvironment.insert("HOLLIN_HOST_ROOT", root);
  QDir().mkpath(folder(other));
  const std::string unusable = R"({"schema":1,"disk":[{"at":1)";
  std::ofstream((folder(other) + "/watch-history.json").toStdString()) << unusable;
  QProcess broken;
  run(broken, otherEnvironment, {});
  run(hollin_, environment_, {});
  ASSERT_TRUE(testing::waitUntil([&] { return health(other).is_object(); }, 10s));
  EXPECT_EQ(health(other)["earlyHistoryPersistenceOK"], false);
  ASSERT_TRUE(testing::waitUntil([&] { return health()["earlyChargerState"] == "checking"; }, 10s));
  ASSERT_TRUE(testing::waitUntil([&] { return draining(health()); }, 100s));
  testing::waitUntil([] { return false; }, 3s);  // room for a notice that should not come
  EXPECT_EQ(chargerNotices(), 1) << "told once, across the restart";

  ::kill(static_cast<pid_t>(broken.processId()), SIGTERM);
  ASSERT_TRUE(broken.waitForFinished(2000));
  EXPECT_EQ(testing::contents((folder(other) + "/watch-history.json").toStdString()), unusable)
      << "left byte-identical, at the end of the run too";
  EXPECT_EQ(health(other)["earlyHistoryPersistenceOK"], false);
}

}  // namespace
}  // namespace hollin
