// Déjà Dup's settings as gsettings lists them, and its dates on their own.
#include "FuzzTarget.h"
#include "core/early/DejaDup.h"

namespace hollin {
namespace {

int fuzzDejaDup(const std::uint8_t* data, std::size_t size) {
  const std::string_view text = fuzz::text(data, size);
  DejaDup::parse(text, "Asia/Tokyo");
  DejaDup::parseDate(text, "UTC");
  return 0;
}

const fuzz::Registration registered("dejadup", fuzzDejaDup);

}  // namespace
}  // namespace hollin
