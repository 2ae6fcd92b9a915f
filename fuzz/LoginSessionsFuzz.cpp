// The login-session list: a property list of sessions whose console owner must be among the
// finished logins. The first byte picks the console owner, so owners inside and outside the
// ordinary accounts are both tried.
#include "FuzzTarget.h"
#include "core/OrdinaryAccounts.h"
#include "core/PropertyList.h"
#include "core/scope/LoginSessions.h"

namespace hollin {
namespace {

constexpr std::uint32_t consoleOwners[] = {1000, 1001, 0, 60000, 65534, unknownUID};

int fuzzLoginSessions(const std::uint8_t* data, std::size_t size) {
  const auto choice = fuzz::choose(data, size, std::size(consoleOwners));
  if (!choice) return 0;
  const std::uint32_t console = consoleOwners[choice->parser];
  const auto decoded = parsePropertyList(choice->rest, 1024 * 1024);
  const PlistValue* value = decoded ? &*decoded : nullptr;
  const auto loggedIn = LoginSessions::parse(value, console);
  if (loggedIn) {
    fuzz::require(loggedIn->contains(console), "the console owner is among the logins");
    fuzz::require(loggedIn->size() <= LoginSessions::maximumSessions, "no more logins than sessions");
  }
  return 0;
}

const fuzz::Registration registered("sessions", fuzzLoginSessions);

}  // namespace
}  // namespace hollin
