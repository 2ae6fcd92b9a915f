// A notifier that answers as the test tells it: allowed or not, muted until a date, accepting
// or refusing each posting, answered on the next turn of the event loop like the real service;
// and the services a subsystem tested on its own is handed.
#pragma once

#include <QCoreApplication>
#include <QMetaObject>
#include <QTemporaryDir>

#include <nlohmann/json.hpp>

#include <string>
#include <utility>
#include <vector>

#include "app/notify/Notifier.h"
#include "app/tick/Subsystem.h"

namespace hollin::testing {

class ScriptedNotifier final : public Notifier {
 public:
  bool notify(const std::string& id, const std::string&, const std::string&, bool urgent,
              Completion completion) override {
    if (!allowed || (now < muted && !urgent)) return false;
    posted.emplace_back(id, urgent);
    QMetaObject::invokeMethod(
        this, [this, completion] { completion(accept); }, Qt::QueuedConnection);
    return true;
  }
  void refreshNotificationState(bool) override {}
  void requestNotifications() override {}
  void muteNotices(int) override {}
  void resumeNotices() override {}
  void openActivityMonitor() override {}
  WallTime mutedUntil() const override { return muted; }
  bool notificationsAllowed() const override { return allowed; }
  NotificationAuthorization authorization() const override { return {}; }
  Json notificationDiagnostics() const override { return Json::object(); }
  Json lastNotificationSubmission() const override { return Json::object(); }

  std::vector<std::pair<std::string, bool>> posted;  // identifier, urgent
  bool allowed = true;
  bool accept = true;
  WallTime muted = distantPast;
  WallTime now{};  // the test's clock, against `muted`
};

// What a subsystem tested on its own is handed: `notifier`, account 1000, history files in
// `folder`, and a sampling queue the test plays itself: each job runs at once, then its step.
inline Services inlineServices(Notifier& notifier, const QTemporaryDir& folder) {
  Services services;
  services.notifier = &notifier;
  services.uid = 1000;
  services.onSamplingQueue = [](std::function<void()> job, std::function<void()> then) {
    job();
    if (then) then();
  };
  services.dataFolder = folder.path().toStdString();
  return services;
}

// `snapshot` handed to `subsystem` at `now` as the controller hands it on, for account 1000 with
// `console` at the console, in Japanese; then the service's answers.
inline void evaluate(Subsystem& subsystem, ScriptedNotifier& notifier, const Snapshot& snapshot, WallTime now,
                     std::uint32_t console = 1000) {
  Moment moment;
  moment.snapshot = std::make_shared<Snapshot>(snapshot);
  moment.wallNow = notifier.now = now;
  moment.uid = 1000;
  moment.consoleUID = console;
  moment.language = "ja";
  subsystem.evaluate(moment);
  QCoreApplication::processEvents();
}

// One take at `taken` (a slow one reads the slow sources) by the subsystem's reader, run inline as
// if on the sampling thread, and evaluated at `now`.
inline Snapshot tick(Subsystem& subsystem, ScriptedNotifier& notifier, WallTime taken, WallTime now, bool slow = false,
                     std::uint32_t console = 1000) {
  Snapshot snapshot;
  subsystem.reader()->read(snapshot, {0, taken, slow});
  evaluate(subsystem, notifier, snapshot, now, console);
  return snapshot;
}

}  // namespace hollin::testing
