#include "native/LoginSessionSource.h"

#include <systemd/sd-login.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

namespace hollin {

namespace {

// logind keeps its state under /run/systemd; the seats folder exists exactly while it runs
// (sd-login's own test). Without it sd_get_sessions reports zero sessions, not a failure.
bool logindRunning() { return access("/run/systemd/seats/", F_OK) == 0; }

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

// A session that ends between the listing and these reads is left out, as if listed later.
std::optional<LoginSession> readSession(const char* id) {
  uid_t uid = 0;
  char* state = nullptr;
  if (sd_session_get_uid(id, &uid) < 0 || sd_session_get_state(id, &state) < 0)
    return std::nullopt;
  const std::unique_ptr<char, FreeDeleter> owned(state);
  return LoginSession{static_cast<std::uint32_t>(uid), state};
}

}  // namespace

PlistValue sessionInfoValue(const std::vector<LoginSession>& sessions) {
  PlistArray entries;
  entries.reserve(sessions.size());
  for (const LoginSession& session : sessions) {
    const bool done = session.state == "online" || session.state == "active";
    entries.emplace_back(PlistDictionary{{"kCGSSessionUserIDKey", std::int64_t{session.uid}},
                                         {"kCGSessionLoginDoneKey", done}});
  }
  return PlistDictionary{{"SessionInfo", std::move(entries)}};
}

std::optional<PlistValue> readLoginSessions() {
  if (!logindRunning()) return std::nullopt;
  char** ids = nullptr;
  const int count = sd_get_sessions(&ids);
  if (count < 0) return std::nullopt;
  std::vector<LoginSession> sessions;
  for (int i = 0; i < count; ++i) {
    if (std::optional<LoginSession> session = readSession(ids[i]))
      sessions.push_back(std::move(*session));
    std::free(ids[i]);
  }
  std::free(ids);
  return sessionInfoValue(sessions);
}

}  // namespace hollin
