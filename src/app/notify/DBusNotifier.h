#pragma once

#include <QDBusConnection>
#include <QDBusError>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>

#include <nlohmann/json.hpp>

#include "app/notify/Notifier.h"
#include "app/views/SystemMonitor.h"
#include "core/notify/NotificationDiagnostics.h"

class QDBusPendingCallWatcher;

namespace hollin {

// The desktop programs a notice or the settings panel may open.
enum class DesktopTool { systemMonitor, notificationSettings };

// What the notifier reads from the rest of the program, injected so tests can set each one.
struct NotifierEnvironment {
  std::uint32_t currentUID = 0;
  std::function<std::uint32_t()> consoleUID;  // hl_console_uid
  std::function<WallTime()> now;              // wall clock
  std::function<double()> uptime;             // seconds
  std::set<std::uint32_t> watchableUIDs;      // the accounts this scope may watch
  // Starts the desktop's system monitor or notification settings; false when there is none.
  std::function<bool(DesktopTool)> open;
  bool systemMonitor = false;  // one is installed: notices offer to open it
};

// The environment of the running program: real clocks, console owner and desktop programs.
// `monitor`: the desktop's system monitor, when one is installed.
NotifierEnvironment liveNotifierEnvironment(std::set<std::uint32_t> watchableUIDs,
                                            std::optional<SystemMonitorApp> monitor);

// Notifications through org.freedesktop.Notifications on a D-Bus session bus.
class DBusNotifier final : public Notifier {
  Q_OBJECT

 public:
  DBusNotifier(QDBusConnection bus, NotifierEnvironment environment, QObject* parent = nullptr);

  bool notify(const std::string& id, const std::string& title, const std::string& body,
              bool urgent, Completion completion = {}) override;
  void refreshNotificationState(bool force) override;
  void requestNotifications() override;
  void muteNotices(int seconds) override;
  void resumeNotices() override;
  void openActivityMonitor() override;

  WallTime mutedUntil() const override { return mutedUntil_; }
  bool notificationsAllowed() const override;
  NotificationAuthorization authorization() const override { return settings_.authorization; }
  Json notificationDiagnostics() const override { return diagnostics_; }
  Json lastNotificationSubmission() const override { return lastSubmission_; }

 private slots:
  void actionInvoked(uint serverId, const QString& action);
  void notificationClosed(uint serverId, uint reason);
  void serviceOwnerChanged();

 private:
  QDBusMessage call(const QString& method) const;
  void settingsAnswered(std::optional<NotificationService> found);
  void postingAnswered(const std::string& id, WallTime requestedAt, const Completion& completion,
                       QDBusPendingCallWatcher* answer);
  QStringList actionsFor(const std::string& id) const;
  bool ours(uint serverId) const;

  QDBusConnection bus_;
  NotifierEnvironment environment_;
  NotificationSettings settings_;
  WallTime mutedUntil_ = distantPast;
  double nextRefresh_ = 0;  // uptime before which an unforced refresh is skipped
  bool refreshing_ = false;
  std::map<std::string, uint> shown_;  // identifier → the service's id of the notice shown
  HangNoticeRecord hangNotices_;
  Json diagnostics_ = Json::object();
  Json lastSubmission_ = Json::object();
};

}  // namespace hollin
