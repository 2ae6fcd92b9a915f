#include "app/accounts/AccountsSubsystem.h"

#include <nlohmann/json.hpp>

#include "core/scope/AccountsView.h"

namespace hollin {

AccountsSubsystem::AccountsSubsystem(Services services) : services_(std::move(services)) {}

void AccountsSubsystem::contribute(Moment& moment) {
  moment.reports = reports_;
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
