#pragma once

#include <QObject>

#include <functional>
#include <string>

#include "core/Json.h"
#include "core/notify/NotificationRules.h"
#include "core/snapshot/Snapshot.h"

namespace hollin {

// The controller's one way to tell the user something through the desktop's notifications,
// and the notification state it shows and records. Everything runs on the main thread; answers
// of the notification service come back as signals.
class Notifier : public QObject {
  Q_OBJECT

 public:
  using Completion = std::function<void(bool accepted)>;

  using QObject::QObject;
  ~Notifier() override;

  // Sends a request unless another account is at the console, notifications are not allowed,
  // or ordinary notices are muted and `urgent` is false; returns whether it was sent. A request
  // with the identifier of one still shown replaces it. `completion`, when given, later
  // receives whether the service accepted the request; then `answered` is emitted.
  virtual bool notify(const std::string& id, const std::string& title, const std::string& body,
                      bool urgent, Completion completion = {}) = 0;

  // Asks the notification service again whether it is there; unless forced, at most every
  // 30 s of uptime. Forced when the application becomes active; unforced at every tick.
  virtual void refreshNotificationState(bool force) = 0;
  // "通知を許可…": asks the service again, or opens the desktop's notification settings when
  // the last check found no service to ask.
  virtual void requestNotifications() = 0;
  // The status menu's mute choices (seconds) and "通知を再開".
  virtual void muteNotices(int seconds) = 0;
  virtual void resumeNotices() = 0;
  // "アクティビティモニタを開く": the desktop's system monitor.
  virtual void openActivityMonitor() = 0;

  virtual WallTime mutedUntil() const = 0;
  virtual bool notificationsAllowed() const = 0;
  virtual NotificationAuthorization authorization() const = 0;
  // The self-health record's "notificationDiagnostics" and "lastNotificationSubmission" (an
  // empty object until the first answer).
  virtual Json notificationDiagnostics() const = 0;
  virtual Json lastNotificationSubmission() const = 0;

 signals:
  // A posting was answered (accepted or refused); the state has been refreshed. The controller
  // writes the self-health record.
  void answered();
  // The service's state was read again: render, update the set-up guide, write the record.
  void stateRefreshed();
  // The mute changed through a notification's action: render.
  void muteChanged();
  // The user clicked a notification: bring the analysis window to the front.
  void analysisRequested();
};

}  // namespace hollin
