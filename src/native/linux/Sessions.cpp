// Who is logged in and who sits at the console, from systemd-logind through sd-login; without
// logind, the owner of the local X display stands in for the console.
#include "native/NativeMetrics.h"

#include "native/linux/KernelFiles.h"
#include "native/linux/NativeReaders.h"

#include <systemd/sd-login.h>
#include <time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

bool logindRunning() { return access(hollin::native::files::logindSeats, F_OK) == 0; }

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};

}  // namespace

extern "C" {

uint32_t hl_console_uid(void) {
  uid_t owner = 0;
  char* session = nullptr;
  const int found = logindRunning() ? sd_seat_get_active("seat0", &session, &owner) : -1;
  std::free(session);
  if (found >= 0) return owner;
  // No logind, or nobody at seat0 (a stale /run/systemd, a virtual display started over ssh):
  // whoever owns the display we were started on is in front of it.
  return hollin::native::consoleUidFromDisplay(hollin::native::hostRoot(), std::getenv("DISPLAY"));
}

double hl_uptime(void) {
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

int32_t hl_login_sessions(HLLoginSession** list) {
  *list = nullptr;
  // Without logind sd_get_sessions reports zero sessions, not a failure.
  if (!logindRunning()) return -1;
  char** ids = nullptr;
  const int count = sd_get_sessions(&ids);
  if (count < 0) return -1;
  std::vector<HLLoginSession> sessions;
  for (int i = 0; i < count; ++i) {
    uid_t uid = 0;
    char* state = nullptr;
    // A session that ends between the listing and these reads is left out, as if listed later.
    if (sd_session_get_uid(ids[i], &uid) >= 0 && sd_session_get_state(ids[i], &state) >= 0) {
      const std::unique_ptr<char, FreeDeleter> owned(state);
      const bool done = std::strcmp(state, "online") == 0 || std::strcmp(state, "active") == 0;
      sessions.push_back({static_cast<uint32_t>(uid), done ? 1 : 0});
    }
    std::free(ids[i]);
  }
  std::free(ids);
  auto* out = static_cast<HLLoginSession*>(
      std::calloc(std::max<std::size_t>(sessions.size(), 1), sizeof(HLLoginSession)));
  if (!out) return -1;
  std::copy(sessions.begin(), sessions.end(), out);
  *list = out;
  return static_cast<int32_t>(sessions.size());
}

void hl_free_sessions(HLLoginSession* list) { std::free(list); }

}
