// The user guide's Markdown subset. Besides not failing: every block has text, every problem
// has its line number or is one of the two end-of-file checks, and a line's spans put back
// together with their markers give the line again.
#include "FuzzTarget.h"
#include "core/help/HelpDocument.h"

namespace hollin {
namespace {

int fuzzHelpDocument(const std::uint8_t* data, std::size_t size) {
  const HelpDocument document = HelpDocument::parse(fuzz::text(data, size));
  for (const std::string& problem : document.problems)
    fuzz::require((problem[0] >= '1' && problem[0] <= '9') || problem == "題（# ）がない" || problem == "項目（### ）がない",
                  "a problem starts with its line number");
  for (const auto& section : document.sections)
    for (const auto& block : section.blocks) {
      fuzz::require(!block.text.empty(), "every block has text");
      std::string joined;
      for (const auto& span : HelpDocument::spans(block.text)) joined += span.bold ? "**" + span.text + "**" : span.text;
      fuzz::require(joined == block.text, "the spans are the whole line");
    }
  return 0;
}

const fuzz::Registration registered("help", fuzzHelpDocument);

}  // namespace
}  // namespace hollin
