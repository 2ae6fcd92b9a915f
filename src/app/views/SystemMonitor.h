#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// "アクティビティモニタを開く" on Linux: the desktop's own system monitor, found through the
// .desktop files of the usual ones.
namespace hollin {

struct SystemMonitorApp {
  QString desktopFile;  // the file it was found in
  QStringList command;  // program and arguments, field codes removed
  bool operator==(const SystemMonitorApp&) const = default;
};

// The desktop-file names tried, in order: graphical monitors first, then terminal ones.
const QStringList& systemMonitorCandidates();

// The command of one desktop file, or nothing when the file is not a launchable application
// (hidden, no Exec, a TryExec or program that is not installed). `findProgram` resolves a
// program name to its path ("" when absent); `terminal` is the terminal emulator that runs
// Terminal=true entries ("" when none).
std::optional<QStringList> desktopCommand(const QString& desktopFile,
                                          const std::function<QString(const QString&)>& findProgram,
                                          const QString& terminal);

// The first candidate installed under the applications folder of any of `dataDirectories`.
std::optional<SystemMonitorApp> findSystemMonitor(
    const QStringList& dataDirectories,
    const std::function<QString(const QString&)>& findProgram, const QString& terminal);

// The same on this machine: $XDG_DATA_HOME and $XDG_DATA_DIRS, programs on PATH,
// x-terminal-emulator for terminal monitors.
std::optional<SystemMonitorApp> installedSystemMonitor();

// Starts it detached from Hollin; false when it could not be started.
bool launchSystemMonitor(const SystemMonitorApp& app);

}  // namespace hollin
