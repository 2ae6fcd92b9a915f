#include "core/help/HelpDocument.h"

#include <charconv>

#include "core/SmallFile.h"
#include "core/TextCut.h"

namespace hollin {
namespace {

constexpr std::string_view helpFileName = "Help.md";
constexpr std::string_view byteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t unsupportedQuoteLength = 12;  // characters of the line a problem quotes

// ASCII blanks, and the no-break and ideographic spaces a Japanese line may be indented with.
std::string_view trimHelpBlanks(std::string_view text) {
  const auto blankAt = [&text](std::size_t at) -> std::size_t {
    for (std::string_view blank : {" ", "\t", "\v", "\f", "\xC2\xA0", "\xE3\x80\x80"})
      if (text.substr(at, blank.size()) == blank) return blank.size();
    return 0;
  };
  while (const std::size_t size = text.empty() ? 0 : blankAt(0)) text.remove_prefix(size);
  const auto blankAtEnd = [&]() -> std::size_t {
    for (std::size_t size : {1, 2, 3})
      if (size <= text.size() && blankAt(text.size() - size) == size) return size;
    return 0;
  };
  while (const std::size_t size = blankAtEnd()) text.remove_suffix(size);
  return text;
}

// "1. Text" or "12. Text": the number and the text; steps are numbered up to 99.
std::optional<HelpDocument::Block> helpStep(std::string_view line) {
  const std::size_t dot = line.find('.');
  if (dot != 1 && dot != 2) return std::nullopt;
  if (line.size() <= dot + 1 || line[dot + 1] != ' ') return std::nullopt;
  int number = 0;
  const auto [end, error] = std::from_chars(line.data(), line.data() + dot, number);
  if (error != std::errc() || end != line.data() + dot) return std::nullopt;
  return HelpDocument::Block::step(number, std::string(trimHelpBlanks(line.substr(dot + 1))));
}

bool unsupportedHelpLine(std::string_view line) {
  for (std::string_view start : {"#", ">", "|", "```", "* ", "---"})
    if (line.starts_with(start)) return true;
  return false;
}

class HelpParser {
 public:
  HelpDocument run(std::string_view text) {
    std::vector<std::string> raw;
    for (;;) {
      const std::size_t end = text.find('\n');
      std::string line(text.substr(0, end));
      std::erase(line, '\r');
      raw.push_back(std::move(line));
      if (end == std::string_view::npos) break;
      text.remove_prefix(end + 1);
    }
    // The first line at or after each one that closes a comment, found once from the end.
    std::vector<std::size_t> nextClose(raw.size() + 1, raw.size());
    for (std::size_t i = raw.size(); i-- > 0;)
      nextClose[i] = raw[i].find("-->") != std::string::npos ? i : nextClose[i + 1];

    for (std::size_t i = 0; i < raw.size(); ++i) {
      const std::size_t number = i + 1;
      const std::string_view line = trimHelpBlanks(raw[i]);
      if (line.starts_with("<!--")) {
        if (line.find("-->", 4) != std::string_view::npos) continue;
        // An unclosed comment would swallow the rest of the guide: only its line is skipped.
        if (nextClose[i + 1] == raw.size()) problem(number, "閉じていない注釈（<!-- ）");
        else i = nextClose[i + 1];
        continue;
      }
      if (line.empty()) {
        closeParagraph();
        closeItem();
      } else if (line.starts_with("### ")) {
        if (!group_) problem(number, "項目（### ）の前に分類（## ）がない");
        closeSection();
        section_ = HelpDocument::Section{group_.value_or(""), std::string(line.substr(4)), {}};
      } else if (line.starts_with("## ")) {
        closeSection();
        group_ = std::string(line.substr(3));
      } else if (line.starts_with("# ")) {
        if (document_.title.empty() && !group_ && !section_ && document_.sections.empty())
          document_.title = std::string(trimHelpBlanks(line.substr(2)));
        else
          problem(number, "題（# ）は先頭に1つだけ");
      } else if (unsupportedHelpLine(line)) {
        problem(number, "使えない書き方 " + firstCharacters(line, unsupportedQuoteLength));
      } else if (!section_) {
        // Before the first section, or between a group heading and its first section.
        problem(number, "項目（### ）の前に本文がある");
      } else {
        content(number, line, raw[i].starts_with(' ') || raw[i].starts_with('\t'));
      }
    }
    closeSection();
    if (document_.title.empty()) document_.problems.push_back("題（# ）がない");
    if (document_.sections.empty()) document_.problems.push_back("項目（### ）がない");
    return std::move(document_);
  }

 private:
  void content(std::size_t number, std::string_view line, bool indented) {
    if (item_ && indented) {
      if (line.starts_with("- ")) problem(number, "入れ子の箇条は使えない");
      else item_->text.append(" ").append(line);
      return;
    }
    std::optional<HelpDocument::Block> item;
    if (line.starts_with("- ")) item = HelpDocument::Block::bullet(std::string(trimHelpBlanks(line.substr(2))));
    else item = helpStep(line);
    closeItem();
    if (item) {
      closeParagraph();
      item_ = std::move(item);
    } else {
      paragraph_.emplace_back(line);
    }
  }

  void problem(std::size_t line, std::string_view message) {
    document_.problems.push_back(std::to_string(line) + ": " + std::string(message));
  }

  void closeParagraph() {
    if (paragraph_.empty()) return;
    std::string joined = paragraph_.front();
    for (std::size_t i = 1; i < paragraph_.size(); ++i) joined.append(" ").append(paragraph_[i]);
    section_->blocks.push_back(HelpDocument::Block::paragraph(std::move(joined)));
    paragraph_.clear();
  }

  void closeItem() {
    if (!item_) return;
    section_->blocks.push_back(std::move(*item_));
    item_.reset();
  }

  void closeSection() {
    if (!section_) return;
    closeParagraph();
    closeItem();
    document_.sections.push_back(std::move(*section_));
    section_.reset();
  }

  HelpDocument document_;
  std::optional<std::string> group_;
  std::optional<HelpDocument::Section> section_;  // paragraphs and items exist only inside one
  std::vector<std::string> paragraph_;
  std::optional<HelpDocument::Block> item_;  // the open bullet or step
};

}  // namespace

HelpDocument HelpDocument::parse(std::string_view text) { return HelpParser().run(text); }

std::vector<HelpDocument::Span> HelpDocument::spans(std::string_view text) {
  std::vector<Span> pieces;
  std::size_t position = 0;
  for (;;) {
    const std::size_t open = text.find("**", position);
    if (open == std::string_view::npos) break;
    if (open > position) pieces.push_back({std::string(text.substr(position, open - position)), false});
    const std::size_t close = text.find("**", open + 2);
    if (close == std::string_view::npos) {
      // An unpaired marker is text like any other.
      pieces.push_back({std::string(text.substr(open)), false});
      return pieces;
    }
    pieces.push_back({std::string(text.substr(open + 2, close - open - 2)), true});
    position = close + 2;
  }
  if (position < text.size()) pieces.push_back({std::string(text.substr(position)), false});
  return pieces;
}

std::optional<HelpDocument> HelpDocument::load(std::string_view language,
                                               const std::vector<std::filesystem::path>& folders) {
  std::vector<std::string> languages{std::string(language)};
  if (language != "en") languages.emplace_back("en");
  for (const std::string& candidate : languages)
    for (const auto& folder : folders) {
      const auto bytes = readSmallFile(folder / (candidate + ".lproj") / helpFileName, sizeLimit);
      if (!bytes) continue;
      std::string_view text = *bytes;
      if (text.starts_with(byteOrderMark)) text.remove_prefix(byteOrderMark.size());
      return parse(wellFormedUTF8(text));
    }
  return std::nullopt;
}

}  // namespace hollin
