#include "app/memory/MemorySubsystem.h"

#include <nlohmann/json.hpp>

#include "app/notify/Notifier.h"
#include "core/L10n.h"
#include "core/notify/NoticeContent.h"
#include "core/ui/StatusView.h"

namespace hollin {
namespace {

template <class T>
std::optional<T> validOnly(std::int32_t valid, T value) {
  return valid ? std::optional<T>(value) : std::nullopt;
}

}  // namespace

MemorySubsystem::MemorySubsystem(Services services, bool watchPressure)
    : services_(std::move(services)), watchPressure_(watchPressure), policy_(warningDelay()),
      menuPolicy_(warningDelay()) {}

// The sharing profile's machine records the screen: a longer hold keeps passing warnings out.
double MemorySubsystem::warningDelay() const { return services_.scope.supportsSharing() ? 30 : 10; }

void MemorySubsystem::start() {
  if (!watchPressure_) return;
  pressureSource_ = std::make_unique<PressureEventSource>();
  connect(pressureSource_.get(), &PressureEventSource::pressureEvent, this, &MemorySubsystem::pressureEvent);
  if (services_.log) services_.log(std::string("pressure events: ") + modeName(pressureSource_->start()));
}

void MemorySubsystem::stop() {
  if (pressureSource_) pressureSource_->stop();
}

void MemorySubsystem::evaluate(const Moment& moment) {
  const HLSystem& system = moment.snapshot->system;
  figures_.cpuFraction = cpuTracker_.observe(validOnly(system.cpu_valid, system.cpu_busy),
                                             validOnly(system.cpu_valid, system.cpu_idle), moment.snapshot->uptime);
  figures_.swapChange = swapTracker_.observe(validOnly(system.swap_valid, system.swap_used), moment.snapshot->uptime);
  assess(moment, std::nullopt);
}

void MemorySubsystem::pressureEvent(Pressure pressure) {
  figures_.eventPressure = pressure;
  if (!services_.moment) return;
  // The event is news of now: the held snapshot is judged again at the current uptime.
  const Moment now = services_.moment();
  if (now.snapshot) assess(now, pressure);
  if (services_.redraw) services_.redraw();
}

void MemorySubsystem::assess(const Moment& moment, std::optional<Pressure> event) {
  const HLSystem& system = moment.snapshot->system;
  const Pressure pressure = event ? *event : kernelPressure(system, figures_.eventPressure);
  const MemorySample sample = memorySample(system, moment.now, pressure);
  menuPolicy_.observe(sample);
  // Only the account at the console with notifications on keeps an episode; any other starts
  // afresh when it comes back.
  Notifier* notifier = services_.notifier;
  const bool mayNotify = !notifier || notifier->notificationsAllowed();
  if (moment.consoleUID != moment.uid || !mayNotify) {
    policy_ = MemoryPolicy(warningDelay());
    return;
  }
  const auto notice = policy_.observe(sample);
  if (!notice) return;
  const auto request = memoryNotice(rawValue(*notice));
  if (!request) return;
  if (services_.log)
    services_.log("notice " + request->id + ": " + L10n::text(request->title) + " — " + L10n::text(request->body));
  if (notifier) notifier->notify(request->id, L10n::text(request->title), L10n::text(request->body), request->urgent);
}

void MemorySubsystem::contribute(Moment& moment) {
  moment.cpuFraction = figures_.cpuFraction;
  moment.swapChange = figures_.swapChange;
}

void MemorySubsystem::present(Screen& screen, const Moment& moment) {
  if (!moment.snapshot) return;
  const HLSystem& system = moment.snapshot->system;
  const ShownLevelInputs inputs{moment.asleep,          moment.now,           moment.snapshot->uptime,
                                system.disk_valid != 0, system.disk_available, figures_.diskDangerShown};
  ShownLevel shown = shownLevel(menuPolicy_, inputs, moment.peerReports());
  figures_.diskDangerShown = shown.diskWarningShown;
  figures_.displayedLevel = shown.level;
  screen.status = statusTexts(shownStatus(shown.level, std::move(shown.explanation)), moment.language);
  presentMemoryCards(screen, moment, figures_);
  presentApps(screen, moment, figures_.sort);
}

void MemorySubsystem::record(nlohmann::json& record, const Moment& moment) const {
  recordMemory(record, moment, figures_);
}

void MemorySubsystem::tabSelected(AnalysisTab previous, AnalysisTab selected) {
  figures_.sort = sortAfter(previous, selected, figures_.sort);
}

void MemorySubsystem::sleepChanged(bool) { menuPolicy_.reset(); }

void MemorySubsystem::metrics(MetricsText& metrics, const Moment& moment) const {
  exportMemory(metrics, moment, figures_, menuPolicy_.memoryLevel());
}

}  // namespace hollin
