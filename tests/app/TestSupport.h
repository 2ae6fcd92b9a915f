// What the application-side tests share: one Qt application per test program, waiting with a
// deadline, and the private parts of a desktop (a session bus, an X server) that a test starts
// and stops itself, so nothing touches the user's own session.
#pragma once

#include <QApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <functional>

namespace hollin::testing {

// The offscreen platform stands in for a display unless the test started one first.
inline void ensureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "app_tests";
  static char* argv[] = {name, nullptr};
  (new QApplication(argc, argv))->setQuitOnLastWindowClosed(false);  // lives for the whole program
}

// Runs the event loop until done() or the deadline; returns done().
inline bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds deadline = std::chrono::seconds(5)) {
  QDeadlineTimer timer(deadline);
  while (!done() && !timer.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    QThread::msleep(1);
  }
  return done();
}

inline bool installed(const QString& program) { return !QStandardPaths::findExecutable(program).isEmpty(); }

// A dbus-daemon of our own on a socket in a temporary folder, with no activatable services.
class PrivateBus {
 public:
  PrivateBus() {
    QFile config(folder_.filePath("bus.conf"));
    if (!config.open(QIODevice::WriteOnly)) return;
    config.write(QStringLiteral(
                     "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                     "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                     "<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                     "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/>"
                     "<allow send_destination=\"*\"/><allow receive_sender=\"*\"/></policy></busconfig>\n")
                     .arg(folder_.path())
                     .toUtf8());
    config.close();
    daemon_.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config.fileName(),
                                                 QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
    if (daemon_.waitForReadyRead(5000)) address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  }
  ~PrivateBus() {
    daemon_.terminate();
    daemon_.waitForFinished(2000);
  }
  bool running() const { return !address_.isEmpty(); }
  const QString& address() const { return address_; }
  // A new connection to the bus under its own name (each name is one client).
  QDBusConnection connect(const QString& name) const { return QDBusConnection::connectToBus(address_, name); }

 private:
  QTemporaryDir folder_;
  QProcess daemon_;
  QString address_;
};

// Xvfb on the first free display number, which it reports itself (-displayfd), so parallel
// test programs never share or collide on a display.
class PrivateDisplay {
 public:
  PrivateDisplay() {
    server_.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                           QStringLiteral("0"), QStringLiteral("1400x1000x24"), QStringLiteral("-nolisten"),
                                           QStringLiteral("tcp")});
    // Xvfb answers within a second; five keep a loaded machine from failing the test.
    if (!server_.waitForStarted(5000)) return;
    QByteArray number;
    while (!number.contains('\n') && server_.waitForReadyRead(5000)) number += server_.readAll();
    number = number.trimmed();
    if (!number.isEmpty()) display_ = ":" + QString::fromLatin1(number);
  }
  ~PrivateDisplay() {
    server_.terminate();
    server_.waitForFinished(2000);
  }
  // ":N", or empty when no server could be started.
  const QString& display() const { return display_; }

 private:
  QProcess server_;
  QString display_;
};

// A desktop program (a notification service, a tray) on a private display and bus.
class DesktopProgram {
 public:
  DesktopProgram(const QString& program, const QStringList& arguments, const QString& display, const QString& bus) {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), display);
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), bus);
    process_.setProcessEnvironment(environment);
    process_.start(program, arguments);
  }
  ~DesktopProgram() { stop(); }
  void stop() {
    process_.terminate();
    process_.waitForFinished(2000);
  }
  bool started() { return process_.waitForStarted(5000); }

 private:
  QProcess process_;
};

}  // namespace hollin::testing
