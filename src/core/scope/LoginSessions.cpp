#include "core/scope/LoginSessions.h"

#include <cmath>

namespace hollin {

namespace {

// A uid stored as a number: not a boolean (asNumber refuses those), integral, 0…2^32 − 1.
// Every such value is exact in a double, so reading integers through one loses nothing.
std::optional<std::uint32_t> sessionUID(const PlistValue* value) {
  if (value == nullptr) return std::nullopt;
  const std::optional<double> number = value->asNumber();
  if (!number || !(*number > -1) || !(*number < 4294967296.0) || std::trunc(*number) != *number)
    return std::nullopt;
  return static_cast<std::uint32_t>(*number);
}

}  // namespace

std::optional<std::set<std::uint32_t>> LoginSessions::parse(const PlistValue* value,
                                                            std::uint32_t consoleUID,
                                                            AccountRange accounts) {
  if (value == nullptr) return std::nullopt;
  const PlistDictionary* top = value->asDictionary();
  if (top == nullptr || top->empty()) return std::nullopt;
  const PlistValue* info = value->find("SessionInfo");
  const PlistArray* sessions = info ? info->asArray() : nullptr;
  if (sessions == nullptr || sessions->empty() || sessions->size() > maximumSessions)
    return std::nullopt;

  std::set<std::uint32_t> loggedIn;
  for (const PlistValue& session : *sessions) {
    const PlistDictionary* entry = session.asDictionary();
    if (entry == nullptr || entry->empty()) return std::nullopt;
    const std::optional<std::uint32_t> uid = sessionUID(session.find("kCGSSessionUserIDKey"));
    const PlistValue* doneValue = session.find("kCGSessionLoginDoneKey");
    const std::optional<bool> done = doneValue ? doneValue->asBool() : std::nullopt;
    if (!uid || !done) return std::nullopt;
    if (*done) loggedIn.insert(*uid);
  }
  if (!accounts.contains(consoleUID) || !loggedIn.contains(consoleUID)) return std::nullopt;
  return loggedIn;
}

std::optional<PlistValue> LoginSessions::value(const HLLoginSession* sessions, std::int32_t count) {
  if (sessions == nullptr || count < 0) return std::nullopt;
  PlistArray entries;
  entries.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i)
    entries.emplace_back(PlistDictionary{{"kCGSSessionUserIDKey", std::int64_t{sessions[i].uid}},
                                         {"kCGSessionLoginDoneKey", sessions[i].login_done != 0}});
  return PlistValue(PlistDictionary{{"SessionInfo", std::move(entries)}});
}

}  // namespace hollin
