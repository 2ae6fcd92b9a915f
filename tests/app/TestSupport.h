// What the application-side tests share: one Qt application per test program, waiting with a
// deadline, and the private parts of a desktop (a session bus, an X server, logind) that a test
// starts and stops itself, so nothing touches the user's own session.
#pragma once

#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <nlohmann/json.hpp>

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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

// A file's bytes as they are now; empty when it cannot be read.
inline std::string contents(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

// What lstat finds at `path` itself (a link, not what it leads to); all zero when nothing is there.
inline struct stat fileStatus(const std::string& path) {
  struct stat status {};
  ::lstat(path.c_str(), &status);
  return status;
}

// A JSON file as it is now; null when it is missing or not whole.
inline nlohmann::json readJson(const QString& path) {
  QFile file(path);
  const auto json = nlohmann::json::parse(file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : "", nullptr, false);
  return json.is_discarded() ? nullptr : json;
}

// The system environment with a desktop's display and session bus in place of the user's.
inline QProcessEnvironment desktopEnvironment(const QString& display, const QString& bus) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  if (!display.isEmpty()) environment.insert("DISPLAY", display);
  environment.insert("DBUS_SESSION_BUS_ADDRESS", bus);
  return environment;
}

// The system environment with no desktop, in English, and a home and XDG folders of `home`'s own.
inline QProcessEnvironment homeEnvironment(const QTemporaryDir& home) {
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS", "LANGUAGE"})
    environment.remove(name);
  for (const char* name : {"HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_RUNTIME_DIR"}) {
    QDir().mkpath(home.filePath(name));
    environment.insert(name, home.filePath(name));
  }
  QFile::setPermissions(home.filePath("XDG_RUNTIME_DIR"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
  environment.insert("LANG", "en_US.UTF-8");
  return environment;
}

// A program run to its end, given `input`; its status (-1 when it ran past 10 s, and it is
// killed), what it wrote to its output and to its errors.
struct Finished { int status = -1; QByteArray output, errors; };
inline Finished runToEnd(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment,
                         const QByteArray& input = {}) {
  QProcess process;
  process.setProcessEnvironment(environment);
  process.start(program, arguments);
  process.write(input);
  process.closeWriteChannel();
  if (!process.waitForFinished(10000)) return {};
  return {process.exitCode(), process.readAllStandardOutput(), process.readAllStandardError()};
}

// Sets or clears an environment variable for one test and puts it back afterwards.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    value ? ::setenv(name, value, 1) : ::unsetenv(name);
  }
  ~ScopedVariable() { old_ ? ::setenv(name_, old_->c_str(), 1) : ::unsetenv(name_); }
  ScopedVariable(const ScopedVariable&) = delete;
  ScopedVariable& operator=(const ScopedVariable&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// A program the test starts for itself, terminated and waited for when the test is done.
class Child {
 public:
  ~Child() { stop(); }
  void stop() { process_.terminate(); process_.waitForFinished(2000); }

 protected:
  QProcess process_;
};

// A dbus-daemon of our own on a socket in a temporary folder, with no activatable services.
class PrivateBus : Child {
 public:
  PrivateBus() {
    QFile config(folder_.filePath("bus.conf"));
    if (!config.open(QIODevice::WriteOnly)) return;
    config.write(QString("<busconfig><type>session</type><listen>unix:dir=%1</listen><auth>EXTERNAL</auth>"
                         "<policy context=\"default\"><allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
                         "<allow receive_sender=\"*\"/></policy></busconfig>\n")
                     .arg(folder_.path())
                     .toUtf8());
    config.close();
    process_.start("dbus-daemon", {"--config-file=" + config.fileName(), "--nofork", "--print-address=1"});
    if (process_.waitForReadyRead(5000)) address_ = QString::fromUtf8(process_.readLine()).trimmed();
  }
  bool running() const { return !address_.isEmpty(); }
  const QString& address() const { return address_; }
  // A new connection to the bus under its own name (each name is one client).
  QDBusConnection connect(const QString& name) const { return QDBusConnection::connectToBus(address_, name); }

 private:
  QTemporaryDir folder_;
  QString address_;
};

// Xvfb on the first free display number, which it reports itself (-displayfd), so parallel
// test programs never share or collide on a display.
class PrivateDisplay : Child {
 public:
  explicit PrivateDisplay(const QString& size = "1400x1000") {
    // Without -noreset the server starts over whenever its last client leaves, dropping any
    // client that connects meanwhile and the root window's properties with it.
    process_.start("Xvfb", {"-displayfd", "1", "-screen", "0", size + "x24", "-nolisten", "tcp", "-noreset"});
    // Xvfb answers within a second; five keep a loaded machine from failing the test.
    if (!process_.waitForStarted(5000)) return;
    QByteArray number;
    while (!number.contains('\n') && process_.waitForReadyRead(5000)) number += process_.readAll();
    if (!number.trimmed().isEmpty()) display_ = ":" + QString::fromLatin1(number.trimmed());
  }
  // ":N", or empty when no server could be started.
  const QString& display() const { return display_; }

 private:
  QString display_;
};

// Accounts with the given uids for a test, made (without a home) where the machine has none.
// Test programs run side by side share them: each holds a shared lock on a lock file while it
// uses them, and whoever leaves last removes the accounts tests made ("hollin-test-<uid>");
// accounts of the machine's own are used as they are. Making them needs root: `ready()` says
// whether every uid has an account.
class ThrowawayAccounts {
 public:
  explicit ThrowawayAccounts(std::vector<std::uint32_t> uids) : uids_(std::move(uids)) {
    if (::geteuid() != 0) return;
    lock_ = ::open("/tmp/hollin-test-accounts.lock", O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (lock_ < 0) return;
    ::flock(lock_, LOCK_EX);
    for (std::uint32_t uid : uids_)
      if (::getpwuid(uid) == nullptr)
        QProcess::execute("useradd", {"-u", QString::number(uid), "-M", "-N", "-s", "/usr/sbin/nologin", name(uid)});
    ::flock(lock_, LOCK_SH);
  }
  ~ThrowawayAccounts() {
    if (lock_ < 0) return;
    if (::flock(lock_, LOCK_EX | LOCK_NB) == 0)
      for (std::uint32_t uid : uids_)
        if (const passwd* account = ::getpwuid(uid); account && name(uid) == account->pw_name)
          QProcess::execute("userdel", {name(uid)});
    ::close(lock_);
  }
  ThrowawayAccounts(const ThrowawayAccounts&) = delete;
  ThrowawayAccounts& operator=(const ThrowawayAccounts&) = delete;

  bool ready() const {
    return std::all_of(uids_.begin(), uids_.end(), [](std::uint32_t uid) { return ::getpwuid(uid) != nullptr; });
  }
  // setpriv's arguments that run a program as `uid`, with its own group and no others.
  static QStringList as(std::uint32_t uid) {
    return {"--reuid=" + QString::number(uid), "--regid=" + QString::number(::getpwuid(uid)->pw_gid), "--clear-groups"};
  }

 private:
  static QString name(std::uint32_t uid) { return QString("hollin-test-%1").arg(uid); }

  std::vector<std::uint32_t> uids_;
  int lock_ = -1;
};

// This program's desktop from here on: the test's own X display and session bus.
inline void useDesktop(const QString& display, const QString& sessionBus) {
  qputenv("DISPLAY", display.toLatin1());
  qputenv("QT_QPA_PLATFORM", "xcb");
  qputenv("DBUS_SESSION_BUS_ADDRESS", sessionBus.toUtf8());
  ensureApplication();
}

// A desktop program (a notification service, a tray) on a private display and bus.
class DesktopProgram : public Child {
 public:
  DesktopProgram(const QString& program, const QStringList& arguments, const QString& display, const QString& bus) {
    process_.setProcessEnvironment(desktopEnvironment(display, bus));
    process_.start(program, arguments);
  }
  bool started() { return process_.waitForStarted(5000); }
};

// dunst on a private display and bus with the fixture's configuration and scripts, which log
// every notice it receives into a folder of its own; ready once it owns the service name.
class NotificationService {
 public:
  NotificationService(const QString& display, const PrivateBus& bus) {
    for (const QString name : {"dunstrc", "pick.sh", "record.sh"}) {
      QFile source(QStringLiteral(HOLLIN_FIXTURES_DIR "/notify/") + name);
      if (!source.open(QIODevice::ReadOnly)) return;
      write(name, source.readAll().replace("@FOLDER@", folder_.path().toUtf8()));
      QFile::setPermissions(path(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    dunst_ = std::make_unique<DesktopProgram>("dunst", QStringList{"-config", path("dunstrc")}, display, bus.address());
    QDBusConnection probe = bus.connect("dunst-probe");
    ready_ = waitUntil([&] { return probe.interface()->isServiceRegistered("org.freedesktop.Notifications").value(); });
    QDBusConnection::disconnectFromBus("dunst-probe");
  }
  bool ready() const { return ready_; }
  void stop() { dunst_->stop(); }

  QString path(const QString& name) const { return folder_.filePath(name); }
  void write(const QString& name, const QByteArray& content) const {
    QFile file(path(name));
    if (file.open(QIODevice::WriteOnly)) file.write(content);
  }
  // What dunst received, one notice a row: id, urgency, title, body.
  std::vector<QStringList> received() const {
    std::vector<QStringList> lines;
    QFile file(path("received.txt"));
    if (file.open(QIODevice::ReadOnly))
      for (const QByteArray& line : file.readAll().split('\n'))
        if (!line.isEmpty()) lines.push_back(QString::fromUtf8(line).split('\t'));
    return lines;
  }

 private:
  QTemporaryDir folder_;
  std::unique_ptr<DesktopProgram> dunst_;
  bool ready_ = false;
};

// A system service faked on a private bus: every object under `root`, answered in handleMessage.
class FakeService : public QDBusVirtualObject {
 public:
  FakeService(QString root, QString name) : root_(std::move(root)), name_(std::move(name)) {}
  // Serves on `connection` under the service's name; false when that could not be done.
  bool serve(const QDBusConnection& connection) {
    bus = connection;
    return bus.registerVirtualObject(root_, this, QDBusConnection::SubPath) && bus.registerService(name_);
  }
  QString introspect(const QString&) const override { return {}; }
  QDBusConnection bus{QString()};  // the one it serves on

 private:
  QString root_, name_;
};

// Just enough of logind: GetSession answers `session` (an error when it is empty), whose
// properties say it is active; the test sends logind's signals through it.
class FakeLogind : public FakeService {
 public:
  explicit FakeLogind(QString session) : FakeService(managerPath, "org.freedesktop.login1"), session(std::move(session)) {}
  bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
    asked = asked || message.member() == "GetSession";
    if (message.member() == "GetSession" && !session.isEmpty())
      connection.send(message.createReply(QVariant::fromValue(QDBusObjectPath(session))));
    else if (message.member() == "GetAll")
      connection.send(message.createReply(QVariant::fromValue(QVariantMap{{"Active", true}, {"State", "active"}})));
    else
      connection.send(message.createErrorReply("org.freedesktop.login1.NoSuchSession", "none"));
    return true;
  }
  // One of the manager's signals ("PrepareForShutdown", "SessionRemoved", ...).
  void announce(const char* member, const QVariantList& arguments) {
    auto signal = QDBusMessage::createSignal(managerPath, "org.freedesktop.login1.Manager", member);
    signal.setArguments(arguments);
    bus.send(signal);
  }
  void changeSession(const QVariantMap& changed) {
    auto signal = QDBusMessage::createSignal(session, "org.freedesktop.DBus.Properties", "PropertiesChanged");
    signal << QString("org.freedesktop.login1.Session") << changed << QStringList();
    bus.send(signal);
  }

  static inline const QString managerPath = "/org/freedesktop/login1";
  QString session;
  bool asked = false;  // the session was asked for
};

}  // namespace hollin::testing
