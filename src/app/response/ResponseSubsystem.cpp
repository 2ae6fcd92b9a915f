#include "app/response/ResponseSubsystem.h"

#include <nlohmann/json.hpp>

#include <algorithm>

#include "app/notify/Notifier.h"
#include "app/response/LiveWorkspace.h"
#include "core/L10n.h"
#include "core/notify/NoticeContent.h"
#include "core/response/ResponseView.h"

namespace hollin {

ResponseSources liveResponseSources() {
  auto workspace = std::make_shared<LiveWorkspace>();
  return {[workspace] { return workspace->read(); }, liveProbeCommand()};
}

void ResponseReader::read(Snapshot& snapshot, const TakeMoment&) {
  snapshot.workspace = workspace_ ? workspace_() : Workspace{};
  // An application on the accessibility bus alone is known by its process name.
  for (auto& application : snapshot.workspace.applications) {
    if (!application.name.empty()) continue;
    const auto process = std::find_if(snapshot.processes.begin(), snapshot.processes.end(),
                                      [&](const ProcessMemory& p) { return p.pid == application.pid; });
    if (process != snapshot.processes.end()) application.name = process->name;
  }
}

ResponseSubsystem::ResponseSubsystem(Services services, ResponseSources sources)
    : services_(std::move(services)), sources_(std::move(sources)),
      reader_(std::make_shared<ResponseReader>(sources_.workspace)),
      queue_(QStringLiteral("org.hollin.Hollin.probe")) {}

ResponseSubsystem::~ResponseSubsystem() = default;

void ResponseSubsystem::evaluate(const Moment& moment) {
  const Workspace& workspace = moment.snapshot->workspace;
  trusted_ = workspace.trusted;
  busMissing_ = workspace.busMissing;
  // Without the accessibility bus nothing can be asked and nothing stays suspected.
  if (trusted_) {
    check(moment);
  } else {
    reset();
    if (services_.reportChanged) services_.reportChanged();  // the others learn it cannot ask
  }
  tellHangs();
}

void ResponseSubsystem::check(const Moment& moment) {
  if (busy_) return;
  const Snapshot& snapshot = *moment.snapshot;
  auto requests = rotation_.next(snapshot.workspace, snapshot, moment.uid, moment.pid, moment.wallNow,
                                 L10n::render(msg("アプリ"), moment.language));
  std::unordered_set<AppIdentity> living;
  for (const auto& process : snapshot.processes)
    if (process.uid == moment.uid) living.insert({process.pid, process.start});
  // Nothing to ask: the pass is over at once, and the tick's own notices and render follow.
  if (requests.empty()) return probed({}, true, living, false);

  busy_ = true;
  queue_.stream(&receiver_, [this, command = sources_.probe, requests = std::move(requests),
                             living = std::move(living)](const SerialQueue::Send& send) {
    // Both steps run on the main thread, and only while this subsystem (its receiver) exists.
    runProbePass(command, requests,
                 {[&] { send([this, living] { probed({}, false, living, true); }); },
                  [&](std::vector<ProbeResult> results, bool ok) {
                    send([this, results = std::move(results), ok, living] {
                      busy_ = false;
                      probed(results, ok, living, true);
                    });
                  }});
  });
}

void ResponseSubsystem::probed(const std::vector<ProbeResult>& results, bool ok,
                               const std::unordered_set<AppIdentity>& living, bool late) {
  if (!services_.moment) return;
  const Moment now = services_.moment();
  if (now.asleep) return;
  workerHealthy_ = ok;
  for (const auto& result : results) policy_.observe(result, now.now);
  policy_.prune(living, now.now);
  verdictsChanged();
  if (services_.reportChanged) services_.reportChanged();
  if (!late) return;
  tellHangs();
  if (services_.redraw) services_.redraw();
}

void ResponseSubsystem::tellHangs() {
  if (!services_.moment) return;
  const Moment moment = services_.moment();
  const double now = moment.now;
  Notifier* notifier = services_.notifier;
  for (const auto& due : hangs_.due(moment.peerReports(), now, moment.consoleUID, moment.uid)) {
    const NoticeRequest notice = hangNotice(due.key, moment.scope.label(due.uid, moment.uid));
    const std::string title = L10n::text(notice.title), body = L10n::text(notice.body);
    auto answered = [this, alive = std::weak_ptr<bool>(alive_), key = due.key, now](bool accepted) {
      if (!alive.expired()) hangs_.settle(key, accepted, now);
    };
    // A declined notice is tried again at the next refresh; only one that went out is logged
    // (without a notifier, every one is, in its place).
    const bool sent = notifier && notifier->notify(notice.id, title, body, false, std::move(answered));
    if ((sent || !notifier) && services_.log) services_.log("notice " + notice.id + ": " + title + " — " + body);
    if (!sent) hangs_.settle(due.key, false, now);
  }
  hangs_.prune(now);
}

void ResponseSubsystem::reset() {
  if (policy_.apps().empty() && verdicts_) return;  // every tick without the bus: nothing to do
  policy_.reset();
  verdictsChanged();
}

// The verdicts as the account's report carries them, rebuilt whenever the policy changed.
void ResponseSubsystem::verdictsChanged() {
  verdicts_ = std::make_shared<const std::vector<AppResponse>>(policy_.verdicts());
}

void ResponseSubsystem::contribute(Moment& moment) {
  moment.accessibilityTrusted = trusted_;
  moment.accessibilityBusMissing = busMissing_;
  moment.workerHealthy = workerHealthy_;
  moment.responses = verdicts_;
}

void ResponseSubsystem::present(Screen& screen, const Moment& moment) { presentResponseTable(screen, moment); }

void ResponseSubsystem::record(nlohmann::json& record, const Moment& moment) const {
  record["accessibilityGranted"] = moment.accessibilityTrusted;
}

void ResponseSubsystem::sleepChanged(bool) { reset(); }

void ResponseSubsystem::metrics(MetricsText& metrics, const Moment& moment) const {
  exportResponses(metrics, moment);
}

}  // namespace hollin
