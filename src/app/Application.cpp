#include "app/Application.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QIcon>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "app/AppController.h"
#include "app/Subsystems.h"
#include "app/accounts/AccountSetup.h"
#include "app/crash/CrashReceiver.h"
#include "app/notify/DBusNotifier.h"
#include "app/platform/DataFolder.h"
#include "app/platform/InstalledData.h"
#include "app/platform/LoggingPresenter.h"
#include "app/platform/LoginMonitor.h"
#include "app/platform/QtSettings.h"
#include "app/platform/SingleInstance.h"
#include "app/platform/TerminationSignals.h"
#include "app/sampling/LiveSampling.h"
#include "app/support/SupportActions.h"
#include "app/views/DesktopPresenter.h"
#include "app/views/SetupGuide.h"
#include "app/views/StatusIcon.h"
#include "app/views/SystemMonitor.h"
#include "core/BuildProfile.h"
#include "core/L10n.h"
#include "core/OrdinaryAccounts.h"
#include "core/help/HelpDocument.h"
#include "core/notify/NotificationDiagnostics.h"
#include "core/ui/StatusView.h"
#include "core/widgets/WidgetSnapshot.h"
#include "native/Crashes.h"
#include "native/Desktop.h"
#include "native/HostRoot.h"
#include "native/Machine.h"
#include "native/NativeMetrics.h"

namespace hollin {
namespace {

constexpr auto handOverDeadline = std::chrono::seconds(2);

std::string versionText() {
  return L10n::text(msg("ホリン")) + " — " +
         L10n::text(versionLine(buildProfile.shortVersion, buildProfile.buildNumber));
}

void readOrdinaryAccounts() {
  QFile defs(QStringLiteral("/etc/login.defs"));
  if (defs.open(QIODevice::ReadOnly)) setOrdinaryAccounts(parseLoginDefs(defs.readAll().toStdString()));
}

// With no display at all Hollin still runs: the offscreen platform stands in, and no icon shows.
bool startHeadless() {
  const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  if (noDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  return noDisplay;
}

// One instance per user: a later start hands its URLs (or, plain, its wish for the window) to
// the running one and ends with the status returned here; nothing when this start is the one.
std::optional<int> becomeTheInstance(SingleInstance& instance, const QString& socketPath, const QStringList& urls) {
  const std::string path = socketPath.toStdString();
  switch (instance.claimOrHandOver(urls, handOverDeadline)) {
    case SingleInstance::Start::instance: return std::nullopt;
    case SingleInstance::Start::handedOver: return 0;
    case SingleInstance::Start::unanswered:
      logToStandardError("another process holds Hollin's socket " + path + " and did not answer within " +
                         std::to_string(handOverDeadline.count()) + " s; ending without a hand-over");
      return 1;
    case SingleInstance::Start::unavailable:
      logToStandardError("cannot create Hollin's socket " + path + " or its lock file");
      return 1;
  }
  return 1;
}

Snapshot takeLive(std::span<const std::shared_ptr<SnapshotReader>> readers) {
  // One cache for the one sampling queue; takes never overlap, so it needs no lock.
  static const SnapshotSources sources = liveSnapshotSources();
  static SnapshotCache cache;
  return Snapshot::take(sources, cache, readers);
}

ControllerEnvironment liveEnvironment() {
  ControllerEnvironment environment;
  environment.take = takeLive;
  environment.uptime = hl_uptime;
  environment.wallNow = [] { return std::chrono::system_clock::now(); };
  environment.consoleUID = hl_console_uid;
  environment.uid = ::getuid();
  environment.pid = ::getpid();
  environment.scope = AccountScope::process();
  environment.language = L10n::language();
  environment.version = std::string(buildProfile.shortVersion);
  environment.dataFolder = dataFolderPath();
  if (auto folder = WidgetSnapshot::containerFolder(std::getenv)) environment.widgetFolder = folder->string();
  environment.log = logToStandardError;
  return environment;
}

}  // namespace

std::optional<int> answerCommandLine(const std::vector<std::string>& arguments) {
  for (std::size_t i = 1; i < arguments.size(); ++i) {
    const std::string& argument = arguments[i];
    if (argument == "--help" || argument == "-h") {
      std::printf("%s\n", L10n::text(msg("使い方: {0} [hollin://analysis]\n\nこのコンピューターのメモリーと健康状態を見守り、トレイのアイコンと通知で知らせます。すでに動いているときは、分析画面を前に出します。\n\n  --configure-current-account  このアカウントでログイン時に起動するよう登録し、共有の既定を設定し、動いている古いコピーを置き換えます\n  --help                       この説明を表示して終了します\n  --version                    バージョンを表示して終了します", arguments[0])).c_str());
      return 0;
    }
    if (argument == "--version") {
      std::printf("%s\n", versionText().c_str());
      return 0;
    }
    if (argument.starts_with("--")) {
      std::fprintf(stderr, "%s\n", L10n::text(msg("{0}: 知らないオプションです: {1}（--help で使い方を表示します）", arguments[0], argument)).c_str());
      return 2;
    }
  }
  return std::nullopt;
}

QStringList urlArguments(const std::vector<std::string>& arguments) {
  QStringList urls;
  for (std::size_t i = 1; i < arguments.size(); ++i)
    if (arguments[i].starts_with("hollin:")) urls << QString::fromStdString(arguments[i]);
  return urls;
}

Application::Application(bool desktop, bool configuring) : desktopWanted_(desktop), configuring_(configuring) {
  readOrdinaryAccounts();
  termination_ = std::make_unique<TerminationSignals>();
  settings_ = std::make_unique<QtSettings>();
  ControllerEnvironment environment = liveEnvironment();
  const AccountScope scope = environment.scope;
  const std::optional<SystemMonitorApp> monitor = installedSystemMonitor();
  if (monitor) actions_.openSystemMonitor = [app = *monitor] { launchSystemMonitor(app); };
  notifier_ = std::make_unique<DBusNotifier>(QDBusConnection::sessionBus(),
                                             liveNotifierEnvironment(scope.allowedUIDs(environment.uid), monitor));
  logging_ = std::make_unique<LoggingPresenter>(logToStandardError);
  controller_ = std::make_unique<AppController>(std::move(environment), *logging_, *settings_);
  registerSubsystems(*controller_, controller_->services(notifier_.get()), true);

  actions_.refresh = [this] { controller_->tick(); };
  actions_.quit = &Application::quit;
  actions_.mute = [this](int seconds) {
    notifier_->muteNotices(seconds);
    controller_->redraw();
  };
  actions_.resume = [this] {
    notifier_->resumeNotices();
    controller_->redraw();
  };
  actions_.resumeTitle = [this] {
    return resumeRow(notifier_->mutedUntil(), std::chrono::system_clock::now(), L10n::language());
  };
  actions_.requestNotifications = [this] { notifier_->requestNotifications(); };
  // The accessibility bus is switched on for the session; the next take sees it.
  actions_.requestAccessibility = [this] {
    if (!native::AccessibilityBus::enable(std::chrono::seconds(2)))
      logToStandardError("the accessibility bus could not be switched on: no session bus, or at-spi2-core is missing");
    controller_->tick();
  };
  actions_.toggleSharing = [this](bool on) { controller_->settingsControl(SettingsControl::sharing, on); };
  actions_.toggleLogin = [this](bool on) { controller_->settingsControl(SettingsControl::login, on); };
  actions_.configureMonitoring = [this] { controller_->settingsControl(SettingsControl::setUp, true); };
  actions_.showSetup = [this] { showSetup(); };
  actions_.showHelp = [this] {
    if (desktop_) desktop_->showHelp(std::nullopt);
  };
  actions_.showStatusHelp = [this] {
    if (desktop_) desktop_->showHelp(HelpDocument::statusSection);
  };
  SupportActions::Setup support;
  support.language = L10n::language();
  support.updateHost = std::string(updateHost);
  support.ask = [this](const AlertView& alert) { return logging_->ask(alert); };
  support_ = std::make_unique<SupportActions>(std::move(support));
  actions_.sendFeedback = [this] { support_->sendFeedback(feedbackEnvironment()); };
  actions_.checkForUpdate = [this] {
    support_->checkForUpdate(std::string(buildProfile.shortVersion), desktop_ ? desktop_->statusMenu()->updateRow() : nullptr);
  };
  actions_.tabChanged = [this](AnalysisTab tab) { controller_->selectTab(tab); };
  actions_.cardAction = [this](CardSlot slot) { controller_->cardAction(slot); };
  actions_.windowShown = [this](bool shown) { controller_->windowShown(shown); };
  actions_.trayShown = [this](bool shown) { controller_->trayShown(shown); };

  login_ = std::make_unique<LoginMonitor>(QDBusConnection::systemBus());
  connect(login_.get(), &LoginMonitor::willSleep, controller_.get(), &AppController::willSleep);
  connect(login_.get(), &LoginMonitor::didWake, controller_.get(), &AppController::didWake);
  connect(login_.get(), &LoginMonitor::sessionActiveChanged, controller_.get(), &AppController::sessionActiveChanged);
  connect(login_.get(), &LoginMonitor::willTerminate, this, &Application::quit);
  connect(termination_.get(), &TerminationSignals::received, this, &Application::quit);
  connect(qApp, &QCoreApplication::aboutToQuit, controller_.get(), &AppController::terminate);
  // The guide's statuses follow the notification service's answers and every new sample.
  connect(notifier_.get(), &Notifier::stateRefreshed, this, &Application::updateSetupGuide);
  connect(controller_.get(), &AppController::sampleApplied, this, &Application::updateSetupGuide);
}

Application::~Application() = default;

void Application::start(const QStringList& urls) {
  // The first take runs on the sampling thread while the views are built here; its snapshot
  // is shown as soon as the event loop runs.
  controller_->start();
  if (desktopWanted_) {
    // The installed theme icon; the same drawing made here when Hollin runs from its build.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("hollin"), statusIcon(StatusColour::green)));
    const ViewSetup setup{L10n::language(), AccountScope::process(), std::string(buildProfile.shortVersion),
                          std::string(buildProfile.buildNumber)};
    desktop_ = std::make_unique<DesktopPresenter>(setup, actions_);
    logging_->setInner(desktop_.get());
    desktop_->start();
  }
  if (!login_->start()) logToStandardError("no system bus: sleep, wake and session switches are not observed");
  controller_->openURLs(urls);
  if (desktop_ && showsGuideAtLaunch(*settings_, configuring_)) {
    markGuideShownAtLaunch(*settings_);
    showSetup();
  }
}

void Application::showSetup() {
  if (!desktop_) return;
  if (!guide_)
    guide_ = std::make_unique<SetupGuide>(
        ViewSetup{L10n::language(), AccountScope::process(), {}, {}},
        [this](SetupAction action) { setupAction(action); }, [this] { finishSetup(); });
  guide_->show();
  updateSetupGuide();
  // The autostart entry and the accessibility bus are read at each take: one now brings them
  // up to date, and its sample updates the guide again.
  notifier_->refreshNotificationState(true);
  controller_->tick();
}

void Application::updateSetupGuide() {
  if (!guide_ || !guide_->window()->isVisible()) return;
  const Moment now = controller_->moment();
  SetupFacts facts;
  facts.notifications = notifier_->authorization();
  facts.notificationsRefused = refusedLastPosting(notifier_->lastNotificationSubmission());
  facts.loginEnabled = now.loginEnabled;
  facts.accessibilityOn = now.accessibilityTrusted;
  facts.accessibilityUnavailable = now.accessibilityBusMissing;
  guide_->update(setupGuideView(facts, L10n::language()));
}

void Application::setupAction(SetupAction action) {
  switch (action) {
    case SetupAction::notifications: notifier_->requestNotifications(); break;
    case SetupAction::login:
      if (!controller_->moment().loginEnabled) controller_->settingsControl(SettingsControl::login, true);
      break;
    case SetupAction::response: actions_.requestAccessibility(); break;
    case SetupAction::analysis: controller_->showAnalysis(); break;
    case SetupAction::help:
      if (actions_.showHelp) actions_.showHelp();
      break;
  }
  updateSetupGuide();
}

// The last button: the guide has done its work and is not shown by itself again.
void Application::finishSetup() {
  settings_->setBoolean(setupGuideCompletedKey, true);
  guide_->close();
  setupAction(SetupAction::analysis);
}

FeedbackReport::Environment Application::feedbackEnvironment() const {
  using FeedbackReport::Permission;
  const Moment now = controller_->moment();
  const auto orUnknown = [](std::string_view value) { return value.empty() ? std::string("?") : std::string(value); };
  const native::MachineName machine = native::readMachineName(native::hostRoot());
  FeedbackReport::Environment environment;
  environment.appVersion = orUnknown(buildProfile.shortVersion);
  environment.build = orUnknown(buildProfile.buildNumber);
  environment.osVersion = FeedbackReport::osVersion(native::readOSRelease(native::hostRoot()));
  environment.model = FeedbackReport::modelName(machine.product, machine.vendor);
  environment.language = now.language;
  environment.notifications = FeedbackReport::notificationPermission(
      notifier_->authorization(), refusedLastPosting(notifier_->lastNotificationSubmission()));
  environment.loginItem = now.loginEnabled ? Permission::allowed : Permission::off;
  environment.accessibility = now.accessibilityTrusted ? Permission::allowed : Permission::notSet;
  if (now.ownCrashes) environment.crashes = *now.ownCrashes;
  return environment;
}

void Application::quit() { QCoreApplication::exit(0); }

int runHollin(int argc, char** argv) {
  // Before anything is rendered: the tables are read once, on first use.
  if (auto installed = installedDataDirectory()) L10n::setInstalledDataDirectory(*installed);
  const std::vector<std::string> arguments(argv, argv + argc);
  const bool configuring = std::ranges::find(arguments, accountSetupSwitch) != arguments.end();
  if (configuring) {
    if (auto status = runAccountSetupCommand(arguments)) return *status;
  } else if (auto answered = answerCommandLine(arguments)) {
    return *answered;
  }
  installOwnCrashHandler();  // the application's run only, once the command line is answered
  hl_prepare();  // before the toolkit starts its threads
  const QStringList urls = urlArguments(arguments);
  const bool headless = startHeadless();
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);  // the window comes and goes; Hollin stays

  const auto socketPath = instanceSocketPath();
  SingleInstance instance(socketPath.value_or(QString()));
  if (socketPath)
    if (auto status = becomeTheInstance(instance, *socketPath, urls)) return *status;

  Application hollin(!headless, configuring);
  QObject::connect(&instance, &SingleInstance::urlReceived, &hollin.controller(),
                   [&](const QString& url) { hollin.controller().openURLs({url}); });
  QObject::connect(&instance, &SingleInstance::reopenRequested, &hollin.controller(), &AppController::showAnalysis);
  QObject::connect(&instance, &SingleInstance::quitRequested, &hollin, &Application::quit);
  hollin.start(urls);
  return application.exec();
}

}  // namespace hollin
