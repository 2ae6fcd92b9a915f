#include "app/AppController.h"

#include <QCoreApplication>
#include <QUrl>

#include "app/notify/Notifier.h"
#include "app/platform/AtomicFile.h"
#include "app/platform/DataFolder.h"
#include "app/platform/QtSettings.h"
#include "core/L10n.h"
#include "core/health/HealthRecord.h"
#include "core/memory/AppMemoryGroup.h"
#include "core/memory/AppProcesses.h"
#include "core/notify/NoticeContent.h"
#include "core/ui/StatusView.h"

namespace hollin {
namespace {

constexpr auto urlActivationInterval = std::chrono::seconds(10);
// A take that never returns must not keep the program from ending.
constexpr unsigned long samplingStopDeadlineMs = 10'000;

Pressure pressureOf(PressureEventLevel level) {
  switch (level) {
    case PressureEventLevel::normal: return Pressure::normal;
    case PressureEventLevel::warning: return Pressure::warning;
    case PressureEventLevel::critical: break;
  }
  return Pressure::critical;
}

template <class T>
std::optional<T> validOnly(std::int32_t valid, T value) {
  return valid ? std::optional<T>(value) : std::nullopt;
}

bool isAnalysisURL(const QString& text) {
  QUrl url(text);
  return url.scheme() == QLatin1String("hollin") && url.host() == QLatin1String("analysis");
}

}  // namespace

AppController::AppController(ControllerEnvironment environment, Presenter& presenter, Notifier* notifier,
                             Settings& settings, QObject* parent)
    : QObject(parent), environment_(std::move(environment)), presenter_(presenter), notifier_(notifier),
      settings_(settings), policy_(warningDelay()), menuPolicy_(warningDelay()) {
  samplingThread_ = new QThread;
  samplingThread_->setObjectName(QStringLiteral("org.hollin.Hollin.sampling"));
  samplingContext_ = new QObject;
  samplingContext_->moveToThread(samplingThread_);
  connect(samplingThread_, &QThread::finished, samplingContext_, &QObject::deleteLater);
  samplingThread_->start(QThread::LowPriority);
  timer_.setInterval(environment_.tickInterval);
  connect(&timer_, &QTimer::timeout, this, &AppController::tick);
}

AppController::~AppController() {
  terminate();
  samplingThread_->quit();
  // Destroying a running QThread aborts; a take stuck in the kernel past the deadline keeps its
  // thread, which ends with the process.
  if (samplingThread_->wait(samplingStopDeadlineMs)) delete samplingThread_;
}

void AppController::start() {
  refreshNotifications(false);
  if (environment_.pressure) {
    pressureSource_ = std::make_unique<PressureEventSource>(*environment_.pressure);
    connect(pressureSource_.get(), &PressureEventSource::pressureEvent, this, &AppController::pressureEvent);
    logLine(std::string("pressure events: ") + modeName(pressureSource_->start()));
  }
  timer_.start();
  tick();
  if (!settings_.boolean(hasOpenedKey).value_or(false)) settings_.setBoolean(hasOpenedKey, true);
}

void AppController::terminate() {
  if (terminated_) return;
  terminated_ = true;
  timer_.stop();
  if (pressureSource_) pressureSource_->stop();
}

PressureSourceMode AppController::pressureMode() const {
  return pressureSource_ ? pressureSource_->mode() : PressureSourceMode::none;
}

void AppController::tick() {
  refreshNotifications(false);
  if (asleep_ || fetching_) {
    render();
    return;
  }
  fetching_ = true;
  // The closures hold the controller weakly and touch it only on the main thread; the take
  // itself gets its own copy of the source so the sampling thread never reads controller state.
  QPointer<AppController> weak(this);
  QMetaObject::invokeMethod(
      samplingContext_,
      [weak, take = environment_.take, main = QCoreApplication::instance()] {
        auto snapshot = std::make_shared<const Snapshot>(take());
        QMetaObject::invokeMethod(
            main, [weak, snapshot] {
              if (weak) weak->receive(snapshot);
            },
            Qt::QueuedConnection);
      },
      Qt::QueuedConnection);
}

void AppController::receive(std::shared_ptr<const Snapshot> snapshot) {
  fetching_ = false;
  if (asleep_) return;  // taken before the sleep: it describes a machine that has since changed
  sample_ = std::move(snapshot);
  const HLSystem& system = sample_->system;
  cpuFraction_ = cpuTracker_.observe(validOnly(system.cpu_valid, system.cpu_busy),
                                     validOnly(system.cpu_valid, system.cpu_idle), sample_->uptime);
  swapChange_ = swapTracker_.observe(validOnly(system.swap_valid, system.swap_used), sample_->uptime);
  evaluate(*sample_, std::nullopt);
  render();
  writeHealth();
  emit sampleApplied();
}

double AppController::warningDelay() const { return environment_.scope.supportsSharing() ? 30 : 10; }

void AppController::evaluate(const Snapshot& snapshot, std::optional<Pressure> event) {
  const Pressure pressure = event ? *event : kernelPressure(snapshot.system, eventPressure_);
  const MemorySample sample = memorySample(snapshot.system, environment_.uptime(), pressure);
  menuPolicy_.observe(sample);
  // Only the account at the console with notifications on keeps an episode; any other starts
  // afresh when it comes back.
  const bool mayNotify = !notifier_ || notifier_->notificationsAllowed();
  if (environment_.consoleUID() == environment_.uid && mayNotify) {
    if (auto notice = policy_.observe(sample)) postNotice(*notice);
  } else {
    policy_ = MemoryPolicy(warningDelay());
  }
}

void AppController::postNotice(Notice notice) {
  auto request = memoryNotice(rawValue(notice));
  if (!request) return;
  logLine("notice " + request->id + ": " + L10n::text(request->title) + " — " + L10n::text(request->body));
  if (notifier_)
    notifier_->notify(request->id, L10n::text(request->title), L10n::text(request->body), request->urgent);
}

void AppController::pressureEvent(PressureEventLevel level) {
  eventPressure_ = pressureOf(level);
  if (sample_) evaluate(*sample_, eventPressure_);
  render();
  writeHealth();
}

void AppController::willSleep() {
  asleep_ = true;
  menuPolicy_.reset();
  render();
  writeHealth();
}

void AppController::didWake() {
  asleep_ = false;
  menuPolicy_.reset();
  render();
  tick();
}

void AppController::sessionActiveChanged(bool) { tick(); }

void AppController::openURLs(const QStringList& urls) {
  if (std::none_of(urls.begin(), urls.end(), isAnalysisURL)) return;
  WallTime now = environment_.wallNow();
  if (now - lastURLActivation_ < urlActivationInterval) return;
  lastURLActivation_ = now;
  showAnalysis();
}

void AppController::showAnalysis() {
  presenter_.showAnalysis();
  render();
}

void AppController::selectTab(AnalysisTab tab) {
  sortedByName_ = sortByNameAfter(selectedTab_, tab, sortedByName_);
  selectedTab_ = tab;
  render();
  writeHealth();
}

bool AppController::stale() const {
  return asleep_ || !sample_ || environment_.uptime() - sample_->uptime > staleAfter;
}

ViewState AppController::viewState() const {
  ViewState state;
  state.snapshot = sample_;
  state.stale = stale();
  state.now = environment_.uptime();
  state.wallNow = environment_.wallNow();
  state.language = std::string(L10n::language());
  if (sample_) {
    state.combinedProcesses = combinedProcesses(*sample_, reports_, environment_.uid, state.now);
    const AppMemorySort sort = sortedByName_ ? AppMemorySort::name : AppMemorySort::memory;
    for (auto& group : appMemoryGroups(state.combinedProcesses, sort))
      state.appGroups.push_back({std::move(group.name), group.uid, group.footprint, group.resident,
                                 group.readableCount, group.processCount});
  }
  state.status = shown_;
  state.diskDangerShown = diskDangerShown_;
  state.cpuFraction = cpuFraction_;
  state.swapChange = swapChange_;
  state.sortedByName = sortedByName_;
  state.selectedTab = selectedTab_;
  state.scope = environment_.scope;
  state.currentUID = environment_.uid;
  state.consoleUID = environment_.consoleUID();
  if (notifier_) {
    state.mutedUntil = notifier_->mutedUntil();
    state.notificationsAllowed = notifier_->notificationsAllowed();
  }
  state.sharing = sharingEnabled(environment_.scope, settings_);
  state.version = environment_.version;
  state.build = environment_.build;
  return state;
}

// The shown level is decided on every render with a snapshot; without one nothing changes.
void AppController::render() {
  if (sample_) {
    const HLSystem& system = sample_->system;
    ShownLevelInputs inputs{asleep_, environment_.uptime(), sample_->uptime, system.disk_valid != 0,
                            system.disk_available, diskDangerShown_};
    ShownLevel shown = shownLevel(menuPolicy_, inputs, reports_);
    diskDangerShown_ = shown.diskWarningShown;
    displayedLevel_ = shown.level;
    shown_ = shownStatus(shown.level, std::move(shown.explanation));
  }
  presenter_.render(viewState());
}

void AppController::redraw() {
  render();
  writeHealth();
}

void AppController::writeHealth() {
  if (!sample_ || !environment_.dataFolder) return;
  PresenterReadout readout = presenter_.readout();
  HealthInputs inputs;
  inputs.snapshot = sample_;
  inputs.now = environment_.uptime();
  inputs.wallNow = environment_.wallNow();
  inputs.version = environment_.version;
  inputs.uid = environment_.uid;
  inputs.consoleUID = environment_.consoleUID();
  inputs.eventPressure = static_cast<std::int32_t>(eventPressure_);
  inputs.cpuFraction = cpuFraction_;
  inputs.swapChange = swapChange_;
  inputs.asleep = asleep_;
  inputs.scope = environment_.scope;
  inputs.menuBarLevel = std::string(rawValue(displayedLevel_));
  inputs.screen = {readout.menuBarText,           readout.menuBarIconVisible,   readout.menuBarToolTip,
                   readout.statusMenuTitle,       readout.statusMenuText,       readout.menuBarHoverInstalled,
                   readout.menuBarHoverEnteredCount, readout.menuBarHoverShownCount, readout.menuBarHoverVisible,
                   false,                         readout.analysisStatusText};
  inputs.ownPid = environment_.pid;
  inputs.sortedByName = sortedByName_;
  inputs.combinedProcesses = combinedProcesses(*sample_, reports_, environment_.uid, inputs.now);
  inputs.sharingEnabled = sharingEnabled(environment_.scope, settings_);
  if (notifier_) {
    inputs.notificationsAllowed = notifier_->notificationsAllowed();
    inputs.notificationDiagnostics = notifier_->notificationDiagnostics();
    inputs.lastNotificationSubmission = notifier_->lastNotificationSubmission();
  }
  auto text = healthText(inputs);
  // A failure leaves the previous file; the next call simply tries again.
  if (text && createDataFolder(*environment_.dataFolder) == 0)
    writeFileAtomically(*environment_.dataFolder + "/health.json", *text);
}

void AppController::refreshNotifications(bool force) {
  if (notifier_) notifier_->refreshNotificationState(force);
}

void AppController::logLine(const std::string& line) const {
  if (environment_.log) environment_.log(line);
}

}  // namespace hollin
