// /etc/login.defs: the ordinary accounts' UID_MIN and UID_MAX.
#include "FuzzTarget.h"
#include "core/OrdinaryAccounts.h"

namespace hollin {
namespace {

int fuzzLoginDefs(const std::uint8_t* data, std::size_t size) {
  const AccountRange range = parseLoginDefs(fuzz::text(data, size));
  fuzz::require(range.first <= range.last, "the range is never inverted");
  return 0;
}

const fuzz::Registration registered("logindefs", fuzzLoginDefs);

}  // namespace
}  // namespace hollin
