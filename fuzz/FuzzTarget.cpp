#include "FuzzTarget.h"

#include <cstdio>
#include <cstdlib>

namespace hollin::fuzz {

namespace {

// Built on first use: registrations run during static initialisation, in any order.
std::vector<Target>& registry() {
  static std::vector<Target> all;
  return all;
}

}  // namespace

const std::vector<Target>& targets() { return registry(); }

const Target* findTarget(std::string_view name) {
  for (const Target& target : registry())
    if (target.name == name) return &target;
  return nullptr;
}

Registration::Registration(std::string_view name, Entry entry) {
  registry().push_back({name, entry});
}

std::optional<Choice> choose(const std::uint8_t* data, std::size_t size, std::size_t parsers) {
  if (size == 0 || parsers == 0) return std::nullopt;
  const auto index = static_cast<std::uint8_t>(data[0] - '0');
  return Choice{index % parsers, text(data + 1, size - 1)};
}

void require(bool holds, const char* what) {
  if (holds) return;
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

}  // namespace hollin::fuzz
