#include "app/notify/DBusNotifier.h"

#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QProcess>
#include <QStandardPaths>

#include <unistd.h>

#include <algorithm>

#include <nlohmann/json.hpp>

#include "app/views/QtText.h"
#include "app/views/SystemMonitor.h"
#include "core/L10n.h"
#include "core/notify/DesktopTools.h"
#include "core/notify/NoticeContent.h"
#include "native/NativeMetrics.h"

namespace hollin {

namespace {

const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
const QString applicationName = QStringLiteral("Hollin");
const QString applicationIcon = QStringLiteral("hollin");  // the icon theme's name

constexpr double refreshInterval = 30;  // seconds of uptime between unforced refreshes
// A service that stops answering must not keep a refresh or a posting open for long.
constexpr int settingsTimeout = 5000;   // milliseconds
constexpr int postingTimeout = 10000;   // milliseconds
constexpr uchar normalUrgency = 1, criticalUrgency = 2;
constexpr int serverDefaultExpiry = -1;

bool openSettings() {
  const auto command = notificationSettingsCommand(
      qgetenv("XDG_CURRENT_DESKTOP").toStdString(),
      [](const std::string& name) { return !QStandardPaths::findExecutable(qText(name)).isEmpty(); });
  if (!command) return false;
  QStringList arguments;
  for (std::size_t i = 1; i < command->size(); ++i) arguments << qText((*command)[i]);
  return QProcess::startDetached(qText(command->front()), arguments);
}

}  // namespace

NotifierEnvironment liveNotifierEnvironment(std::set<std::uint32_t> watchableUIDs,
                                            std::optional<SystemMonitorApp> monitor) {
  const auto open = [monitor](DesktopTool tool) {
    if (tool == DesktopTool::notificationSettings) return openSettings();
    return monitor && launchSystemMonitor(*monitor);
  };
  return {static_cast<std::uint32_t>(::getuid()), [] { return hl_console_uid(); },
          [] { return std::chrono::system_clock::now(); }, hl_uptime, std::move(watchableUIDs), open,
          monitor.has_value()};
}

DBusNotifier::DBusNotifier(QDBusConnection bus, NotifierEnvironment environment, QObject* parent)
    : Notifier(parent), bus_(std::move(bus)), environment_(std::move(environment)) {
  bus_.connect(service, path, interface, QStringLiteral("ActionInvoked"), this,
               SLOT(actionInvoked(uint, QString)));
  bus_.connect(service, path, interface, QStringLiteral("NotificationClosed"), this,
               SLOT(notificationClosed(uint, uint)));
  // A service that quits or is replaced takes what it showed with it.
  auto* watcher = new QDBusServiceWatcher(service, bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
  connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, &DBusNotifier::serviceOwnerChanged);
}

bool DBusNotifier::notificationsAllowed() const {
  return settings_.authorization == NotificationAuthorization::authorized;
}

QDBusMessage DBusNotifier::call(const QString& method) const {
  return QDBusMessage::createMethodCall(service, path, interface, method);
}

QStringList DBusNotifier::actionsFor(const std::string& id) const {
  // Flat pairs of action key and title; "default" is what a click on the notice invokes.
  QStringList actions{qText(clickAction), qText(L10n::text(clickActionTitle()))};
  if (carriesNoticeCategory(id))
    for (const NoticeAction& action : noticeActions()) {
      // A button that would open nothing is not offered.
      if (action.id == openMonitorAction && !environment_.systemMonitor) continue;
      actions << qText(action.id) << qText(L10n::text(action.title));
    }
  return actions;
}

bool DBusNotifier::notify(const std::string& id, const std::string& title, const std::string& body,
                          bool urgent, Completion completion) {
  const WallTime requestedAt = environment_.now();
  const PostingContext context{environment_.consoleUID(), environment_.currentUID,
                               notificationsAllowed(), mutedUntil_, requestedAt, urgent};
  if (decidePosting(context) != PostingDecision::post) return false;

  QVariantMap hints{{QStringLiteral("urgency"),
                     QVariant::fromValue<uchar>(urgent ? criticalUrgency : normalUrgency)}};
  if (advertises(settings_, "sound")) hints.insert(QStringLiteral("sound-name"), QStringLiteral("message-new-instant"));
  // The body is markup to a service that reads markup: our texts must stay text.
  const QString bodyText = advertises(settings_, "body-markup") ? qText(body).toHtmlEscaped() : qText(body);
  const auto shown = shown_.find(id);
  QDBusMessage message = call(QStringLiteral("Notify"));
  message << applicationName << (shown == shown_.end() ? 0u : shown->second) << applicationIcon
          << qText(title) << bodyText << actionsFor(id) << hints << serverDefaultExpiry;

  auto* answer = new QDBusPendingCallWatcher(bus_.asyncCall(message, postingTimeout), this);
  connect(answer, &QDBusPendingCallWatcher::finished, this,
          [this, id, requestedAt, completion](QDBusPendingCallWatcher* watcher) {
            postingAnswered(id, requestedAt, completion, watcher);
          });
  return true;
}

void DBusNotifier::postingAnswered(const std::string& id, WallTime requestedAt,
                                   const Completion& completion, QDBusPendingCallWatcher* answer) {
  answer->deleteLater();
  const QDBusPendingReply<uint> reply = *answer;
  NotificationSubmission submission{id, requestedAt, !reply.isError(), {}, {}};
  if (reply.isError()) {
    submission.errorDomain = reply.error().name().toStdString();
    submission.errorCode = static_cast<int>(reply.error().type());
  } else {
    shown_[id] = reply.value();
    if (notificationKind(id) == NotificationKind::hang)
      hangNotices_.posted(reply.value(), id, environment_.now());
  }
  lastSubmission_ = submissionJson(submission, environment_.watchableUIDs);
  if (completion) completion(submission.accepted);
  refreshNotificationState(true);
  emit answered();
}

void DBusNotifier::refreshNotificationState(bool force) {
  const double uptime = environment_.uptime();
  if (!force && uptime < nextRefresh_) return;
  nextRefresh_ = uptime + refreshInterval;
  if (refreshing_) return;  // the answer on its way is as fresh
  refreshing_ = true;
  // The service's own description and capabilities stand for the notification settings.
  auto* information =
      new QDBusPendingCallWatcher(bus_.asyncCall(call(QStringLiteral("GetServerInformation")), settingsTimeout), this);
  connect(information, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* first) {
    first->deleteLater();
    const QDBusPendingReply<QString, QString, QString, QString> reply = *first;
    if (reply.isError()) return settingsAnswered(std::nullopt);
    NotificationService found{reply.argumentAt<0>().toStdString(), reply.argumentAt<1>().toStdString(),
                              reply.argumentAt<2>().toStdString(), reply.argumentAt<3>().toStdString(), {}};
    auto* capabilities = new QDBusPendingCallWatcher(
        bus_.asyncCall(call(QStringLiteral("GetCapabilities")), settingsTimeout), this);
    connect(capabilities, &QDBusPendingCallWatcher::finished, this,
            [this, found](QDBusPendingCallWatcher* second) mutable {
              second->deleteLater();
              const QDBusPendingReply<QStringList> list = *second;
              if (!list.isError())
                for (const QString& capability : list.value()) found.capabilities.push_back(capability.toStdString());
              settingsAnswered(std::move(found));
            });
  });
}

void DBusNotifier::settingsAnswered(std::optional<NotificationService> found) {
  refreshing_ = false;
  settings_ = settingsFrom(std::move(found));
  const WallTime now = environment_.now();
  diagnostics_ = diagnosticsJson(now, settings_, now, hangNotices_.present(environment_.watchableUIDs));
  emit stateRefreshed();
}

void DBusNotifier::requestNotifications() {
  // Nothing to ask on a bus without a service, or of one that refuses: the desktop's settings
  // are where to turn one on.
  if (settings_.authorization == NotificationAuthorization::denied || refusedLastPosting(lastSubmission_))
    environment_.open(DesktopTool::notificationSettings);
  refreshNotificationState(true);
}

void DBusNotifier::muteNotices(int seconds) { mutedUntil_ = muteEnd(environment_.now(), seconds); }

void DBusNotifier::resumeNotices() { mutedUntil_ = distantPast; }

void DBusNotifier::openActivityMonitor() { environment_.open(DesktopTool::systemMonitor); }

bool DBusNotifier::ours(uint serverId) const {
  return std::any_of(shown_.begin(), shown_.end(),
                     [serverId](const auto& entry) { return entry.second == serverId; });
}

void DBusNotifier::actionInvoked(uint serverId, const QString& action) {
  if (!ours(serverId)) return;  // another program's notice
  if (action == qText(muteAction)) {
    muteNotices(muteActionSeconds);
    emit muteChanged();
  } else if (action == qText(openMonitorAction)) {
    openActivityMonitor();
  } else {
    emit analysisRequested();
  }
}

void DBusNotifier::notificationClosed(uint serverId, uint /*reason*/) {
  std::erase_if(shown_, [serverId](const auto& entry) { return entry.second == serverId; });
  hangNotices_.closed(serverId);
}

void DBusNotifier::serviceOwnerChanged() {
  shown_.clear();
  hangNotices_.clear();
  refreshNotificationState(true);
}

}  // namespace hollin
