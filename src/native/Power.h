/* The machine's batteries and power adapters as the kernel's power-supply class reports them,
 * combined into one battery and one adapter the way a single battery would report itself.
 * Nothing here raises errors. Usable from C and C++. */
#ifndef HOLLIN_NATIVE_POWER_H
#define HOLLIN_NATIVE_POWER_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One reading. Zero-filled first: a figure whose flag is 0 reads 0. A peripheral's battery
 * (a mouse, a headset) never counts. */
typedef struct HLPower {
  int32_t batteries;         /* system batteries present */
  int32_t adapters;          /* mains, USB and wireless supplies */
  int32_t adapter_online;    /* 1 when one of the adapters is online */
  int32_t adapter_watts;     /* the strongest online adapter's rating, W; 0 when not reported */
  int32_t charging;          /* 1 when a battery reports "Charging" */
  int32_t charging_valid;    /* a battery reported its status */
  int64_t current_ma;        /* the batteries' summed current, mA; negative while discharging */
  int32_t current_valid;     /* every battery reported its current */
  int64_t level_now;         /* summed charge now and when full, in one unit for all batteries */
  int64_t level_full;        /* (µAh or µWh; percent and 100 for a battery that gives only that) */
  int32_t level_valid;
  int64_t design_full;       /* summed charge when full and when new, in one unit */
  int64_t design_new;
  int32_t design_valid;
  int32_t cycle_count;       /* the highest of the batteries; 0 when not reported */
  char health[64];           /* the first health other than "Good" a battery reports, else "Good"
                                when one does; empty when none does ("Unknown" is none) */
  int32_t limit_percent;     /* the lowest charge end threshold, 1...100; 0 when none is set */
  int32_t limit_unreadable;  /* 1 when a threshold file exists but holds no percent */
  int32_t force_discharge;   /* 1 when a battery's charge behaviour is set to force-discharge */
  int32_t behaviour_valid;   /* a battery reports its charge behaviour */
} HLPower;

/* 1 and the reading when the power-supply class could be listed (an empty class is a machine
 * without battery or adapter), else 0 with `out` zero-filled. A null `out` gives 0. */
int32_t hl_power(HLPower* out);

#ifdef __cplusplus
}
#endif

#endif
