// The user guide: a strict, small subset of Markdown ("# " title, "## " groups, "### " sections,
// paragraphs, "- " bullets, "1. " steps, "**bold**", "<!-- -->" comments), one file per
// language. The parser never guesses at anything else: it reports it as a problem and goes on.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hollin {

struct HelpDocument {
  // A paragraph, a bullet or a numbered step of a section.
  struct Block {
    enum class Kind { paragraph, bullet, step };
    Kind kind = Kind::paragraph;
    int number = 0;  // a step's number as written
    std::string text;

    static Block paragraph(std::string text) { return {Kind::paragraph, 0, std::move(text)}; }
    static Block bullet(std::string text) { return {Kind::bullet, 0, std::move(text)}; }
    static Block step(int number, std::string text) { return {Kind::step, number, std::move(text)}; }
    bool operator==(const Block&) const = default;
  };

  struct Section {
    std::string group;  // the last "## " heading before the section
    std::string title;  // its "### " heading
    std::vector<Block> blocks;
    bool operator==(const Section&) const = default;
  };

  // A piece of a line of text, bold between a pair of "**".
  struct Span {
    std::string text;
    bool bold = false;
    bool operator==(const Span&) const = default;
  };

  // The section that explains the tray levels, where the status help opens.
  static constexpr int statusSection = 3;
  // A guide is a few dozen KiB; a larger file is not one.
  static constexpr std::size_t sizeLimit = 1024 * 1024;  // bytes

  std::string title;  // empty when there is none
  std::vector<Section> sections;
  // "<line>: <message>" per violation in file order, then the end-of-file checks.
  std::vector<std::string> problems;

  bool operator==(const HelpDocument&) const = default;

  // Never fails: whatever is not recognised becomes a problem.
  static HelpDocument parse(std::string_view text);
  // The plain and bold pieces of a line, in order.
  static std::vector<Span> spans(std::string_view text);
  // "<folder>/<language>.lproj/Help.md", for `language` then "en", each through the folders in
  // order; the first file that can be read (a regular file of at most sizeLimit bytes), parsed.
  static std::optional<HelpDocument> load(std::string_view language,
                                          const std::vector<std::filesystem::path>& folders);
};

}  // namespace hollin
