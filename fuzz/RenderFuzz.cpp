// The text rendering of what others wrote: a message template (from a string table or a stored
// record) filled with arguments (process and account names, figures), an older archive's
// Japanese sentences turned into English, and the order in which names are listed. The input
// is the template, then each argument, separated by NUL bytes.
#include <compare>
#include <string>
#include <vector>

#include "FuzzTarget.h"
#include "core/L10n.h"
#include "core/memory/NameOrdering.h"
#include "core/ssd/SSDHealthArchive.h"

namespace hollin {
namespace {

std::vector<std::string> pieces(std::string_view text) {
  std::vector<std::string> all;
  for (;;) {
    const auto end = text.find('\0');
    all.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) return all;
    text.remove_prefix(end + 1);
  }
}

std::weak_ordering reversed(std::weak_ordering order) { return 0 <=> order; }

int fuzzRender(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> arguments = pieces(fuzz::text(data, size));
  const std::string templ = std::move(arguments.front());
  arguments.erase(arguments.begin());

  const std::string filled = L10n::substitute(templ, arguments);
  if (templ.find('{') == std::string::npos) fuzz::require(filled == templ, "a template without braces is the text");
  const LocalizedMessage message{templ, arguments};
  L10n::render(message, "ja");
  L10n::render(message, "en");
  SSDHealthEvent::translateLegacy(templ, "en");

  // Sorting names needs a consistent order: swapping two names reverses it.
  for (std::size_t i = 0; i + 1 < arguments.size(); ++i) {
    const auto order = localizedStandardCompare(arguments[i], arguments[i + 1]);
    fuzz::require(localizedStandardCompare(arguments[i + 1], arguments[i]) == reversed(order),
                  "name order is antisymmetric");
  }
  return 0;
}

const fuzz::Registration registered("render", fuzzRender);

}  // namespace
}  // namespace hollin
