// A shared report's POSIX.1e access-control list, built and set through libacl.
#include "native/SharedReportAcl.h"

#include <acl/libacl.h>
#include <sys/acl.h>
#include <sys/types.h>

namespace {

// The sharing profile's accounts, as the build names them.
constexpr uid_t readers[] = {HL_SHARING_UIDS};

// The list is freed however the building ends.
struct AclList {
  acl_t acl = acl_init(8);
  ~AclList() {
    if (acl != nullptr) acl_free(acl);
  }
  AclList() = default;
  AclList(const AclList&) = delete;
  AclList& operator=(const AclList&) = delete;
};

// Adds one entry: `tag` with `permissions` (ACL_READ, ACL_WRITE, ... or-ed), for `user` when the
// tag is ACL_USER.
bool addEntry(acl_t& acl, acl_tag_t tag, acl_perm_t permissions, const uid_t* user = nullptr) {
  acl_entry_t entry = nullptr;
  acl_permset_t permset = nullptr;
  if (acl_create_entry(&acl, &entry) != 0 || acl_set_tag_type(entry, tag) != 0) return false;
  if (user != nullptr && acl_set_qualifier(entry, user) != 0) return false;
  if (acl_get_permset(entry, &permset) != 0 || acl_clear_perms(permset) != 0) return false;
  constexpr acl_perm_t each[] = {ACL_READ, ACL_WRITE, ACL_EXECUTE};
  for (acl_perm_t one : each)
    if ((permissions & one) != 0 && acl_add_perm(permset, one) != 0) return false;
  return acl_set_permset(entry, permset) == 0;
}

}  // namespace

extern "C" int32_t hl_report_acl(int fd) {
  AclList list;
  if (list.acl == nullptr) return -1;
  if (!addEntry(list.acl, ACL_USER_OBJ, ACL_READ | ACL_WRITE)) return -1;
  for (const uid_t& reader : readers)
    if (!addEntry(list.acl, ACL_USER, ACL_READ, &reader)) return -1;
  if (!addEntry(list.acl, ACL_GROUP_OBJ, 0) || !addEntry(list.acl, ACL_MASK, ACL_READ) ||
      !addEntry(list.acl, ACL_OTHER, 0))
    return -1;
  if (acl_valid(list.acl) != 0) return -1;
  return acl_set_fd(fd, list.acl) == 0 ? 0 : -1;
}
