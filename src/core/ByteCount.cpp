#include "core/ByteCount.h"

#include <array>

#include "core/L10n.h"

namespace hollin {

namespace {

__extension__ using Wide = unsigned __int128;

constexpr std::array<const char*, 6> unitNames = {"KB", "MB", "GB", "TB", "PB", "EB"};
constexpr std::array<int, 6> fractionDigits = {0, 1, 2, 2, 2, 2};

std::string groupThousands(std::uint64_t whole) {
  const std::string digits = std::to_string(whole);
  std::string grouped;
  grouped.reserve(digits.size() + digits.size() / 3);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) grouped += ',';
    grouped += digits[i];
  }
  return grouped;
}

}  // namespace

std::string formatByteCount(std::uint64_t bytes, ByteCountStyle style, std::string_view language) {
  const Wide base = style == ByteCountStyle::memory ? 1024 : 1000;
  if (bytes < base) {
    if (bytes == 1) return L10n::render(msg("1 バイト"), language);
    return L10n::render(msg("{0} バイト", groupThousands(bytes)), language);
  }
  std::size_t unit = 0;
  Wide divisor = base;
  while (unit + 1 < unitNames.size() && bytes >= divisor * base) {
    divisor *= base;
    ++unit;
  }
  for (;;) {
    Wide scale = 1;
    for (int i = 0; i < fractionDigits[unit]; ++i) scale *= 10;
    // Half up at the last digit shown.
    const Wide scaled = (Wide{bytes} * scale * 2 + divisor) / (divisor * 2);
    if (scaled >= base * scale && unit + 1 < unitNames.size()) {
      divisor *= base;
      ++unit;
      continue;
    }
    std::string text = groupThousands(static_cast<std::uint64_t>(scaled / scale));
    std::string fraction;
    Wide rest = scaled % scale;
    for (Wide digit = scale / 10; digit > 0; digit /= 10) {
      fraction += static_cast<char>('0' + static_cast<int>(rest / digit));
      rest %= digit;
    }
    while (!fraction.empty() && fraction.back() == '0') fraction.pop_back();
    if (!fraction.empty()) text += "." + fraction;
    return text + " " + unitNames[unit];
  }
}

}  // namespace hollin
