#include "app/views/SystemMonitor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>

namespace hollin {

namespace {

// The keys of the [Desktop Entry] group; other groups (actions) are ignored.
QHash<QString, QString> desktopEntry(const QString& path) {
  QHash<QString, QString> entry;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return entry;
  QTextStream in(&file);
  bool inEntry = false;
  while (!in.atEnd()) {
    const QString line = in.readLine().trimmed();
    if (line.startsWith('[')) inEntry = line == QStringLiteral("[Desktop Entry]");
    else if (inEntry && !line.startsWith('#') && line.contains('='))
      entry.insert(line.section('=', 0, 0).trimmed(), line.section('=', 1).trimmed());
  }
  return entry;
}

// Exec with its field codes (%f, %U, %i, ...) dropped and "%%" kept as "%".
QStringList execArguments(const QString& exec) {
  QStringList arguments;
  for (const QString& argument : QProcess::splitCommand(exec)) {
    if (argument.size() == 2 && argument[0] == '%' && argument[1] != '%') continue;
    arguments << QString(argument).replace(QStringLiteral("%%"), QStringLiteral("%"));
  }
  return arguments;
}

}  // namespace

const QStringList& systemMonitorCandidates() {
  static const QStringList names = {
      "org.gnome.SystemMonitor.desktop", "gnome-system-monitor.desktop",
      "org.kde.plasma-systemmonitor.desktop", "org.kde.ksysguard.desktop",
      "ksysguard.desktop", "xfce4-taskmanager.desktop", "mate-system-monitor.desktop",
      "lxtask.desktop", "qps.desktop", "btop.desktop", "htop.desktop"};
  return names;
}

std::optional<QStringList> desktopCommand(const QString& desktopFile,
                                          const std::function<QString(const QString&)>& findProgram,
                                          const QString& terminal) {
  const auto entry = desktopEntry(desktopFile);
  if (entry.value("Type") != "Application" || entry.value("Hidden") == "true")
    return std::nullopt;
  const QString tryExec = entry.value("TryExec");
  if (!tryExec.isEmpty() && findProgram(tryExec).isEmpty()) return std::nullopt;
  QStringList command = execArguments(entry.value("Exec"));
  if (command.isEmpty() || findProgram(command.front()).isEmpty()) return std::nullopt;
  if (entry.value("Terminal") == "true") {
    if (terminal.isEmpty()) return std::nullopt;
    command = QStringList{terminal, "-e"} + command;
  }
  return command;
}

std::optional<SystemMonitorApp> findSystemMonitor(
    const QStringList& dataDirectories,
    const std::function<QString(const QString&)>& findProgram, const QString& terminal) {
  for (const QString& name : systemMonitorCandidates())
    for (const QString& directory : dataDirectories) {
      const QString path = QDir(directory).filePath("applications/" + name);
      if (!QFileInfo::exists(path)) continue;
      // The first folder holding the file decides, as a user's own copy overrides the system's.
      if (auto command = desktopCommand(path, findProgram, terminal))
        return SystemMonitorApp{path, *command};
      break;
    }
  return std::nullopt;
}

std::optional<SystemMonitorApp> installedSystemMonitor() {
  const auto find = [](const QString& program) { return QStandardPaths::findExecutable(program); };
  return findSystemMonitor(QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation),
                           find, find("x-terminal-emulator"));
}

bool launchSystemMonitor(const SystemMonitorApp& app) {
  if (app.command.isEmpty()) return false;
  return QProcess::startDetached(app.command.front(), app.command.mid(1));
}

}  // namespace hollin
