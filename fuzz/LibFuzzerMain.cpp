// The entry point of one fuzzer: the build names its target in HOLLIN_FUZZ_TARGET.
#include <cstdio>
#include <cstdlib>

#include "FuzzTarget.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const hollin::fuzz::Target* const target = [] {
    const auto* found = hollin::fuzz::findTarget(HOLLIN_FUZZ_TARGET);
    if (!found) {
      std::fprintf(stderr, "no fuzz target named %s is linked in\n", HOLLIN_FUZZ_TARGET);
      std::abort();
    }
    return found;
  }();
  return target->entry(data, size);
}
