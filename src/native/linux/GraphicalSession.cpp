// The graphical session from systemd-logind through sd-login.
#include "native/GraphicalSession.h"

#include "native/linux/KernelFiles.h"

#include <systemd/sd-login.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};
using OwnedText = std::unique_ptr<char, FreeDeleter>;

// One of sd-login's text answers, or nothing when the question failed.
template <class Ask>
OwnedText askText(Ask ask) {
  char* text = nullptr;
  if (ask(&text) < 0) {
    std::free(text);
    return nullptr;
  }
  return OwnedText(text);
}

bool oneOf(const OwnedText& text, const char* first, const char* second) {
  return text && (std::strcmp(text.get(), first) == 0 || std::strcmp(text.get(), second) == 0);
}

}  // namespace

extern "C" HLGraphicalSession hl_graphical_session(void) {
  HLGraphicalSession found{0, 0, 0};
  // Without logind sd-login answers as if nobody were logged in; that is not a session either.
  if (access(hollin::native::files::logindSeats, F_OK) != 0) return found;
  // A process in a session scope belongs to that session, whatever its kind: a shell over ssh is
  // in a remote terminal session and finds no desktop here, even while its user has one.
  OwnedText session = askText([](char** out) { return sd_pid_get_session(0, out); });
  if (!session) session = askText([](char** out) { return sd_uid_get_display(getuid(), out); });
  uid_t owner = 0;
  if (!session || sd_session_get_uid(session.get(), &owner) < 0) return found;
  const OwnedText type = askText([&](char** out) { return sd_session_get_type(session.get(), out); });
  const OwnedText state = askText([&](char** out) { return sd_session_get_state(session.get(), out); });
  found.found = 1;
  found.uid = static_cast<uint32_t>(owner);
  found.login_done = oneOf(type, "x11", "wayland") && oneOf(state, "active", "online") ? 1 : 0;
  return found;
}
