// The widget program's state: the configured widgets and their windows, the timeline they all
// show, and the events that move it on. Nothing here polls: the timeline is read at start, when
// the application replaces the reload marker in the shared folder (an inotify watch), and at
// the timeline's own reload date; its later entries are shown at their dates. Between those
// the process sleeps.
#pragma once

#include <QFileSystemWatcher>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include <sys/stat.h>

#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "widgets/UsageProvider.h"
#include "widgets/WidgetSettings.h"
#include "widgets/WidgetWindow.h"

namespace hollin {

struct HostEnvironment {
  std::optional<std::filesystem::path> sharedFolder;  // where the summary and the reload marker are
  QString settingsFile;                               // empty: nothing is remembered
  std::string language;
};

class WidgetHost : public QObject {
  Q_OBJECT
 public:
  WidgetHost(const UsageProvider& provider, HostEnvironment environment, QObject* parent = nullptr);

  // Shows the configured widgets (or the default one), starts the watch and reads the timeline.
  void start();
  const std::vector<QPointer<WidgetWindow>>& windows() const { return windows_; }

 signals:
  void quitRequested();

 private:
  struct Marker {
    ino_t inode;
    timespec modified;
  };

  void watch();
  void watchedChanged();
  bool markerChanged();
  void reload();
  void showNextEntry();
  void show(const UsageEntry& entry);
  WidgetWindow* open(const ConfiguredWidget& widget, const UsageEntry& entry);
  void add(const std::string& kind, WidgetFamily family);
  void remove(WidgetWindow* window);
  void remember();
  QPoint freePlace(WidgetFamily family) const;

  const UsageProvider& provider_;
  HostEnvironment environment_;
  std::vector<ConfiguredWidget> configured_;
  std::vector<QPointer<WidgetWindow>> windows_;  // in the order of configured_
  UsageEntry shown_;
  std::deque<UsageEntry> upcoming_;  // the timeline's later entries, by date
  QFileSystemWatcher watcher_;
  QTimer entryTimer_, reloadTimer_;  // single shots, never repeating
  std::optional<Marker> marker_;     // the reload marker as last seen
};

}  // namespace hollin
