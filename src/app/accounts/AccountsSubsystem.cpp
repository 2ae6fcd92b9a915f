#include "app/accounts/AccountsSubsystem.h"

#include <nlohmann/json.hpp>

#include "core/scope/AccountsView.h"

namespace hollin {

AccountsSubsystem::AccountsSubsystem(Services services) : services_(std::move(services)) {}

void AccountsSubsystem::contribute(Moment& moment) {
  // This account's own report, as far as it is built: the responsiveness verdicts.
  PeerReport own;
  own.uid = moment.uid;
  own.trusted = moment.accessibilityTrusted;
  own.workerHealthy = moment.workerHealthy;
  if (moment.responses) own.apps = *moment.responses;
  moment.reports = std::make_shared<const std::vector<PeerReport>>(std::vector{std::move(own)});
  // Re-read at each use, so a change by the set-up command shows at the next tick.
  moment.sharing = services_.settings && sharingEnabled(moment.scope, *services_.settings);
}

void AccountsSubsystem::present(Screen& screen, const Moment& moment) {
  presentAccountTables(screen, moment);
  presentAccountNotes(screen, moment);
}

void AccountsSubsystem::record(nlohmann::json& record, const Moment& moment) const {
  recordAccounts(record, moment);
}

}  // namespace hollin
