// The memory watch: the trackers and both memory policies fed with every snapshot and every
// kernel pressure event, the memory notices, the shown level, the memory cards and the apps tab.
#pragma once

#include <QObject>

#include <memory>

#include "app/platform/PressureEventSource.h"
#include "app/tick/Subsystem.h"
#include "core/memory/MemoryView.h"
#include "core/memory/UsageTrackers.h"

namespace hollin {

class MemorySubsystem final : public QObject, public Subsystem {
  Q_OBJECT
 public:
  // `watchPressure`: open the kernel's pressure events at start (tests send them by hand).
  MemorySubsystem(Services services, bool watchPressure);

  void start() override;
  void evaluate(const Moment& moment) override;
  void contribute(Moment& moment) override;
  void present(Screen& screen, const Moment& moment) override;
  void record(nlohmann::json& record, const Moment& moment) const override;
  void metrics(MetricsText& metrics, const Moment& moment) const override;
  void tabSelected(AnalysisTab previous, AnalysisTab selected) override;
  void sleepChanged(bool asleep) override;
  void stop() override;

  // A kernel pressure event: the last snapshot is evaluated again with it, between ticks.
  void pressureEvent(Pressure pressure);

  const MemoryFigures& figures() const { return figures_; }

 private:
  double warningDelay() const;
  void assess(const Moment& moment, std::optional<Pressure> event);

  Services services_;
  bool watchPressure_;
  std::unique_ptr<PressureEventSource> pressureSource_;
  MemoryPolicy policy_;
  MenuBarStatusPolicy menuPolicy_;
  CPUUsageTracker cpuTracker_;
  SwapChangeTracker swapTracker_;
  MemoryFigures figures_;
};

}  // namespace hollin
