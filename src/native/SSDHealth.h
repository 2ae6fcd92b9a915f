/* The SSD's own health report: the NVMe SMART / Health Information log page (log 02h) of the
 * drive that holds the home folder, reduced to the few fields that matter. Nothing here raises
 * errors; a reading that could not be taken gives 0. Usable from C and C++. */
#ifndef HOLLIN_NATIVE_SSD_HEALTH_H
#define HOLLIN_NATIVE_SSD_HEALTH_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* One reading. Zero-filled first. The four counters are 128-bit little-endian, as on the page. */
typedef struct HLSSDReading {
  double celsius;             /* composite temperature, degrees Celsius */
  int32_t celsius_valid;      /* 1 when -20 <= celsius <= 120 */
  uint8_t warning;            /* critical warning bit field */
  uint8_t spare;              /* available spare, percent */
  uint8_t spare_threshold;    /* available spare threshold, percent */
  uint8_t wear;               /* percentage used; may exceed 100 */
  uint8_t media_errors[16];   /* media and data integrity errors */
  uint8_t error_entries[16];  /* error information log entries */
  uint8_t written[16];        /* data units written (units of 512,000 bytes) */
  uint8_t power_hours[16];    /* power-on hours */
} HLSSDReading;

/* The size of the SMART / Health Information log page. */
#define HL_SSD_PAGE_SIZE 512

/* Fills `out` from a whole log page (`size` must be HL_SSD_PAGE_SIZE). 1 when the page was
 * whole and its spare fields are sane (both at most 100), else 0; `out` may then be partly
 * filled and must not be used. A null `out` or `page` gives 0. */
int32_t hl_ssd_parse_page(const uint8_t* page, size_t size, HLSSDReading* out);

/* Reads the health of the one NVMe drive behind the home folder. 1 when a reading was taken and
 * its spare fields are sane, else 0 (no such drive, two of them, or no way to read the page
 * without privileges). A null `out` gives 0. Blocks for at most a few seconds. */
int32_t hl_ssd_health(HLSSDReading* out);

/* 1 and the temperature the same drive's own sensor reports to the kernel (its "Composite"
 * hardware-monitor input, readable by everyone) in degrees Celsius, within -20...120; else 0. */
int32_t hl_ssd_temperature(double* celsius);

#ifdef __cplusplus
}
#endif

#endif
