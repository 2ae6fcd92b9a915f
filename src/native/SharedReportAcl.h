/* The access-control list a shared report carries: the owner reads and writes it, the sharing
 * profile's three accounts may read it, nobody else may do anything. Usable from C and C++. */
#ifndef HOLLIN_NATIVE_SHARED_REPORT_ACL_H
#define HOLLIN_NATIVE_SHARED_REPORT_ACL_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Sets the list on the open file `fd` (which the caller owns): user::rw-, user:<id>:r-- for each
 * of the build's three sharing accounts, group::---, mask::r--, other::---. These accounts are
 * fixed in the build and do not follow the account scope. 0 on success, -1 on any failure. */
int32_t hl_report_acl(int fd);

#ifdef __cplusplus
}
#endif

#endif
