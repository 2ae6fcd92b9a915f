// The account set-up: its checks and steps in-process against a real autostart folder, and the
// real program refusing arguments and replacing, keeping or giving up on older copies of itself.
#include "app/accounts/AccountSetup.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

#include <QDir>

#include <signal.h>

#include <set>

#include "app/platform/SingleInstance.h"
#include "core/BuildProfile.h"
#include "core/scope/AutostartEntry.h"
#include "core/scope/SessionSetup.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;

const std::string hollinProgram = HOLLIN_BINARY_DIR "/src/app/hollin";
constexpr std::uint32_t user = 1000;
constexpr const char* validationFailed = "Hollin: account/session validation failed\n";

TEST(SessionSetupAuthorizationTest, OnlyAnOrdinaryAccountInItsOwnFinishedLogin) {
  struct Row { const char* name; std::uint32_t real, effective; std::optional<std::uint32_t> session;
               bool loginComplete, allowed; };
  for (const Row& row : {Row{"root", 0, 0, 0, true, false}, {"effective uid of another", 1000, 0, 1000, true, false},
                         {"no session", 1000, 1000, std::nullopt, true, false},
                         {"another account's session", 1000, 1000, 1001, true, false},
                         {"login not complete", 1000, 1000, 1000, false, false}, {"uid 499", 499, 499, 499, true, false},
                         {"uid 500", 500, 500, 500, true, true}, {"uid 65533", 65533, 65533, 65533, true, true},
                         {"uid 65534", 65534, 65534, 65534, true, false}})
    EXPECT_EQ(SessionSetupAuthorization::allows(row.real, row.effective, row.session, row.loginComplete), row.allowed)
        << row.name;
}

TEST(AutostartEntryTest, OnlyAnEntryOfOursThatIsSwitchedOnCounts) {
  const std::string program = "/opt/hollin/hollin";
  const std::string entry = *autostartEntry(program);
  const auto replaced = [&](std::string_view from, std::string_view to) {
    std::string text = entry;
    return text.replace(text.find(from), from.size(), to);
  };
  for (const auto& [name, text, enabled] : std::initializer_list<std::tuple<const char*, std::string, bool>>{
           {"as written", entry, true}, {"hidden", entry + "Hidden=true\n", false}, {"empty", "", false},
           {"no group", "Type=Application\nExec=" + program + "\n", false},
           {"CRLF lines, spaces round '='", "[Desktop Entry]\r\nType = Application\r\nExec = " + program + "\r\n", true},
           {"switched off", replaced("X-GNOME-Autostart-enabled=true", "X-GNOME-Autostart-enabled=false"), false},
           {"another program", replaced(program, "/usr/bin/other"), false},
           {"a link", replaced("Type=Application", "Type=Link"), false},
           {"a repeated key", entry + "Exec=/usr/bin/other\n", false}, {"a repeated group", entry + "[Desktop Entry]\n", false},
           {"switched off in another group only", entry + "[Desktop Action x]\nHidden=true\n", true}})
    EXPECT_EQ(autostartEnabled(text, program), enabled) << name;
  EXPECT_FALSE(autostartEntry("hollin")) << "a relative path";
  EXPECT_FALSE(autostartEntry("/opt/hol\nlin")) << "a control character";
}

class AccountSetupTest : public ::testing::Test {
 protected:
  // A permitted account in its finished desktop login, under the ordinary scope, alone.
  void SetUp() override {
    testing::ensureApplication();
    environment_.realUID = environment_.effectiveUID = user;
    environment_.session = {1, user, 1};
    environment_.scope = AccountScope::current;
    environment_.runningCopies = [] { return std::vector<RunningCopy>(); };
    environment_.error = [this](std::string_view text) { errors_ += text; };
  }
  std::string entryPath() const { return folder_.filePath("config/autostart/org.hollin.Hollin.desktop").toStdString(); }

  QTemporaryDir folder_;
  testing::ScopedVariable config_{"XDG_CONFIG_HOME", folder_.filePath("config").toLocal8Bit().constData()};
  LoginItem item_{LoginItem::defaultPath(), hollinProgram};
  MemorySettings settings_;
  std::string errors_;
  SetupEnvironment environment_ = SetupEnvironment::live({"hollin", std::string(accountSetupSwitch)}, item_, settings_);
};

// Other arguments beside the switch are refused by the real program below.
TEST_F(AccountSetupTest, AFailedCheckOrRegistrationIsReportedOnceAndChangesNoSharing) {
  using Change = std::function<void(SetupEnvironment&)>;
  const std::initializer_list<std::tuple<const char*, Change, std::string>> rows{
      {"no session", [](auto& e) { e.session = {}; }, validationFailed},
      {"uid 504 under the sharing scope",
       [](auto& e) { e.realUID = e.effectiveUID = e.session.uid = 504, e.scope = AccountScope::m2Recording; },
       validationFailed},
      {"another identifier", [](auto& e) { e.bundleIdentifier = "org.example.Other"; }, validationFailed},
      // Last: a file stands where the autostart folder belongs.
      {"an autostart folder that cannot be made",
       [&](auto&) { std::ofstream(folder_.filePath("config/autostart").toStdString()) << "x"; },
       "Hollin: login registration failed (20)\n"}};
  QDir().mkpath(folder_.filePath("config"));
  for (const auto& [name, change, message] : rows) {
    SetupEnvironment environment = environment_;
    change(environment);
    errors_.clear();
    EXPECT_EQ(configureCurrentAccount(true, environment), SetupOutcome::failed) << name;
    EXPECT_EQ(errors_, message) << name;
    EXPECT_FALSE(item_.enabled()) << name;
    EXPECT_FALSE(settings_.boolean(shareResponseStatusKey)) << name;
  }
}

TEST_F(AccountSetupTest, SuccessWritesAValidEntryAnewAndTheScopesSharingDefault) {
  ASSERT_EQ(item_.registerItem(), std::nullopt);
  std::ofstream(entryPath(), std::ios::app) << "X-Left-Over=1\n";
  ASSERT_TRUE(item_.enabled());
  environment_.realUID = environment_.effectiveUID = environment_.session.uid = 504;
  ASSERT_EQ(configureCurrentAccount(true, environment_), SetupOutcome::goOn) << errors_;
  EXPECT_EQ(testing::contents(entryPath()), *autostartEntry(hollinProgram)) << "unregistered and written again";
  EXPECT_EQ(settings_.boolean(shareResponseStatusKey), false) << "the ordinary scope shares nothing";

  environment_.scope = AccountScope::m2Recording;
  environment_.realUID = environment_.effectiveUID = environment_.session.uid =
      *AccountScope(AccountScope::m2Recording).allowedUIDs(0).begin();
  ASSERT_EQ(configureCurrentAccount(true, environment_), SetupOutcome::goOn) << errors_;
  EXPECT_EQ(settings_.boolean(shareResponseStatusKey), true);
  EXPECT_EQ(errors_, "");

  if (!testing::installed("desktop-file-validate")) GTEST_SKIP() << "desktop-file-validate is not installed";
  // Ours, and one for a program whose path needs the format's quoting and escapes.
  const std::string awkward = "/opt/My Apps/$x's \"hollin\"\\%1/hollin";
  std::ofstream(folder_.filePath("awkward.desktop").toStdString()) << *autostartEntry(awkward);
  EXPECT_TRUE(autostartEnabled(testing::contents(folder_.filePath("awkward.desktop").toStdString()), awkward));
  for (const QString& file : {QString::fromStdString(entryPath()), folder_.filePath("awkward.desktop")}) {
    const testing::Finished validate = testing::runToEnd("desktop-file-validate", {file}, QProcessEnvironment::systemEnvironment());
    EXPECT_EQ(std::pair(validate.status, validate.output), std::pair(0, QByteArray())) << file.toStdString();
  }
}

TEST_F(AccountSetupTest, TheCommandRefusesOtherArgumentsSilentlyAndOutsideADesktopFailsValidation) {
  const QProcessEnvironment environment = testing::homeEnvironment(folder_);
  const auto run = [&](const QStringList& arguments) {
    const testing::Finished done = testing::runToEnd(QString::fromStdString(hollinProgram), arguments, environment);
    return std::pair(done.status, done.errors.toStdString());
  };
  const QString setup = QString::fromStdString(std::string(accountSetupSwitch));
  for (const QStringList& arguments : {QStringList{setup, setup}, {setup, "--help"}, {"hollin://analysis", setup}})
    EXPECT_EQ(run(arguments), std::pair(2, std::string())) << arguments.join(' ').toStdString();
  if (hl_graphical_session().found != 0) GTEST_SKIP() << "this machine has a login session";
  EXPECT_EQ(run({setup}), std::pair(2, std::string(validationFailed)));
  EXPECT_FALSE(QDir(folder_.filePath("XDG_CONFIG_HOME/autostart")).exists());
}

TEST_F(AccountSetupTest, AnOlderCopyElsewhereQuitsTheSameCopyStaysAndAStoppedOneFailsTheSetUp) {
  const QProcessEnvironment environment = testing::homeEnvironment(folder_);
  const QString socket = folder_.filePath("XDG_RUNTIME_DIR/hollin.socket");
  const testing::ScopedVariable runtime("XDG_RUNTIME_DIR", folder_.filePath("XDG_RUNTIME_DIR").toLocal8Bit().constData());
  const QString elsewhere = folder_.filePath("elsewhere/hollin");
  ASSERT_TRUE(QDir().mkpath(folder_.filePath("elsewhere")) && QFile::copy(QString::fromStdString(hollinProgram), elsewhere));
  // The copies this test started, as the live listing finds them (other tests' copies may run).
  std::set<std::int32_t> ours;
  environment_.runningCopies = [&] {
    auto copies = runningCopies(::getuid(), ::getpid(), hollinProgram);
    std::erase_if(copies, [&](const RunningCopy& copy) { return !ours.contains(copy.pid); });
    return copies;
  };
  const auto start = [&](QProcess& process, const QString& program, const QStringList& arguments = {}) {
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ASSERT_TRUE(process.waitForStarted(5000));
    ours.insert(static_cast<std::int32_t>(process.processId()));
    if (arguments.isEmpty()) {
      ASSERT_TRUE(testing::waitUntil([&] { return SingleInstance::handOver(socket, {}, 500ms); }, 15s));
    }
  };

  QProcess worker, older, same, stopped;
  start(worker, QString::fromStdString(hollinProgram), {"--probe-worker"});  // waits for its input
  start(older, elsewhere);
  EXPECT_EQ(configureCurrentAccount(true, environment_), SetupOutcome::goOn) << errors_;
  EXPECT_TRUE(older.waitForFinished(2000));
  EXPECT_EQ(older.exitCode(), 0);

  start(same, QString::fromStdString(hollinProgram));
  EXPECT_EQ(configureCurrentAccount(true, environment_), SetupOutcome::sameCopyRunning) << errors_;
  EXPECT_EQ(same.state(), QProcess::Running);
  EXPECT_EQ(errors_, "");
  same.terminate();
  ASSERT_TRUE(same.waitForFinished(5000));

  start(stopped, elsewhere);
  ::kill(static_cast<pid_t>(stopped.processId()), SIGSTOP);
  const auto began = std::chrono::steady_clock::now();
  EXPECT_EQ(configureCurrentAccount(true, environment_), SetupOutcome::failed);
  EXPECT_EQ(errors_, "Hollin: previous monitor could not close\nHollin: previous monitor is still running\n");
  EXPECT_GE(std::chrono::steady_clock::now() - began, 2900ms) << "given its 3 s";
  EXPECT_LT(std::chrono::steady_clock::now() - began, 30s);
  // QProcess's destructor kills and waits for the stopped copy and the worker.
}

}  // namespace
}  // namespace hollin
