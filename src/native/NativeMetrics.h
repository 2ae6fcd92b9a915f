/* The native metrics layer: whole-machine and per-process readings as plain records with
 * validity flags. Nothing here raises errors. The one state kept between calls is the process
 * list's table of open per-process descriptors, which makes later listings cheap and changes
 * no result; it is guarded, so every function may be called from any thread. Usable from C
 * and C++. */
#ifndef HOLLIN_NATIVE_METRICS_H
#define HOLLIN_NATIVE_METRICS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One whole-machine reading. Zero-filled first: every figure whose flag is 0 reads 0. */
typedef struct HLSystem {
  uint64_t physical;          /* installed physical memory, bytes (no flag; 0 when unread) */
  uint64_t wired;             /* memory that can be neither reclaimed nor swapped, bytes */
  uint64_t compressed;        /* bytes held by the memory compressor */
  uint64_t swap_used;         /* swap in use, bytes */
  uint64_t swapouts;          /* cumulative bytes swapped out since boot */
  uint64_t memory_used;       /* memory in use, bytes */
  int32_t memory_used_valid;
  uint64_t cpu_busy;          /* cumulative busy CPU ticks since boot, all processors */
  uint64_t cpu_idle;          /* cumulative idle CPU ticks since boot */
  int32_t cpu_valid;
  int32_t vm_valid;           /* wired, compressed and swapouts were read */
  int32_t swap_valid;
  int32_t pressure;           /* kernel-style level: 1 normal, 2 warning, 4 critical */
  int32_t pressure_valid;
  uint64_t disk_available;    /* bytes available to ordinary users on the data volume */
  uint64_t disk_total;        /* total bytes of the data volume */
  int32_t disk_valid;
} HLSystem;

/* One process. (pid, start) identifies it over its life. */
typedef struct HLProcess {
  int32_t pid;
  uint32_t uid;               /* owner (real uid) */
  uint64_t start;             /* start time, microseconds since 1970 */
  uint64_t resident;          /* resident size, bytes */
  uint64_t footprint;         /* memory the process itself is responsible for, bytes */
  int32_t footprint_valid;
  int32_t resident_valid;
  char name[256];             /* NUL-terminated */
} HLProcess;

HLSystem hl_system(void);

/* Lists every process. On success returns the count (0 or more) and stores a list that the
 * caller releases with hl_free, even when the count is 0. On failure returns -1, stores no
 * list and sets *error. Both outputs are cleared first. */
int32_t hl_processes(HLProcess** list, int32_t* error);
void hl_free(HLProcess* list);

/* Readies the process listing while the caller is still single-threaded: raises the descriptor
 * limit and grows the descriptor table to the room the first listings will hold. Called first
 * thing in main; optional, and harmless to call again. */
void hl_prepare(void);

/* 1 and the owner uid and start time of pid, or 0 with the outputs untouched. */
int32_t hl_identity(int32_t pid, uint32_t* uid, uint64_t* start);

/* The user at the console, or 4294967295 when it cannot be told. */
uint32_t hl_console_uid(void);

/* 1 and the hottest plausible CPU temperature in degrees Celsius, or 0. */
int32_t hl_cpu_temperature(double* celsius);

/* Seconds since boot, sleep included, so a sleep shows up as a gap; every account reads the
 * same clock. */
double hl_uptime(void);

/* One login session as the session manager reports it. */
typedef struct HLLoginSession {
  uint32_t uid;
  int32_t login_done; /* 1 while the session is online or active, 0 while opening or closing */
} HLLoginSession;

/* Lists the login sessions. Returns the count (0 or more) and stores a list that the caller
 * releases with hl_free_sessions, even when the count is 0; or -1 and no list when there is no
 * session manager to ask (nobody can tell who is logged in, which is not nobody). */
int32_t hl_login_sessions(HLLoginSession** list);
void hl_free_sessions(HLLoginSession* list);

#ifdef __cplusplus
}
#endif

#endif
