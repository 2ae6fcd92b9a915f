#include "app/notify/NotificationsSubsystem.h"

#include <nlohmann/json.hpp>

#include "app/notify/Notifier.h"
#include "core/notify/NotificationRules.h"

namespace hollin {

NotificationsSubsystem::NotificationsSubsystem(Services services) : services_(std::move(services)) {
  Notifier* notifier = services_.notifier;
  if (!notifier) return;
  // Answers of the notification service change what is shown and recorded.
  const auto redraw = [this] {
    if (services_.redraw) services_.redraw();
  };
  QObject::connect(notifier, &Notifier::answered, notifier, redraw);
  QObject::connect(notifier, &Notifier::stateRefreshed, notifier, redraw);
  QObject::connect(notifier, &Notifier::muteChanged, notifier, redraw);
  QObject::connect(notifier, &Notifier::analysisRequested, notifier, [this] {
    if (services_.showAnalysis) services_.showAnalysis();
  });
}

void NotificationsSubsystem::start() {
  if (services_.notifier) services_.notifier->refreshNotificationState(false);
}

void NotificationsSubsystem::tickStarting(const Moment&) {
  if (services_.notifier) services_.notifier->refreshNotificationState(false);
}

void NotificationsSubsystem::evaluate(const Moment& moment) {
  if (!services_.notifier) return;
  const auto reason = withholding(moment.consoleUID, moment.uid, services_.notifier->authorization());
  const std::optional<std::string> now = reason ? std::optional<std::string>(*reason) : std::nullopt;
  if (now == withheld_) return;
  withheld_ = now;
  if (!services_.log) return;
  if (!reason) services_.log("notices can be posted again");
  else if (*reason == "notAtConsole")
    services_.log("notices withheld: this account (uid " + std::to_string(moment.uid) +
                  ") is not at the console (console uid " + std::to_string(moment.consoleUID) + ")");
  else services_.log("notices withheld: no notification service answers on the session bus");
}

void NotificationsSubsystem::contribute(Moment& moment) {
  moment.notificationsAllowed = services_.notifier && services_.notifier->notificationsAllowed();
}

void NotificationsSubsystem::record(nlohmann::json& record, const Moment& moment) const {
  record["notificationsAllowed"] = moment.notificationsAllowed;
  record["notificationDiagnostics"] = nlohmann::json::object();
  record["lastNotificationSubmission"] = nlohmann::json::object();
  if (!services_.notifier) return;
  // The notifier's maps keep their insertion order; the record sorts every level.
  auto diagnostics = nlohmann::json::parse(services_.notifier->notificationDiagnostics().dump());
  const auto reason = withholding(moment.consoleUID, moment.uid, services_.notifier->authorization());
  diagnostics["withheld"] = reason ? nlohmann::json(std::string(*reason)) : nlohmann::json(nullptr);
  record["notificationDiagnostics"] = std::move(diagnostics);
  record["lastNotificationSubmission"] = nlohmann::json::parse(services_.notifier->lastNotificationSubmission().dump());
}

}  // namespace hollin
