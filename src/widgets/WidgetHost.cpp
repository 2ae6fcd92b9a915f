#include "widgets/WidgetHost.h"

#include <QGuiApplication>
#include <QScreen>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>

namespace hollin {
namespace {

constexpr int placementInset = 24;  // pixels from the screen's edge, and between new widgets

int millisecondsUntil(WallTime date) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(date - std::chrono::system_clock::now());
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, std::numeric_limits<int>::max()));
}

}  // namespace

WidgetHost::WidgetHost(const UsageProvider& provider, HostEnvironment environment, QObject* parent)
    : QObject(parent), provider_(provider), environment_(std::move(environment)) {
  // Minutes apart, so a second's slack costs nothing and lets the kernel batch wake-ups.
  for (QTimer* timer : {&entryTimer_, &reloadTimer_}) {
    timer->setSingleShot(true);
    timer->setTimerType(Qt::VeryCoarseTimer);
  }
  connect(&entryTimer_, &QTimer::timeout, this, &WidgetHost::showNextEntry);
  connect(&reloadTimer_, &QTimer::timeout, this, &WidgetHost::reload);
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &WidgetHost::watchedChanged);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &WidgetHost::watchedChanged);
}

void WidgetHost::start() {
  const std::vector<ConfiguredWidget> stored = loadWidgets(environment_.settingsFile);
  configured_ = stored.empty() ? defaultWidgets() : stored;
  const auto placeholder = provider_.placeholder();
  if (!placeholder) return;
  shown_ = *placeholder;
  for (ConfiguredWidget& widget : configured_) {
    if (!widget.position) widget.position = freePlace(widget.family);
    windows_.push_back(open(widget, shown_));
  }
  if (configured_ != stored) remember();
  // The marker as it is now was meant for an earlier run.
  markerChanged();
  watch();
  reload();
}

// Only the marker is watched once it exists, so the summary's own writes, a minute apart, never
// wake the program; before that, the folder it will appear in, or the folder's parent.
void WidgetHost::watch() {
  if (!environment_.sharedFolder) return;
  if (const QStringList watched = watcher_.files() + watcher_.directories(); !watched.isEmpty())
    watcher_.removePaths(watched);
  std::error_code error;
  const std::filesystem::path& folder = *environment_.sharedFolder;
  const std::filesystem::path marker = folder / WidgetSnapshot::reloadFileName;
  for (const std::filesystem::path& candidate : {marker, folder, folder.parent_path()})
    if (std::filesystem::exists(candidate, error) && watcher_.addPath(QString::fromStdString(candidate.string())))
      return;
}

// The marker was replaced (its old file is gone), or something appeared in a watched folder.
void WidgetHost::watchedChanged() {
  watch();
  if (markerChanged()) reload();
}

bool WidgetHost::markerChanged() {
  if (!environment_.sharedFolder) return false;
  const std::filesystem::path file = *environment_.sharedFolder / WidgetSnapshot::reloadFileName;
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0) {
    marker_.reset();
    return false;
  }
  const Marker seen{status.st_ino, status.st_mtim};
  const bool changed = !marker_ || marker_->inode != seen.inode || marker_->modified.tv_sec != seen.modified.tv_sec ||
                       marker_->modified.tv_nsec != seen.modified.tv_nsec;
  marker_ = seen;
  return changed;
}

void WidgetHost::reload() {
  const auto timeline = provider_.getTimeline();
  if (!timeline || timeline->entries.empty()) return;
  upcoming_.assign(timeline->entries.begin() + 1, timeline->entries.end());
  show(timeline->entries.front());
  entryTimer_.stop();
  if (!upcoming_.empty()) entryTimer_.start(millisecondsUntil(upcoming_.front().date));
  reloadTimer_.start(millisecondsUntil(timeline->reloadAfter));
}

void WidgetHost::showNextEntry() {
  if (upcoming_.empty()) return;
  show(upcoming_.front());
  upcoming_.pop_front();
  if (!upcoming_.empty()) entryTimer_.start(millisecondsUntil(upcoming_.front().date));
}

void WidgetHost::show(const UsageEntry& entry) {
  shown_ = entry;
  for (const auto& window : windows_)
    if (window) window->display(entry);
}

WidgetWindow* WidgetHost::open(const ConfiguredWidget& widget, const UsageEntry& entry) {
  auto* window = new WidgetWindow(*widgetKind(widget.kind), widget.family, environment_.language);
  if (widget.position) window->move(*widget.position);
  window->display(entry);
  connect(window, &WidgetWindow::dragged, this, [this, window](QPoint position) {
    const auto at = std::find(windows_.begin(), windows_.end(), window);
    if (at == windows_.end()) return;
    configured_[static_cast<std::size_t>(at - windows_.begin())].position = position;
    remember();
  });
  connect(window, &WidgetWindow::addRequested, this, &WidgetHost::add);
  connect(window, &WidgetWindow::removeRequested, this, [this, window] { remove(window); });
  connect(window, &WidgetWindow::quitRequested, this, &WidgetHost::quitRequested);
  window->show();
  return window;
}

void WidgetHost::add(const std::string& kind, WidgetFamily family) {
  const auto entry = provider_.getSnapshot();
  if (!entry) return;
  configured_.push_back({kind, family, freePlace(family)});
  windows_.push_back(open(configured_.back(), *entry));
  remember();
}

void WidgetHost::remove(WidgetWindow* window) {
  const auto at = std::find(windows_.begin(), windows_.end(), window);
  if (at == windows_.end()) return;
  configured_.erase(configured_.begin() + (at - windows_.begin()));
  windows_.erase(at);
  window->close();
  remember();
  // The last one gone, nothing is left to show; the next start shows the default again.
  if (configured_.empty()) emit quitRequested();
}

void WidgetHost::remember() {
  if (environment_.settingsFile.isEmpty()) return;
  if (!saveWidgets(environment_.settingsFile, configured_))
    std::fprintf(stderr, "hollin-widgets: cannot write %s\n", environment_.settingsFile.toLocal8Bit().constData());
}

QPoint WidgetHost::freePlace(WidgetFamily family) const {
  const QScreen* screen = QGuiApplication::primaryScreen();
  const QRect area = screen ? screen->availableGeometry() : QRect(0, 0, 1280, 800);
  const WidgetSize size = widgetSize(family);
  const int step = placementInset * static_cast<int>(windows_.size());
  return {area.right() + 1 - placementInset - size.width - step, area.top() + placementInset + step};
}

}  // namespace hollin
