// The user guide's format: what the parser recognises, what it reports, the bold pieces of a
// line, where the guide is looked up, and the two guides that ship.
#include <gtest/gtest.h>

#include "CoreFixtures.h"
#include "core/L10n.h"
#include "core/help/HelpDocument.h"
#include "core/memory/MenuBarStatus.h"

namespace hollin {

// A failing row names the blocks instead of their bytes.
void PrintTo(const HelpDocument::Block& block, std::ostream* out) {
  *out << "{" << static_cast<int>(block.kind) << ", " << block.number << ", \"" << block.text << "\"}";
}

namespace {

using HelpBlock = HelpDocument::Block;
using HelpStrings = std::vector<std::string>;

struct HelpParseRow {
  const char* name;
  std::string text;
  std::vector<HelpBlock> blocks;  // of the last section
  HelpStrings problems;
};

TEST(HelpDocument, ParsesTheSubsetInFileOrderAndReportsEverythingElse) {
  const std::string head = "# Guide\n## Group\n### Section\n";  // lines 1 to 3
  const HelpParseRow rows[] = {
      {"a section before any group", "### Alone\ntext", {HelpBlock::paragraph("text")},
       {"1: 項目（### ）の前に分類（## ）がない", "題（# ）がない"}},
      {"a quotation on line 7", head + "a\n\n\n> quoted text that is long\n",
       {HelpBlock::paragraph("a")}, {"7: 使えない書き方 > quoted tex"}},
      {"a nested bullet", head + "- one\n  - two\n", {HelpBlock::bullet("one")}, {"5: 入れ子の箇条は使えない"}},
      {"an indented line continues a bullet", head + "- one\n  more\n\tand more\nplain\n",
       {HelpBlock::bullet("one more and more"), HelpBlock::paragraph("plain")}, {}},
      {"an empty file", "", {}, {"題（# ）がない", "項目（### ）がない"}},
      {"a second title", head + "# Again\n", {}, {"4: 題（# ）は先頭に1つだけ"}},
      {"content before the first section", "# Guide\ntext\n## Group\n- item\n### Section\n", {},
       {"2: 項目（### ）の前に本文がある", "4: 項目（### ）の前に本文がある"}},
      {"steps up to 99", head + "1. one\n12. twelve\n123. no\n1.x no\n",
       {HelpBlock::step(1, "one"), HelpBlock::step(12, "twelve"), HelpBlock::paragraph("123. no 1.x no")}, {}},
      {"an unclosed comment skips only its line", head + "a\n<!-- never closed\nb\n\nc\n",
       {HelpBlock::paragraph("a b"), HelpBlock::paragraph("c")}, {"5: 閉じていない注釈（<!-- ）"}},
      {"a closed comment spans lines", head + "a\n<!-- one\n### hidden\n-->\nb\n<!-- x -->\nc\n",
       {HelpBlock::paragraph("a b c")}, {}},
      {"CRLF lines", "# Guide\r\n## Group\r\n### Section\r\n- one\r\n  two\r\n\r\nthree\r\n",
       {HelpBlock::bullet("one two"), HelpBlock::paragraph("three")}, {}},
      {"unsupported lines", head + "#### deep\n| a | b |\n```\n* star\n---\n",
       {}, {"4: 使えない書き方 #### deep", "5: 使えない書き方 | a | b |", "6: 使えない書き方 ```",
            "7: 使えない書き方 * star", "8: 使えない書き方 ---"}},
  };
  for (const auto& row : rows) {
    const HelpDocument document = HelpDocument::parse(row.text);
    EXPECT_EQ(document.problems, row.problems) << row.name;
    const auto blocks = document.sections.empty() ? std::vector<HelpBlock>{} : document.sections.back().blocks;
    EXPECT_EQ(blocks, row.blocks) << row.name;
  }
  // A clean guide: the title trimmed, each section under its group, in file order.
  EXPECT_EQ(HelpDocument::parse("#   The guide  \n## A\n### One\n### Two\n## B\n### Three\n"),
            (HelpDocument{"The guide", {{"A", "One", {}}, {"A", "Two", {}}, {"B", "Three", {}}}, {}}));
}

TEST(HelpDocument, SpansSplitAtPairsOfMarkers) {
  using Spans = std::vector<HelpDocument::Span>;
  const std::pair<const char*, Spans> rows[] = {
      {"", {}},
      {"plain", {{"plain", false}}},
      {"a **b** c", {{"a ", false}, {"b", true}, {" c", false}}},
      {"**b**", {{"b", true}}},
      {"a****b", {{"a", false}, {"", true}, {"b", false}}},
      {"a **b", {{"a ", false}, {"**b", false}}},
      {"**x** and **y", {{"x", true}, {" and ", false}, {"**y", false}}},
  };
  for (const auto& [text, spans] : rows) EXPECT_EQ(HelpDocument::spans(text), spans) << text;
}

TEST(HelpDocument, LoadsTheLanguageThenEnglishFromTheFirstFolderThatHasIt) {
  const test::TempFolder folder;
  const auto titleFound = [&] { return HelpDocument::load("ja", {folder.path / "first", folder.path / "second"})->title; };
  folder.write("second/en.lproj/Help.md", "# English\n## G\n### S\n");
  EXPECT_EQ(titleFound(), "English") << "ja falls back to en";
  folder.write("first/ja.lproj/Help.md", std::string(HelpDocument::sizeLimit + 1, 'x'));
  EXPECT_EQ(titleFound(), "English") << "too large is unread";
  folder.write("second/ja.lproj/Help.md", "\xEF\xBB\xBF# 日本語\n");
  EXPECT_EQ(titleFound(), "日本語");
  EXPECT_FALSE(HelpDocument::load("ja", {folder.path / "missing"}));
}

TEST(HelpDocument, TheShippedGuidesParseCleanlyAndMatch) {
  const auto ja = HelpDocument::load("ja", {L10n::sourceResourcesDirectory()});
  const auto en = HelpDocument::load("en", {L10n::sourceResourcesDirectory()});
  ASSERT_TRUE(ja && en);
  EXPECT_EQ(ja->problems, HelpStrings{});
  EXPECT_EQ(en->problems, HelpStrings{});
  ASSERT_GT(ja->sections.size(), std::size_t(HelpDocument::statusSection));
  // With no problems every section has a group; the groups change at the same sections.
  const auto groupStarts = [](const HelpDocument& guide) {
    std::vector<bool> starts;
    for (std::size_t i = 0; i < guide.sections.size(); ++i)
      starts.push_back(i == 0 || guide.sections[i].group != guide.sections[i - 1].group);
    return starts;
  };
  ASSERT_EQ(groupStarts(*ja), groupStarts(*en));
  // The status help opens on the levels: it names each one as the tray shows it.
  for (const auto& [guide, language] : {std::pair{&*ja, "ja"}, std::pair{&*en, "en"}}) {
    std::string levels;
    for (const auto& block : guide->sections[HelpDocument::statusSection].blocks) levels += block.text;
    for (MenuBarLevel level : allMenuBarLevels)
      EXPECT_NE(levels.find(L10n::render(title(level), language)), std::string::npos) << language << " " << rawValue(level);
  }
}

}  // namespace
}  // namespace hollin
