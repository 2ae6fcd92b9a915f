#include "core/L10n.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>

namespace hollin {
namespace {

using L10n::substitute;

TEST(L10nRender, SubstitutesPlaceholdersByIndex) {
  EXPECT_EQ(substitute("{1} と {0}", {"a", "b"}), "b と a");
  EXPECT_EQ(substitute("{1} と {0}", {"a"}), "{1} と a");
  EXPECT_EQ(substitute("残り {0}", {}), "残り {0}");
  EXPECT_EQ(substitute("{+0}/{-0}/{007}", {"x"}), "x/x/{007}");
}

TEST(L10nRender, LeavesMalformedPlaceholdersAsWritten) {
  EXPECT_EQ(substitute("値 {0} と {abc", {"1"}), "値 1 と {abc");
  EXPECT_EQ(substitute("{{0}}", {"x"}), "{{0}}");
  EXPECT_EQ(substitute("{} {a} {-1} {2} {+} {1 }", {"x", "y"}), "{} {a} {-1} {2} {+} {1 }");
  EXPECT_EQ(substitute("{99999999999999999999999}", {"x"}), "{99999999999999999999999}");
  EXPECT_EQ(substitute("終わり {", {"x"}), "終わり {");
  EXPECT_EQ(substitute("}{0}", {"x"}), "}x");
}

TEST(L10nRender, InsertsArgumentsVerbatim) {
  EXPECT_EQ(substitute("{0}{1}", {"{1}", "z"}), "{1}z");
}

TEST(L10nRender, FallsBackFromTheLanguageToEnglishToTheKey) {
  const L10n::StringTable ja = {{"両方", "両方（改）"}};
  const L10n::StringTable en = {{"両方", "Both {0}"}, {"英語だけ {0}", "English only {0}"}};
  const L10n::StringTable empty;
  EXPECT_EQ(L10n::renderFrom({"両方", {"x"}}, &ja, &en), "両方（改）");
  EXPECT_EQ(L10n::renderFrom({"英語だけ {0}", {"x"}}, &ja, &en), "English only x");
  EXPECT_EQ(L10n::renderFrom({"どこにもない {0}", {"x"}}, &ja, &en), "どこにもない x");
  // An empty table counts as no table at all.
  EXPECT_EQ(L10n::renderFrom({"両方", {"x"}}, &empty, &en), "Both x");
  EXPECT_EQ(L10n::renderFrom({"両方", {}}, nullptr, nullptr), "両方");
}

TEST(L10nRender, UsesTheShippedTables) {
  EXPECT_EQ(L10n::render(msg("取得不可"), "en"), "Unavailable");
  EXPECT_EQ(L10n::render(msg("取得不可"), "ja"), "取得不可");
  EXPECT_EQ(L10n::render(msg("取得不可"), "fr"), "Unavailable");
  EXPECT_FALSE(L10n::catalog("ja").empty());
  EXPECT_TRUE(L10n::catalog("de").empty());
  EXPECT_EQ(L10n::legacy("取得不可"), L10n::text(msg("取得不可")));
}

TEST(L10nLanguage, ChoosesTheFirstJapaneseOrEnglishEntry) {
  EXPECT_EQ(L10n::languageFor({"fr-FR", "ja-JP"}), "ja");
  EXPECT_EQ(L10n::languageFor({"zh_Hant_TW"}), "en");
  EXPECT_EQ(L10n::languageFor({"EN_GB", "ja"}), "en");
  EXPECT_EQ(L10n::languageFor({}), "en");
  EXPECT_EQ(L10n::languageFor({"-ja"}), "ja");
  EXPECT_EQ(L10n::languageFor({"", "--", "JA_jp"}), "ja");
  EXPECT_EQ(L10n::languageFor({"jav", "eng"}), "en");
}

TEST(L10nLanguage, ReadsTheLinuxLocaleVariablesInOrder) {
  auto from = [](std::map<std::string, std::string> env) {
    return L10n::preferredLanguages([env](const char* name) -> const char* {
      auto it = env.find(name);
      return it == env.end() ? nullptr : it->second.c_str();
    });
  };
  using List = std::vector<std::string>;
  EXPECT_EQ(from({{"LANGUAGE", "fr:ja_JP::en"}, {"LC_ALL", "de_DE.UTF-8"}, {"LANG", "C"}}),
            (List{"fr", "ja_JP", "en", "de_DE"}));
  EXPECT_EQ(from({{"LC_MESSAGES", "ja_JP.eucJP@cjknarrow"}, {"LANG", "en_US.UTF-8"}}),
            (List{"ja_JP", "en_US"}));
  EXPECT_EQ(from({{"LC_ALL", "POSIX"}, {"LANG", "C.UTF-8"}}), List{});
  EXPECT_EQ(L10n::languageFor(from({{"LANGUAGE", "fr"}, {"LANG", "ja_JP.UTF-8"}})), "ja");
}

TEST(L10nTables, LoadsOnlyDictionariesOfStrings) {
  const auto folder = std::filesystem::temp_directory_path() /
                      ("hollin-l10n-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  auto write = [&folder](const char* name, const std::string& text) {
    std::ofstream(folder / name, std::ios::binary) << text;
    return folder / name;
  };
  const std::string head =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">";
  const auto good = write("good.strings", head + "<dict><key>鍵</key><string>Key</string></dict></plist>");
  const auto mixed = write("mixed.strings", head + "<dict><key>鍵</key><integer>1</integer></dict></plist>");
  const auto list = write("list.strings", head + "<array><string>a</string></array></plist>");
  const auto broken = write("broken.strings", head + "<dict><key>鍵</key>");
  EXPECT_EQ(L10n::loadTable(good), (L10n::StringTable{{"鍵", "Key"}}));
  EXPECT_FALSE(L10n::loadTable(mixed));
  EXPECT_FALSE(L10n::loadTable(list));
  EXPECT_FALSE(L10n::loadTable(broken));
  EXPECT_FALSE(L10n::loadTable(folder / "missing.strings"));
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace hollin
