// The one object that lives for the whole run: the tick, the sampling queue, the subsystems in
// their order, the views' state, the self-health record and the metrics export.
#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/metrics/MetricsExport.h"
#include "app/platform/WriteOutcomeLog.h"
#include "app/tick/SerialQueue.h"
#include "app/tick/Subsystem.h"
#include "app/views/Presenter.h"

namespace hollin {

// What the controller reads from the machine, injected so tests can drive it with fixed values
// and hand-moved clocks.
struct ControllerEnvironment {
  // The take: runs on the sampling queue only, with every subsystem's reader.
  std::function<Snapshot(std::span<const std::shared_ptr<SnapshotReader>>)> take;
  std::function<double()> uptime;             // seconds since boot, sleep included
  std::function<WallTime()> wallNow;
  std::function<std::uint32_t()> consoleUID;  // unknownUID when unknown
  std::uint32_t uid = 0;
  std::int32_t pid = 0;
  AccountScope scope;
  std::string language = "en";
  std::string version = "unknown";
  std::optional<std::string> dataFolder;  // where health.json goes; absent: not written
  std::optional<std::string> widgetFolder;  // the widgets' shared folder; absent: no summary
  std::chrono::milliseconds tickInterval{5000};
  std::function<void(const std::string&)> log;  // the diagnostic log, or nothing
};

class AppController : public QObject {
  Q_OBJECT
 public:
  // The presenter and the settings outlive the controller.
  AppController(ControllerEnvironment environment, Presenter& presenter, Settings& settings,
                QObject* parent = nullptr);
  ~AppController() override;

  // What the subsystems are handed; `notifier` may be null.
  Services services(Notifier* notifier);
  // Registration, before start, in the order of the tick.
  void add(std::unique_ptr<Subsystem> subsystem);

  // Start-up: every subsystem's start, the repeating timer, one tick at once, the first-launch
  // mark.
  void start();
  // The will-terminate steps. Safe to call twice.
  void terminate();

  void tick();
  // Something shown changed outside the tick: render and write the self-health record.
  void redraw();
  void writeHealth();
  void showAnalysis();
  // A card's button was pressed; its subsystem answers.
  void cardAction(CardSlot slot);
  // A settings-panel control was worked (`on`: a switch's new state).
  void settingsControl(SettingsControl control, bool on);
  // A tab was chosen; the subsystems hear of it (choosing the apps tab again toggles its sort).
  void selectTab(AnalysisTab tab);
  // The application URLs: "hollin://analysis" brings the window forward at most every 10 s.
  void openURLs(const QStringList& urls);

  // Session observation.
  void willSleep();
  void didWake();
  void sessionActiveChanged(bool active);

  // What the views report.
  void windowShown(bool shown);
  void trayShown(bool shown);

  bool fetching() const { return fetching_; }
  bool asleep() const { return asleep_; }
  std::shared_ptr<const Snapshot> sample() const { return sample_; }
  // The moment now, with the subsystems' facts.
  Moment moment() const;

 signals:
  // A snapshot was taken and applied (tests and the log wait on it).
  void sampleApplied();

 private:
  Moment baseMoment() const;
  // `moment` with the subsystems' facts added.
  Moment withFacts(Moment moment) const;
  void receive(std::shared_ptr<const Snapshot> snapshot);
  void render(const Moment& moment);
  void writeHealth(const Moment& moment);
  void writeRecord(const Moment& moment);
  void exportMetrics(const Moment& moment);
  void log(const std::string& line) const;

  ControllerEnvironment environment_;
  Presenter& presenter_;
  Settings& settings_;
  std::vector<std::unique_ptr<Subsystem>> subsystems_;
  std::vector<std::shared_ptr<SnapshotReader>> readers_;

  QTimer timer_;
  std::shared_ptr<const Snapshot> sample_;
  StatusTexts shownStatus_;
  bool fetching_ = false;
  bool asleep_ = false;
  bool terminated_ = false;
  bool windowShown_ = false;
  bool trayShown_ = false;
  bool dataFolderReady_ = false;
  WriteOutcomeLog healthWrites_;
  MetricsExport metrics_;
  AnalysisTab selectedTab_ = AnalysisTab::apps;
  WallTime lastURLActivation_ = distantPast;
  SerialQueue sampling_;  // declared last, so its thread stops first
};

}  // namespace hollin
