// The one object that lives for the whole run: the tick, the sampling thread, the policies,
// the event sources' reactions and the self-health record.
#pragma once

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/platform/PressureEventSource.h"
#include "app/views/Presenter.h"
#include "core/memory/HeldReport.h"
#include "core/memory/MemoryNotice.h"
#include "core/memory/MenuBarStatus.h"
#include "core/memory/UsageTrackers.h"
#include "core/scope/AccountScope.h"
#include "core/scope/Settings.h"
#include "core/snapshot/Snapshot.h"

namespace hollin {

class Notifier;

// What the controller reads from the machine, injected so tests can drive it with fixed values
// and hand-moved clocks.
struct ControllerEnvironment {
  std::function<Snapshot()> take;             // runs on the sampling thread only
  std::function<double()> uptime;             // seconds since boot, sleep included
  std::function<WallTime()> wallNow;
  std::function<std::uint32_t()> consoleUID;  // 4294967295 when unknown
  std::uint32_t uid = 0;
  std::int32_t pid = 0;
  AccountScope scope;
  std::string version = "unknown";
  std::string build = "?";
  std::optional<std::string> dataFolder;  // where health.json goes; absent: not written
  // The kernel pressure source to open at start; absent: none (tests send events directly).
  std::optional<PressureEventSource::Options> pressure;
  std::chrono::milliseconds tickInterval{5000};
  std::function<void(const std::string&)> log;  // one line per notice and diagnostic, or nothing
};

class AppController : public QObject {
  Q_OBJECT
 public:
  // The presenter, the notifier (may be null: then nothing is posted and notices are only
  // logged) and the settings outlive the controller.
  AppController(ControllerEnvironment environment, Presenter& presenter, Notifier* notifier,
                Settings& settings, QObject* parent = nullptr);
  ~AppController() override;  // stops the timer, the pressure source and the sampling thread

  // Start-up: notification state, pressure source, the repeating timer, one tick at once, the
  // first-launch mark.
  void start();
  // The will-terminate steps: timer and pressure source stopped. Safe to call twice.
  void terminate();

  void tick();
  void writeHealth();
  // Something shown changed outside the tick (notification state, mute): render and record.
  void redraw();
  void showAnalysis();
  // A tab was chosen; choosing the selected apps tab again toggles its sort.
  void selectTab(AnalysisTab tab);
  // The application URLs: "hollin://analysis" brings the window forward at most every 10 s.
  void openURLs(const QStringList& urls);

  // Session observation.
  void willSleep();
  void didWake();
  void sessionActiveChanged(bool active);
  void pressureEvent(PressureEventLevel level);

  bool fetching() const { return fetching_; }
  bool asleep() const { return asleep_; }
  std::shared_ptr<const Snapshot> sample() const { return sample_; }
  Pressure eventPressure() const { return eventPressure_; }
  MenuBarLevel displayedLevel() const { return displayedLevel_; }
  std::optional<double> cpuFraction() const { return cpuFraction_; }
  std::optional<std::int64_t> swapChange() const { return swapChange_; }
  PressureSourceMode pressureMode() const;

 signals:
  // A snapshot was taken and applied (tests and the log wait on it).
  void sampleApplied();

 private:
  void receive(std::shared_ptr<const Snapshot> snapshot);
  void evaluate(const Snapshot& snapshot, std::optional<Pressure> event);
  void postNotice(Notice notice);
  double warningDelay() const;
  void render();
  ViewState viewState() const;
  bool stale() const;
  void refreshNotifications(bool force);
  void logLine(const std::string& line) const;

  ControllerEnvironment environment_;
  Presenter& presenter_;
  QPointer<Notifier> notifier_;
  Settings& settings_;

  QTimer timer_;
  std::shared_ptr<const Snapshot> sample_;
  std::unique_ptr<PressureEventSource> pressureSource_;
  Pressure eventPressure_ = Pressure::unknown;  // the last kernel event's
  MemoryPolicy policy_;
  MenuBarStatusPolicy menuPolicy_;
  CPUUsageTracker cpuTracker_;
  std::optional<double> cpuFraction_;
  SwapChangeTracker swapTracker_;
  std::optional<std::int64_t> swapChange_;
  bool diskDangerShown_ = false;
  MenuBarLevel displayedLevel_ = MenuBarLevel::unavailable;
  ShownStatus shown_;
  bool fetching_ = false;
  bool asleep_ = false;
  bool terminated_ = false;
  WallTime lastURLActivation_ = distantPast;
  AnalysisTab selectedTab_ = AnalysisTab::apps;
  bool sortedByName_ = false;
  std::vector<PeerReport> reports_;  // this account's own first, then the others'

  QThread* samplingThread_;  // left running at exit if a take never returns
  QObject* samplingContext_ = nullptr;  // lives on samplingThread_; takes run in its queue
};

}  // namespace hollin
