// Two accounts of the sharing build on one X display: each instance publishes its account's
// report in the real shared folder and shows the other account's processes and state.
#include <gtest/gtest.h>

#include <QPixmap>
#include <QScreen>

#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"
#include "app/accounts/SharedReports.h"
#include "core/BuildProfile.h"

namespace hollin {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// One account's instance with a home of its own in `root`.
class AccountInstance : public testing::Child {
 public:
  AccountInstance(std::uint32_t uid, const std::string& root, const QString& display, const char* language)
      : home_(root + "/" + std::to_string(uid)) {
    for (const char* folder : {"", "/config/Hollin", "/data", "/run"}) fs::create_directories(home_ + folder);
    // Sharing switched on, as the set-up command leaves it under the sharing profile.
    std::ofstream(home_ + "/config/Hollin/Hollin.ini") << "[General]\nhasOpened=true\nsetupGuideOffered=true\nshareResponseStatus=true\n";
    for (const auto& entry : fs::recursive_directory_iterator(home_)) ::chown(entry.path().c_str(), uid, uid);
    ::chown(home_.c_str(), uid, uid);
    ::chmod((home_ + "/run").c_str(), 0700);

    QProcessEnvironment environment = testing::desktopEnvironment(display, "");
    environment.remove("DBUS_SESSION_BUS_ADDRESS");
    for (const auto& [name, folder] :
         {std::pair{"HOME", ""}, {"XDG_CONFIG_HOME", "/config"}, {"XDG_DATA_HOME", "/data"}, {"XDG_RUNTIME_DIR", "/run"}})
      environment.insert(name, QString::fromStdString(home_ + folder));
    environment.insert("LANGUAGE", language);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    process_.setProcessEnvironment(environment);
    process_.start("setpriv", testing::ThrowawayAccounts::as(uid)
                                  << HOLLIN_BINARY_DIR "/tests/hollin-sharing" << "hollin://analysis");
  }
  nlohmann::json health() const { return testing::readJson(QString::fromStdString(home_ + "/data/Hollin/health.json")); }
  // The accounts whose fresh reports it last received, as its record says; null before one.
  nlohmann::json received() const {
    const nlohmann::json record = health();
    return record.is_object() ? record.value("receivedUIDs", nlohmann::json()) : nlohmann::json();
  }
  std::int64_t pid() const { return process_.processId(); }

 private:
  std::string home_;
};

TEST(SharingDesktopTest, TwoAccountsSeeEachOtherInTheirWindows) {
  if (::geteuid() != 0) GTEST_SKIP() << "running as other accounts needs root";
  for (const char* program : {"Xvfb", "openbox", "xdotool"})
    if (!testing::installed(program)) GTEST_SKIP() << program << " is not installed";
  const std::uint32_t first = sharingUIDs[0], second = sharingUIDs[1];
  testing::ThrowawayAccounts accounts({first, second});
  ASSERT_TRUE(accounts.ready());
  // The real shared folder: left as found when it was there, removed when this test made it.
  const bool folderExisted = fs::exists(sharedFolder);
  QTemporaryDir root;
  ::chmod(root.path().toLocal8Bit().constData(), 0755);

  testing::PrivateDisplay display("2400x1000");
  ASSERT_FALSE(display.display().isEmpty());
  testing::DesktopProgram windowManager("openbox", {}, display.display(), "");
  ASSERT_TRUE(windowManager.started());
  testing::useDesktop(display.display(), "");
  {
    AccountInstance english(first, root.path().toStdString(), display.display(), "en_GB");
    AccountInstance japanese(second, root.path().toStdString(), display.display(), "ja_JP");
    // Each has received its own and the other account's report with fresh memory.
    const nlohmann::json both = {first, second};
    ASSERT_TRUE(testing::waitUntil([&] { return english.received() == both && japanese.received() == both; }, 60s))
        << english.health().dump() << "\n" << japanese.health().dump();

    const QString shots = QString(HOLLIN_BINARY_DIR) + "/screenshots";
    fs::create_directories(shots.toStdString());
    const auto shoot = [&](const QString& name) {
      QThread::msleep(1500);  // a render after the last tick
      QGuiApplication::primaryScreen()->grabWindow(0).save(shots + "/" + name + ".png");
    };
    shoot("sharing-apps");
    // The users tab is the second of the sharing profile: Ctrl+2 in each window.
    for (const auto* instance : {&english, &japanese})
      QProcess::execute("sh", {"-c", QString("xdotool search --sync --onlyvisible --pid %1 | tail -n 1 | "
                                             "xargs -I{} xdotool windowactivate --sync {} key ctrl+2")
                                         .arg(instance->pid())});
    shoot("sharing-users");
  }
  if (!folderExisted) fs::remove_all(sharedFolder);
}

}  // namespace
}  // namespace hollin
