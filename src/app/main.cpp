#include <cstdio>

#include "core/L10n.h"

// Placeholder entry point until the controller lands.
int main() {
  std::printf("%s\n", hollin::L10n::text(hollin::msg("確認中")).c_str());
  return 0;
}
