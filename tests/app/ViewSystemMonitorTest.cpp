#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>

#include "app/views/SystemMonitor.h"

namespace hollin {
namespace {

// Two data folders (a user's and the system's) with applications/ inside, and a set of
// "installed" programs standing in for PATH.
class SystemMonitorTest : public ::testing::Test {
 protected:
  void write(int folder, const QString& name, const QString& entry) {
    const QString directory = (folder == 0 ? user_ : system_).filePath("applications");
    QDir().mkpath(directory);
    QFile file(directory + "/" + name);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(("[Desktop Entry]\nType=Application\nName=Monitor\n" + entry +
                "\n[Desktop Action New]\nExec=other --new\n").toUtf8());
  }
  std::optional<SystemMonitorApp> find(const QString& terminal = {}) const {
    return findSystemMonitor({user_.path(), system_.path()},
                             [this](const QString& program) {
                               return installed_.contains(program) ? "/usr/bin/" + program : QString();
                             },
                             terminal);
  }

  QTemporaryDir user_, system_;
  QStringList installed_ = {"gnome-system-monitor", "btop", "xfce4-taskmanager"};
};

TEST_F(SystemMonitorTest, GraphicalMonitorsComeBeforeTerminalOnes) {
  write(1, "btop.desktop", "Exec=btop\nTerminal=true");
  write(1, "xfce4-taskmanager.desktop", "Exec=xfce4-taskmanager");
  write(1, "gnome-system-monitor.desktop", "Exec=gnome-system-monitor %U --tab=100%%");
  const auto found = find("/usr/bin/x-terminal-emulator");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->command, (QStringList{"gnome-system-monitor", "--tab=100%"}))
      << "field codes dropped, %% kept as %, the action group ignored";
}

TEST_F(SystemMonitorTest, EntriesThatCannotRunAreSkipped) {
  write(1, "gnome-system-monitor.desktop", "Exec=gnome-system-monitor");
  write(0, "gnome-system-monitor.desktop", "Exec=gnome-system-monitor\nHidden=true");
  write(1, "mate-system-monitor.desktop", "Exec=mate-system-monitor");  // not installed
  write(1, "lxtask.desktop", "TryExec=lxtask\nExec=xfce4-taskmanager");
  write(1, "btop.desktop", "Exec=btop\nTerminal=true");
  EXPECT_EQ(find(), std::nullopt) << "a terminal monitor needs a terminal";
  const auto found = find("/usr/bin/x-terminal-emulator");
  ASSERT_TRUE(found) << "the user's hidden copy removes the system one; btop remains";
  EXPECT_EQ(found->command, (QStringList{"/usr/bin/x-terminal-emulator", "-e", "btop"}));
  EXPECT_TRUE(found->desktopFile.endsWith("btop.desktop"));
}

TEST_F(SystemMonitorTest, NothingInstalledLeavesTheItemDisabled) {
  write(1, "org.gnome.SystemMonitor.desktop", "Exec=");
  write(1, "notes.desktop", "Exec=gnome-system-monitor");
  EXPECT_EQ(find("/usr/bin/x-terminal-emulator"), std::nullopt);
}

TEST_F(SystemMonitorTest, LaunchStartsARealDetachedProcess) {
  const QString marker = user_.filePath("started");
  ASSERT_TRUE(launchSystemMonitor({"test.desktop", {"touch", marker}}));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (!QFileInfo::exists(marker) && std::chrono::steady_clock::now() < deadline)
    QThread::msleep(10);
  EXPECT_TRUE(QFileInfo::exists(marker));
  EXPECT_FALSE(launchSystemMonitor({"x.desktop", {}}));
  EXPECT_FALSE(launchSystemMonitor({"x.desktop", {"/nonexistent/monitor"}}));
}

}  // namespace
}  // namespace hollin
