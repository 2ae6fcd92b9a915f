#include "core/scope/SessionSetup.h"

namespace hollin {

bool SessionSetupAuthorization::allows(std::uint32_t realUID, std::uint32_t effectiveUID,
                                       std::optional<std::uint32_t> sessionUID, bool loginComplete) {
  return realUID >= firstUID && realUID <= lastUID && effectiveUID == realUID && sessionUID == realUID &&
         loginComplete;
}

}  // namespace hollin
