// hollin-widgets: the desktop widgets. A program of its own that reads only the widget summary
// the application writes and opens the application through its URL; it never samples the
// machine. When the installed program is replaced by another build, it starts the new one and
// ends itself.
#include <QApplication>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QThreadPool>

#include <cstdio>
#include <cstdlib>

#include "core/L10n.h"
#include "widgets/UsageProvider.h"
#include "widgets/WidgetData.h"
#include "widgets/WidgetHost.h"

namespace {

// Positions and "keep below" are X11 matters; under Wayland the X server of the session serves.
void preferX11() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("DISPLAY"))
    qputenv("QT_QPA_PLATFORM", "xcb");
}

}  // namespace

int main(int argc, char** argv) {
  using namespace hollin;
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    std::fprintf(stderr, "hollin-widgets: no display to show the widgets on\n");
    return 1;
  }
  preferX11();
  // The program as started: a later install replaces the file at this path.
  const auto program = runningProgram();
  const std::filesystem::path dataFolder = program ? widgetDataDirectory(*program) : std::filesystem::path();
  L10n::useOnlyDataDirectory(dataFolder);
  const std::optional<std::string> launched = BundleReplacement::currentVersion(dataFolder);

  QApplication application(argc, argv);
  // The painter hands some work to the shared thread pool, whose idle threads would otherwise
  // wake half a minute after each redraw only to end; kept, they sleep until needed again.
  QThreadPool::globalInstance()->setExpiryTimeout(-1);
  QApplication::setApplicationName("hollin-widgets");
  QApplication::setDesktopFileName("hollin-widgets");
  QApplication::setQuitOnLastWindowClosed(false);  // the last widget removed quits explicitly
  const QStringList arguments = QApplication::arguments().mid(1);
  // One set of widgets per session. A build that replaced this one starts while the old process
  // is ending, so the lock is waited for briefly; a holder that died leaves a stale lock.
  QLockFile lock(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) + "/hollin-widgets.lock");
  if (!lock.tryLock(3000)) {
    std::fprintf(stderr, "hollin-widgets: already running in this session\n");
    return 0;
  }

  const auto lookup = [](const char* name) { return std::getenv(name); };
  ProviderEnvironment providerEnvironment;
  providerEnvironment.summaryFile = WidgetSnapshot::containerFile(lookup);
  providerEnvironment.dataFolder = dataFolder;
  providerEnvironment.launchedVersion = launched;
  providerEnvironment.now = [] { return std::chrono::system_clock::now(); };
  providerEnvironment.replaced = [program, arguments] {
    // The new build takes over; this one ends at once, delivering nothing more.
    if (program) QProcess::startDetached(QString::fromStdString(program->string()), arguments);
    std::fflush(nullptr);
    std::_Exit(0);
  };
  const UsageProvider provider(providerEnvironment);

  WidgetHost host(provider, {WidgetSnapshot::containerFolder(lookup), widgetSettingsFile(lookup), L10n::language()});
  QObject::connect(&host, &WidgetHost::quitRequested, &application, &QApplication::quit, Qt::QueuedConnection);
  host.start();
  return QApplication::exec();
}
