/* Kernel memory-pressure events: a watch that wakes its caller when the memory level changes,
 * between the regular readings of hl_system. Usable from C and C++. */
#ifndef HOLLIN_PRESSURE_EVENTS_H
#define HOLLIN_PRESSURE_EVENTS_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct HLPressureWatch HLPressureWatch;

enum {
  HL_PRESSURE_NONE = 0,      /* the machine reports no memory pressure: no watch */
  HL_PRESSURE_TRIGGERS = 1,  /* the kernel wakes the watch through stall triggers */
  HL_PRESSURE_POLLING = 2    /* triggers refused: the pressure is read every 2 s */
};

/* Opens a watch on the host's memory pressure and stores how it works in *mode; NULL (mode
 * HL_PRESSURE_NONE) when there is nothing to watch. */
HLPressureWatch* hl_pressure_watch_open(int32_t* mode);

/* Blocks until the level changes and returns the new one (1 normal, 2 warning, 4 critical; the
 * level before the first change counts as normal), or 0 once hl_pressure_watch_stop was called
 * or the source failed. One thread calls it. */
int32_t hl_pressure_watch_next(HLPressureWatch* watch);

/* Makes a waiting and every later hl_pressure_watch_next return 0. Any thread. */
void hl_pressure_watch_stop(HLPressureWatch* watch);

/* Releases the watch; no hl_pressure_watch_next may still be running. */
void hl_pressure_watch_close(HLPressureWatch* watch);

#ifdef __cplusplus
}
#endif

#endif
