#include "app/platform/LoginMonitor.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusVariant>

namespace hollin {
namespace {

const QString service = QStringLiteral("org.freedesktop.login1");
const QString managerPath = QStringLiteral("/org/freedesktop/login1");
const QString managerInterface = QStringLiteral("org.freedesktop.login1.Manager");
const QString sessionInterface = QStringLiteral("org.freedesktop.login1.Session");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");

}  // namespace

LoginMonitor::LoginMonitor(QDBusConnection bus, QObject* parent) : QObject(parent), bus_(std::move(bus)) {}

bool LoginMonitor::start() {
  if (!bus_.isConnected()) return false;
  bus_.connect(service, managerPath, managerInterface, QStringLiteral("PrepareForSleep"), this,
               SLOT(onPrepareForSleep(bool)));
  bus_.connect(service, managerPath, managerInterface, QStringLiteral("PrepareForShutdown"), this,
               SLOT(onPrepareForShutdown(bool)));
  bus_.connect(service, managerPath, managerInterface, QStringLiteral("SessionRemoved"), this,
               SLOT(onSessionRemoved(QDBusMessage)));
  // "auto": the caller's own session, or else the user's graphical one. Asked without blocking:
  // a slow or absent logind must not hold up the start.
  auto call = QDBusMessage::createMethodCall(service, managerPath, managerInterface, QStringLiteral("GetSession"));
  call << QStringLiteral("auto");
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
    finished->deleteLater();
    QDBusPendingReply<QDBusObjectPath> reply = *finished;
    if (reply.isValid()) {
      watchSession(reply.value());
    } else {
      emit ready();
    }
  });
  return true;
}

void LoginMonitor::watchSession(const QDBusObjectPath& path) {
  session_ = path;
  bus_.connect(service, path.path(), propertiesInterface, QStringLiteral("PropertiesChanged"), this,
               SLOT(onSessionPropertiesChanged(QString, QVariantMap, QStringList)));
  readSessionProperties();
}

// Reads Active and State; the first answer sets the starting state without announcing a change.
void LoginMonitor::readSessionProperties() {
  auto call = QDBusMessage::createMethodCall(service, session_.path(), propertiesInterface, QStringLiteral("GetAll"));
  call << sessionInterface;
  auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* finished) {
    finished->deleteLater();
    QDBusPendingReply<QVariantMap> reply = *finished;
    bool first = !active_.has_value();
    if (reply.isValid()) onSessionPropertiesChanged(sessionInterface, reply.value(), {});
    if (first) emit ready();
  });
}

void LoginMonitor::onPrepareForSleep(bool start) {
  if (start) {
    emit willSleep();
  } else {
    emit didWake();
  }
}

void LoginMonitor::onPrepareForShutdown(bool start) {
  if (start) terminateOnce();
}

// Taken as the whole message: QtDBus does not reliably deliver an object-path argument to a typed
// slot, so the path is read from the arguments here.
void LoginMonitor::onSessionRemoved(const QDBusMessage& message) {
  const auto arguments = message.arguments();
  if (arguments.size() < 2 || session_.path().isEmpty()) return;
  if (arguments.at(1).value<QDBusObjectPath>() == session_) terminateOnce();
}

void LoginMonitor::onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                              const QStringList& invalidated) {
  if (interface != sessionInterface) return;
  if (auto state = changed.find(QStringLiteral("State")); state != changed.end() &&
                                                          state->toString() == QLatin1String("closing")) {
    terminateOnce();
  }
  if (auto active = changed.find(QStringLiteral("Active")); active != changed.end()) {
    applyActive(active->toBool());
  } else if (invalidated.contains(QStringLiteral("Active"))) {
    readSessionProperties();  // announced without its value: ask for it
  }
}

void LoginMonitor::applyActive(bool active) {
  bool changed = active_.has_value() && *active_ != active;
  active_ = active;
  if (changed) emit sessionActiveChanged(active);
}

void LoginMonitor::terminateOnce() {
  if (terminating_) return;
  terminating_ = true;
  emit willTerminate();
}

}  // namespace hollin
