#include "core/L10n.h"

#include <gtest/gtest.h>

#include <limits>

#include "CoreFixtures.h"
#include "core/ByteCount.h"

namespace hollin {
namespace {

TEST(L10nRender, SubstitutesPlaceholdersByIndexAndLeavesMalformedOnesAsWritten) {
  struct Row { const char* templ; std::vector<std::string> arguments; const char* expected; };
  const Row rows[] = {
      // By index ("+0" and "-0" are 0, "007" is 7); a placeholder without its argument stays.
      {"{1} と {0}", {"a", "b"}, "b と a"}, {"{1} と {0}", {"a"}, "{1} と a"}, {"{+0}/{-0}/{007}", {"x"}, "x/x/{007}"},
      {"{0}{1}", {"{1}", "z"}, "{1}z"},  // arguments go in verbatim
      // Malformed placeholders stay as written.
      {"値 {0} と {abc", {"1"}, "値 1 と {abc"}, {"{{0}}", {"x"}, "{{0}}"}, {"終わり {", {"x"}, "終わり {"},
      {"{} {a} {-1} {2} {+} {1 }", {"x", "y"}, "{} {a} {-1} {2} {+} {1 }"}, {"}{0}", {"x"}, "}x"},
      {"{99999999999999999999999}", {"x"}, "{99999999999999999999999}"},
  };
  for (const Row& row : rows) EXPECT_EQ(L10n::substitute(row.templ, row.arguments), row.expected) << row.templ;
  EXPECT_EQ(msg("比率 {0}", 1.5).arguments, std::vector<std::string>{"1.5"});
}

TEST(L10nRender, FallsBackFromTheLanguageToEnglishToTheKey) {
  const L10n::StringTable ja = {{"両方", "両方（改）"}};
  const L10n::StringTable en = {{"両方", "Both {0}"}, {"英語だけ {0}", "English only {0}"}};
  const L10n::StringTable empty;
  EXPECT_EQ(L10n::renderFrom({"両方", {"x"}}, &ja, &en), "両方（改）");
  EXPECT_EQ(L10n::renderFrom({"英語だけ {0}", {"x"}}, &ja, &en), "English only x");
  EXPECT_EQ(L10n::renderFrom({"どこにもない {0}", {"x"}}, &ja, &en), "どこにもない x");
  EXPECT_EQ(L10n::renderFrom({"両方", {"x"}}, &empty, &en), "Both x") << "an empty table is no table";
  EXPECT_EQ(L10n::renderFrom({"両方", {}}, nullptr, nullptr), "両方");
  // The shipped tables, English for any other language.
  EXPECT_EQ(L10n::render(msg("取得不可"), "fr"), "Unavailable");
  EXPECT_FALSE(L10n::catalog("ja").empty());
}

TEST(L10nLanguage, TheFirstJapaneseOrEnglishEntryOfTheLocaleVariables) {
  using List = std::vector<std::string>;
  const std::pair<List, const char*> choices[] = {
      {{"fr-FR", "ja-JP"}, "ja"}, {{"zh_Hant_TW"}, "en"}, {{"EN_GB", "ja"}, "en"}, {{}, "en"},
      {{"-ja"}, "ja"},            {{"", "--", "JA_jp"}, "ja"}, {{"jav", "eng"}, "en"},
  };
  for (const auto& [preferred, language] : choices) EXPECT_EQ(L10n::languageFor(preferred), language);

  auto from = [](std::map<std::string, std::string> env) {
    return L10n::preferredLanguages([env](const char* name) { return env.contains(name) ? env.at(name).c_str() : nullptr; });
  };
  EXPECT_EQ(from({{"LANGUAGE", "fr:ja_JP::en"}, {"LC_ALL", "de_DE.UTF-8"}, {"LANG", "C"}}),
            (List{"fr", "ja_JP", "en", "de_DE"}));
  EXPECT_EQ(from({{"LC_MESSAGES", "ja_JP.eucJP@cjknarrow"}, {"LANG", "en_US.UTF-8"}}), (List{"ja_JP", "en_US"}));
  EXPECT_EQ(from({{"LC_ALL", "POSIX"}, {"LANG", "C.UTF-8"}}), List{});
}

TEST(L10nTables, LoadsOnlyDictionariesOfStrings) {
  const test::TempFolder folder;
  const auto write = [&folder](const char* name, const std::string& body) {
    return folder.write(name, R"(<?xml version="1.0" encoding="UTF-8"?><plist version="1.0">)" + body);
  };
  EXPECT_EQ(L10n::loadTable(write("good", "<dict><key>鍵</key><string>Key</string></dict></plist>")),
            (L10n::StringTable{{"鍵", "Key"}}));
  EXPECT_FALSE(L10n::loadTable(write("mixed", "<dict><key>鍵</key><integer>1</integer></dict></plist>")));
  EXPECT_FALSE(L10n::loadTable(write("list", "<array><string>a</string></array></plist>")));
  EXPECT_FALSE(L10n::loadTable(write("broken", "<dict><key>鍵</key>")));
  EXPECT_FALSE(L10n::loadTable(folder.path / "missing"));
}

TEST(ByteCount, DigitsByUnitRoundedHalfUpCarryingIntoTheNextUnit) {
  constexpr auto memory = ByteCountStyle::memory, file = ByteCountStyle::file;
  struct Row { std::uint64_t bytes; ByteCountStyle style; const char* language; const char* expected; };
  const Row rows[] = {
      // Below one unit: bytes, grouped, "byte" for one.
      {0, memory, "ja", "0 バイト"}, {1023, memory, "ja", "1,023 バイト"}, {999, file, "ja", "999 バイト"},
      {1, memory, "en", "1 byte"}, {2, file, "en", "2 bytes"},
      // No fraction digit for KB, one for MB, two from GB on; half up; trailing zeros dropped.
      {1535, memory, "en", "1 KB"}, {1536, memory, "en", "2 KB"}, {1'000, file, "en", "1 KB"},
      {1'250'000, file, "en", "1.3 MB"}, {1'500'000'000, file, "en", "1.5 GB"},
      {1'234'567'890, file, "en", "1.23 GB"}, {1'235'000'000, file, "en", "1.24 GB"},
      {512'110'190'592, file, "en", "512.11 GB"}, {2'000'398'934'016, file, "en", "2 TB"},
      // Rounding up to a whole next unit gives that unit.
      {999'999, file, "en", "1 MB"}, {999'499, file, "en", "999 KB"}, {1024 * 1023 + 511, memory, "en", "1,023 KB"},
      {(1ull << 30) - 1, memory, "en", "1 GB"}, {std::numeric_limits<std::uint64_t>::max(), memory, "en", "16 EB"},
  };
  for (const Row& row : rows) EXPECT_EQ(formatByteCount(row.bytes, row.style, row.language), row.expected) << row.bytes;
}

}  // namespace
}  // namespace hollin
