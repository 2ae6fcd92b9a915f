#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "TestSupport.h"
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
    const auto onPath = [this](const QString& program) { return installed_.contains(program) ? "/usr/bin/" + program : ""; };
    return findSystemMonitor({user_.path(), system_.path()}, onPath, terminal);
  }

  QTemporaryDir user_, system_;
  QStringList installed_ = {"gnome-system-monitor", "btop", "xfce4-taskmanager"};
};

TEST_F(SystemMonitorTest, TheFirstCandidateThatCanRunWinsGraphicalBeforeTerminal) {
  write(1, "org.gnome.SystemMonitor.desktop", "Exec=");
  write(1, "notes.desktop", "Exec=gnome-system-monitor");  // no system monitor's file
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

  // A graphical monitor comes before any terminal one.
  write(1, "xfce4-taskmanager.desktop", "Exec=xfce4-taskmanager %U --tab=100%%");
  EXPECT_EQ(find("/usr/bin/x-terminal-emulator").value_or(SystemMonitorApp{}).command,
            (QStringList{"xfce4-taskmanager", "--tab=100%"}))
      << "field codes dropped, %% kept as %, the action group ignored";
}

TEST_F(SystemMonitorTest, LaunchStartsARealDetachedProcess) {
  const QString marker = user_.filePath("started");
  ASSERT_TRUE(launchSystemMonitor({"test.desktop", {"touch", marker}}));
  testing::ensureApplication();
  EXPECT_TRUE(testing::waitUntil([&] { return QFileInfo::exists(marker); }));
  EXPECT_FALSE(launchSystemMonitor({"x.desktop", {}}));
  EXPECT_FALSE(launchSystemMonitor({"x.desktop", {"/nonexistent/monitor"}}));
}

}  // namespace
}  // namespace hollin
