#include "app/AppController.h"

#include <QUrl>

#include <nlohmann/json.hpp>

#include <algorithm>

#include "app/platform/AtomicFile.h"
#include "app/platform/DataFolder.h"
#include "app/platform/QtSettings.h"
#include "core/health/HealthRecord.h"
#include "core/metrics/OwnMetrics.h"
#include "core/ui/StatusView.h"

namespace hollin {
namespace {

constexpr auto urlActivationInterval = std::chrono::seconds(10);

bool isAnalysisURL(const QString& text) {
  QUrl url(text);
  return url.scheme() == QLatin1String("hollin") && url.host() == QLatin1String("analysis");
}

}  // namespace

AppController::AppController(ControllerEnvironment environment, Presenter& presenter, Settings& settings,
                             QObject* parent)
    : QObject(parent), environment_(std::move(environment)), presenter_(presenter), settings_(settings),
      healthWrites_(environment_.dataFolder.value_or("") + "/health.json", environment_.log),
      metrics_(settings, environment_.uid, environment_.log),
      sampling_(QStringLiteral("org.hollin.Hollin.sampling")) {
  shownStatus_ = statusTexts(ShownStatus{}, environment_.language);
  timer_.setInterval(environment_.tickInterval);
  connect(&timer_, &QTimer::timeout, this, &AppController::tick);
}

AppController::~AppController() { terminate(); }

Services AppController::services(Notifier* notifier) {
  Services services;
  services.notifier = notifier;
  services.settings = &settings_;
  services.log = environment_.log;
  services.moment = [this] { return moment(); };
  services.redraw = [this] { redraw(); };
  services.reportChanged = [this] {
    const Moment now = moment();
    for (auto& subsystem : subsystems_) subsystem->ownReportChanged(now);
  };
  services.ask = [this](const AlertView& alert) { return presenter_.ask(alert); };
  services.showAnalysis = [this] { showAnalysis(); };
  services.showDocument = [this](const std::string& id, const DocumentView& document) {
    presenter_.showDocument(id, document);
  };
  services.onSamplingQueue = [this](std::function<void()> job, std::function<void()> then) {
    sampling_.run(this, [job = std::move(job), then = std::move(then)]() -> std::function<void()> {
      job();
      return then ? then : [] {};
    });
  };
  services.dataFolder = environment_.dataFolder;
  services.widgetFolder = environment_.widgetFolder;
  services.uid = environment_.uid;
  services.scope = environment_.scope;
  return services;
}

void AppController::add(std::unique_ptr<Subsystem> subsystem) {
  if (auto reader = subsystem->reader()) readers_.push_back(std::move(reader));
  subsystems_.push_back(std::move(subsystem));
}

void AppController::start() {
  if (environment_.dataFolder) removeStaleTemporaries(*environment_.dataFolder);
  for (auto& subsystem : subsystems_) subsystem->start();
  timer_.start();
  tick();
}

void AppController::terminate() {
  if (terminated_) return;
  terminated_ = true;
  timer_.stop();
  for (auto& subsystem : subsystems_) subsystem->stop();
  metrics_.withdraw();
}

Moment AppController::baseMoment() const {
  Moment moment;
  moment.snapshot = sample_;
  moment.now = environment_.uptime();
  moment.wallNow = environment_.wallNow();
  moment.asleep = asleep_;
  moment.language = environment_.language;
  moment.scope = environment_.scope;
  moment.uid = environment_.uid;
  moment.pid = environment_.pid;
  moment.consoleUID = environment_.consoleUID();
  moment.selectedTab = selectedTab_;
  moment.windowShown = windowShown_;
  return moment;
}

Moment AppController::moment() const { return withFacts(baseMoment()); }

Moment AppController::withFacts(Moment moment) const {
  for (const auto& subsystem : subsystems_) subsystem->contribute(moment);
  return moment;
}

void AppController::tick() {
  const Moment now = baseMoment();
  for (auto& subsystem : subsystems_) subsystem->tickStarting(now);
  if (asleep_ || fetching_) {
    render(withFacts(now));
    return;
  }
  fetching_ = true;
  // The take gets its own copies of the source and the readers, so the sampling thread never
  // reads controller state; its result comes back only while the controller exists.
  sampling_.run(this, [this, take = environment_.take, readers = readers_]() -> std::function<void()> {
    auto snapshot = std::make_shared<const Snapshot>(take(readers));
    return [this, snapshot] { receive(snapshot); };
  });
}

void AppController::receive(std::shared_ptr<const Snapshot> snapshot) {
  fetching_ = false;
  if (asleep_) return;  // taken before the sleep: it describes a machine that has since changed
  sample_ = std::move(snapshot);
  // One reading of the clocks and the console for the evaluation, the render and the record.
  const Moment base = baseMoment();
  for (auto& subsystem : subsystems_) subsystem->evaluate(base);
  const Moment full = withFacts(base);
  render(full);
  writeHealth(full);
  emit sampleApplied();
}

// The shown level is decided on every render with a snapshot; without one nothing changes.
void AppController::render(const Moment& moment) {
  if (!moment.snapshot) return;
  Screen screen = blankScreen(selectedTab_, moment.language);
  screen.status = shownStatus_;
  for (auto& subsystem : subsystems_) subsystem->present(screen, moment);
  shownStatus_ = screen.status;
  presenter_.display(screen);
}

void AppController::redraw() {
  const Moment now = moment();
  render(now);
  writeHealth(now);
}

void AppController::writeHealth() { writeHealth(moment()); }

void AppController::writeHealth(const Moment& moment) {
  if (!moment.snapshot) return;
  for (const auto& subsystem : subsystems_) subsystem->recordWriting(moment, shownStatus_);
  writeRecord(moment);
  exportMetrics(moment);
}

void AppController::writeRecord(const Moment& moment) {
  if (!environment_.dataFolder) return;
  nlohmann::json record = blankHealthRecord();
  recordBase(record, moment, environment_.version);
  recordScreen(record, shownStatus_, trayShown_);
  for (const auto& subsystem : subsystems_) subsystem->record(record, moment);
  // The folder is made once; a write that finds it gone makes it again on the next try. A
  // failure leaves the previous file, and the next call simply tries again.
  const std::string& folder = *environment_.dataFolder;
  int error = dataFolderReady_ ? 0 : createDataFolder(folder);
  if (error == 0) error = writeFileAtomically(folder + "/health.json", healthText(record), Durability::replaceOnly);
  dataFolderReady_ = error == 0;
  healthWrites_.report(error);
}

void AppController::exportMetrics(const Moment& moment) {
  const auto folder = metrics_.folder();
  if (!folder) return;
  MetricsText metrics(accountLabels(environment_.uid));
  exportOwnHealth(metrics, moment, environment_.version, shownStatus_,
                  environment_.dataFolder ? std::optional(dataFolderReady_) : std::nullopt);
  for (const auto& subsystem : subsystems_) subsystem->metrics(metrics, moment);
  metrics_.write(*folder, metrics.text());
}

void AppController::willSleep() {
  asleep_ = true;
  for (auto& subsystem : subsystems_) subsystem->sleepChanged(true);
  redraw();
}

void AppController::didWake() {
  asleep_ = false;
  for (auto& subsystem : subsystems_) subsystem->sleepChanged(false);
  render(moment());
  tick();
}

void AppController::sessionActiveChanged(bool active) {
  for (auto& subsystem : subsystems_) subsystem->sessionActiveChanged(active);
  tick();
}

void AppController::openURLs(const QStringList& urls) {
  if (std::none_of(urls.begin(), urls.end(), isAnalysisURL)) return;
  const WallTime now = environment_.wallNow();
  if (now - lastURLActivation_ < urlActivationInterval) return;
  lastURLActivation_ = now;
  showAnalysis();
}

void AppController::showAnalysis() {
  presenter_.showAnalysis();
  render(moment());
}

void AppController::settingsControl(SettingsControl control, bool on) {
  const Moment now = moment();
  for (auto& subsystem : subsystems_) subsystem->settingsControl(control, on, now);
  // The set-up changes what the next take finds; a switch only what is shown.
  if (control == SettingsControl::setUp) tick();
  else redraw();
}

void AppController::cardAction(CardSlot slot) {
  const Moment now = moment();
  for (auto& subsystem : subsystems_) subsystem->cardAction(slot, now);
}

void AppController::selectTab(AnalysisTab tab) {
  const AnalysisTab previous = selectedTab_;
  selectedTab_ = tab;
  for (auto& subsystem : subsystems_) subsystem->tabSelected(previous, tab);
  redraw();
}

void AppController::windowShown(bool shown) {
  if (windowShown_ == shown) return;
  windowShown_ = shown;
  // The hidden window is not kept up to date; the one that appears gets a fresh render.
  if (shown) render(moment());
}

void AppController::trayShown(bool shown) {
  trayShown_ = shown;
  log(shown ? "system tray found: showing the status icon"
            : "no system tray: showing the analysis window instead; the icon follows when a tray appears");
  redraw();
}

void AppController::log(const std::string& line) const {
  if (environment_.log) environment_.log(line);
}

}  // namespace hollin
