// Hollin's entry point. The special roles (the probe worker, the account set-up command) are
// chosen here from their switches before anything else starts; the ordinary role follows.
#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QSystemTrayIcon>

#include <unistd.h>

#include <chrono>
#include <memory>

#include "app/AppController.h"
#include "app/notify/DBusNotifier.h"
#include "app/platform/DataFolder.h"
#include "app/platform/LoggingPresenter.h"
#include "app/platform/LoginMonitor.h"
#include "app/platform/QtSettings.h"
#include "app/platform/SingleInstance.h"
#include "app/platform/TerminationSignals.h"
#include "app/views/DesktopPresenter.h"
#include "core/BuildProfile.h"
#include "core/OrdinaryAccounts.h"
#include "native/LiveSnapshotSources.h"

namespace {

using namespace hollin;

constexpr auto handOverDeadline = std::chrono::seconds(2);

// Arguments that are URLs of ours, in order (a desktop opening "hollin://analysis" passes it).
QStringList urlArguments(int argc, char** argv) {
  QStringList urls;
  for (int i = 1; i < argc; ++i) {
    QString argument = QString::fromLocal8Bit(argv[i]);
    if (argument.startsWith(QLatin1String("hollin:"))) urls << argument;
  }
  return urls;
}

// With no display at all Hollin still runs: the offscreen platform stands in, and no icon shows.
bool startHeadless() {
  bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
  if (noDisplay && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  return noDisplay;
}

void readOrdinaryAccounts() {
  QFile defs(QStringLiteral("/etc/login.defs"));
  if (defs.open(QIODevice::ReadOnly)) setOrdinaryAccounts(parseLoginDefs(defs.readAll().toStdString()));
}

ControllerEnvironment liveEnvironment(bool logging) {
  ControllerEnvironment environment;
  environment.take = takeLiveSnapshot;
  environment.uptime = bootTimeUptime;
  environment.wallNow = [] { return std::chrono::system_clock::now(); };
  environment.consoleUID = hl_console_uid;
  environment.uid = ::getuid();
  environment.pid = ::getpid();
  environment.scope = AccountScope::process();
  environment.version = std::string(buildProfile.shortVersion);
  environment.build = std::string(buildProfile.buildNumber);
  environment.dataFolder = dataFolderPath();
  environment.pressure = PressureEventSource::Options{};
  if (logging) environment.log = logToStandardError;
  return environment;
}

}  // namespace

int main(int argc, char** argv) {
  const QStringList urls = urlArguments(argc, argv);
  const bool headless = startHeadless();
  QApplication application(argc, argv);
  application.setQuitOnLastWindowClosed(false);  // the window comes and goes; Hollin stays

  // One instance per user: a later start hands its URLs to the running one and ends.
  const auto socketPath = instanceSocketPath();
  SingleInstance instance(socketPath.value_or(QString()));
  if (socketPath && !instance.claim()) return SingleInstance::handOver(*socketPath, urls, handOverDeadline) ? 0 : 1;

  readOrdinaryAccounts();
  TerminationSignals termination;
  QtSettings settings;
  const bool tray = !headless && QSystemTrayIcon::isSystemTrayAvailable();
  ControllerEnvironment environment = liveEnvironment(!tray);

  DBusNotifier notifier(QDBusConnection::sessionBus(),
                        liveNotifierEnvironment(environment.scope.allowedUIDs(environment.uid)));
  QPointer<AppController> controller;
  PresenterActions actions;
  actions.refresh = [&] { controller->tick(); };
  actions.quit = [&] { application.quit(); };
  actions.mute = [&](int seconds) {
    notifier.muteNotices(seconds);
    controller->tick();
  };
  actions.resume = [&] {
    notifier.resumeNotices();
    controller->tick();
  };
  actions.requestNotifications = [&] { notifier.requestNotifications(); };
  actions.tabChanged = [&](AnalysisTab tab) { controller->selectTab(tab); };
  actions.windowShown = [&] { controller->writeHealth(); };

  std::unique_ptr<DesktopPresenter> desktop;
  if (!headless) desktop = std::make_unique<DesktopPresenter>(ViewState{}, actions);
  LoggingPresenter logging(logToStandardError, desktop.get());
  Presenter& presenter = tray ? static_cast<Presenter&>(*desktop) : logging;

  AppController appController(std::move(environment), presenter, &notifier, settings);
  controller = &appController;

  LoginMonitor login(QDBusConnection::systemBus());
  QObject::connect(&login, &LoginMonitor::willSleep, &appController, &AppController::willSleep);
  QObject::connect(&login, &LoginMonitor::didWake, &appController, &AppController::didWake);
  QObject::connect(&login, &LoginMonitor::sessionActiveChanged, &appController, &AppController::sessionActiveChanged);
  QObject::connect(&login, &LoginMonitor::willTerminate, &application, &QApplication::quit);
  if (!login.start()) logToStandardError("no system bus: sleep, wake and session switches are not observed");

  QObject::connect(&termination, &TerminationSignals::received, &application, &QApplication::quit);
  QObject::connect(&instance, &SingleInstance::urlReceived, &appController,
                   [&](const QString& url) { appController.openURLs({url}); });
  QObject::connect(&notifier, &Notifier::analysisRequested, &appController, &AppController::showAnalysis);
  QObject::connect(&notifier, &Notifier::answered, &appController, &AppController::writeHealth);
  QObject::connect(&notifier, &Notifier::stateRefreshed, &appController, &AppController::redraw);
  QObject::connect(&notifier, &Notifier::muteChanged, &appController, &AppController::redraw);
  QObject::connect(&application, &QCoreApplication::aboutToQuit, &appController, &AppController::terminate);

  appController.start();
  appController.openURLs(urls);
  application.exec();
  return 0;
}
