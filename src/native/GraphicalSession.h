/* The graphical login session this program belongs to, as the session manager reports it: who
 * owns it and whether its login has completed. Usable from C and C++. */
#ifndef HOLLIN_GRAPHICAL_SESSION_H
#define HOLLIN_GRAPHICAL_SESSION_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HLGraphicalSession {
  int32_t found;      /* 1 when a session was found and uid holds its owner */
  uint32_t uid;       /* the session's owner; 0 when not found */
  int32_t login_done; /* 1 for a desktop (X11 or Wayland) session that is online or active */
} HLGraphicalSession;

/* This process's own session, or, when it runs outside any (a desktop starts applications in
 * service scopes), its user's primary graphical session. Nothing found when there is no session
 * manager, no session, or any question to it fails. */
HLGraphicalSession hl_graphical_session(void);

#ifdef __cplusplus
}
#endif

#endif
