// Every message the code can show must have a wording in both string tables, with the same
// placeholders as its key. Messages are found by their one spelling in the sources:
// msg("…", args…) and interpolated("…", value, "…").
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "core/L10n.h"

namespace hollin {
namespace {

struct FoundKey {
  std::string key;
  std::string where;
};

// A small C++ scanner: enough to skip comments, character and string literals (raw ones too)
// and to split a call's arguments at its top-level commas.
class SourceScanner {
 public:
  SourceScanner(std::string text, std::string file) : text_(std::move(text)), file_(std::move(file)) {}

  void scan(std::vector<FoundKey>& found, std::vector<std::string>& problems) {
    while (pos_ < text_.size()) {
      if (skipCommentOrLiteral()) continue;
      const char c = text_[pos_];
      if (!isIdentifierChar(c)) {
        ++pos_;
        continue;
      }
      const std::size_t start = pos_;
      while (pos_ < text_.size() && isIdentifierChar(text_[pos_])) ++pos_;
      const std::string word = text_.substr(start, pos_ - start);
      if (word != "msg" && word != "interpolated") continue;
      std::size_t open = pos_;
      while (open < text_.size() && (text_[open] == ' ' || text_[open] == '\n')) ++open;
      if (open >= text_.size() || text_[open] != '(') continue;
      const std::string where = file_ + ":" + std::to_string(lineAt(start));
      pos_ = open + 1;
      std::vector<Argument> arguments = readArguments();
      if (word == "msg") {
        if (arguments.empty() || !arguments.front().literal)
          problems.push_back(where + ": msg( needs a single string literal as its template");
        else
          found.push_back({*arguments.front().literal, where});
      } else {
        std::string key;
        int next = 0;
        for (const Argument& argument : arguments)
          key += argument.literal ? *argument.literal : "{" + std::to_string(next++) + "}";
        found.push_back({key, where});
      }
    }
  }

 private:
  struct Argument {
    std::optional<std::string> literal;  // set when the argument is exactly one string literal
  };

  static bool isIdentifierChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }

  std::size_t lineAt(std::size_t offset) const {
    return 1 + static_cast<std::size_t>(std::count(text_.begin(), text_.begin() + static_cast<long>(offset), '\n'));
  }

  // Skips one comment or literal at pos_; a string literal's value goes to `value`.
  bool skipCommentOrLiteral(std::string* value = nullptr) {
    if (text_.compare(pos_, 2, "//") == 0) {
      pos_ = std::min(text_.find('\n', pos_), text_.size());
      return true;
    }
    if (text_.compare(pos_, 2, "/*") == 0) {
      const std::size_t end = text_.find("*/", pos_ + 2);
      pos_ = end == std::string::npos ? text_.size() : end + 2;
      return true;
    }
    if (text_.compare(pos_, 2, "R\"") == 0 || text_.compare(pos_, 4, "u8R\"") == 0) {
      const std::size_t quote = text_.find('"', pos_);
      const std::size_t paren = text_.find('(', quote);
      const std::string closing = ")" + text_.substr(quote + 1, paren - quote - 1) + "\"";
      const std::size_t end = text_.find(closing, paren);
      if (value) *value = text_.substr(paren + 1, end - paren - 1);
      pos_ = end == std::string::npos ? text_.size() : end + closing.size();
      return true;
    }
    if (text_.compare(pos_, 3, "u8\"") == 0) pos_ += 2;
    const char c = text_[pos_];
    if (c != '"' && c != '\'') return false;
    if (c == '\'' && pos_ > 0 && isIdentifierChar(text_[pos_ - 1])) {  // digit separator 1'000
      ++pos_;
      return true;
    }
    std::string decoded;
    for (++pos_; pos_ < text_.size() && text_[pos_] != c; ++pos_) {
      if (text_[pos_] == '\\' && pos_ + 1 < text_.size()) {
        const char escaped = text_[++pos_];
        decoded += escaped == 'n' ? '\n' : escaped == 't' ? '\t' : escaped;
      } else {
        decoded += text_[pos_];
      }
    }
    ++pos_;
    if (value) *value = std::move(decoded);
    return true;
  }

  std::vector<Argument> readArguments() {
    std::vector<Argument> arguments;
    std::string literal;
    int literals = 0;
    bool other = false;
    int depth = 0;
    auto finish = [&] {
      Argument argument;
      if (literals == 1 && !other) argument.literal = literal;
      if (literals > 0 || other) arguments.push_back(argument);
      literal.clear();
      literals = 0;
      other = false;
    };
    while (pos_ < text_.size()) {
      const bool quoted = text_[pos_] == '"' || text_.compare(pos_, 2, "R\"") == 0 ||
                          text_.compare(pos_, 3, "u8\"") == 0 || text_.compare(pos_, 4, "u8R\"") == 0;
      std::string value;
      if (skipCommentOrLiteral(&value)) {
        if (quoted && depth == 0) {
          literal = std::move(value);
          ++literals;
        } else {
          other = true;
        }
        continue;
      }
      const char c = text_[pos_++];
      if (c == '(' || c == '[' || c == '{') ++depth;
      if ((c == ')' || c == ']' || c == '}') && depth-- == 0) break;
      if (c == ',' && depth == 0) {
        finish();
        continue;
      }
      if (c != ' ' && c != '\n' && c != '\t') other = true;
    }
    finish();
    return arguments;
  }

  std::string text_;
  std::string file_;
  std::size_t pos_ = 0;
};

std::set<std::string> placeholders(const std::string& templ) {
  std::set<std::string> found;
  for (std::size_t open = templ.find('{'); open != std::string::npos; open = templ.find('{', open + 1)) {
    const std::size_t close = templ.find('}', open);
    if (close == std::string::npos) break;
    const std::string inside = templ.substr(open + 1, close - open - 1);
    if (!inside.empty() && std::all_of(inside.begin(), inside.end(), [](char c) { return c >= '0' && c <= '9'; }))
      found.insert(inside);
  }
  return found;
}

std::vector<FoundKey> keysUsedInSources(std::vector<std::string>& problems) {
  const std::filesystem::path root = std::filesystem::path(HOLLIN_SOURCE_DIR) / "src";
  std::vector<FoundKey> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const auto extension = entry.path().extension();
    if (extension != ".cpp" && extension != ".h") continue;
    // The helpers themselves, whose comments and templates are not messages.
    if (entry.path().filename() == "LocalizedMessage.h") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    SourceScanner(std::move(text), std::filesystem::relative(entry.path(), root).string())
        .scan(found, problems);
  }
  return found;
}

TEST(Catalogue, EveryMessageInTheSourcesHasBothWordings) {
  std::vector<std::string> problems;
  const std::vector<FoundKey> used = keysUsedInSources(problems);
  EXPECT_GE(used.size(), 3u) << "the scanner found almost no messages; is it still working?";
  for (const FoundKey& found : used) {
    for (const char* language : {"ja", "en"}) {
      const auto& table = L10n::catalog(language);
      if (!table.contains(found.key))
        problems.push_back(found.where + ": \"" + found.key + "\" is missing from the " + language +
                           " table (tools/strings.py add)");
    }
  }
  std::ostringstream report;
  for (const std::string& problem : problems) report << problem << '\n';
  EXPECT_TRUE(problems.empty()) << report.str();
}

TEST(Catalogue, TemplatesKeepTheirKeysPlaceholders) {
  const auto& ja = L10n::catalog("ja");
  const auto& en = L10n::catalog("en");
  ASSERT_FALSE(ja.empty());
  ASSERT_FALSE(en.empty());
  for (const auto* table : {&ja, &en}) {
    const auto* other = table == &ja ? &en : &ja;
    for (const auto& [key, templ] : *table) {
      EXPECT_EQ(placeholders(templ), placeholders(key)) << key << " → " << templ;
      EXPECT_TRUE(other->contains(key)) << key << " is in one table only";
    }
  }
}

}  // namespace
}  // namespace hollin
