// Sleep, wake, shutdown and session switches as logind (org.freedesktop.login1) announces them.
#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QVariantMap>

#include <optional>

namespace hollin {

class LoginMonitor : public QObject {
  Q_OBJECT
 public:
  // bus: the system bus in the application, a private bus in tests.
  explicit LoginMonitor(QDBusConnection bus, QObject* parent = nullptr);

  // Subscribes to the manager's signals and looks up this process's session in the background.
  // False when the bus is not connected: then nothing is observed (and nothing fails).
  bool start();

  // Whether our session is the active one on its seat; absent until logind answered.
  std::optional<bool> sessionActive() const { return active_; }
  QString sessionPath() const { return session_.path(); }

 signals:
  void willSleep();
  void didWake();
  // Shutdown or reboot announced, or our session is closing or was removed (log-out).
  void willTerminate();
  // Our session became the active one (true) or another one took the seat (false).
  void sessionActiveChanged(bool active);
  // The session lookup finished (found or not); lets callers and tests know observation is set up.
  void ready();

 private slots:
  void onPrepareForSleep(bool start);
  void onPrepareForShutdown(bool start);
  void onSessionRemoved(const QDBusMessage& message);
  void onSessionPropertiesChanged(const QString& interface, const QVariantMap& changed,
                                  const QStringList& invalidated);

 private:
  void watchSession(const QDBusObjectPath& path);
  void readSessionProperties();
  void applyActive(bool active);
  void terminateOnce();

  QDBusConnection bus_;
  QDBusObjectPath session_;
  std::optional<bool> active_;
  bool terminating_ = false;
};

}  // namespace hollin
