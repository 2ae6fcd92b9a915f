// Helpers shared by the application-side tests: one offscreen application per test program,
// waiting with a deadline, a private D-Bus daemon.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <functional>

namespace hollin::testing {

// The tests run without a display: the offscreen platform stands in for X11.
inline void ensureApplication() {
  if (QCoreApplication::instance() != nullptr) return;
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "app_tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);  // lives for the whole test program
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

// A dbus-daemon of our own on a socket in a temporary folder, stopped with the object.
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
    daemon_.start(QStringLiteral("dbus-daemon"),
                  {QStringLiteral("--config-file=") + config.fileName(), QStringLiteral("--nofork"),
                   QStringLiteral("--print-address=1")});
    if (daemon_.waitForReadyRead(5000)) address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
  }
  ~PrivateBus() {
    daemon_.terminate();
    daemon_.waitForFinished(2000);
  }
  bool running() const { return !address_.isEmpty(); }
  // A new connection to the bus under its own name (each name is one client).
  QDBusConnection connect(const QString& name) const { return QDBusConnection::connectToBus(address_, name); }

 private:
  QTemporaryDir folder_;
  QProcess daemon_;
  QString address_;
};

}  // namespace hollin::testing
