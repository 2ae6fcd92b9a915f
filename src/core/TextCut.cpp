#include "core/TextCut.h"

#include <unicode/brkiter.h>
#include <unicode/utf8.h>
#include <unicode/utext.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <memory>

namespace hollin {
namespace {

// Walks `text` break by break and returns the byte offset after `count` characters (or the
// end), with the number of characters walked. Invalid bytes count as one character each.
std::pair<std::size_t, std::size_t> walk(std::string_view text, std::size_t count) {
  // Opening a break iterator loads its rules; one per thread is kept and reset to each text.
  thread_local std::unique_ptr<icu::BreakIterator> iterator = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> made(icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    return U_SUCCESS(status) ? std::move(made) : nullptr;
  }();
  UErrorCode status = U_ZERO_ERROR;
  UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
  if (!iterator || U_FAILURE(status)) {
    utext_close(utext);
    // Without ICU's rules, code points are the closest count there is.
    std::size_t walked = 0, offset = 0;
    while (offset < text.size() && walked < count) {
      ++offset;
      while (offset < text.size() && (static_cast<unsigned char>(text[offset]) & 0xC0) == 0x80) ++offset;
      ++walked;
    }
    return {offset, walked};
  }
  iterator->setText(utext, status);
  std::size_t walked = 0;
  std::int32_t offset = iterator->first();
  while (walked < count) {
    const std::int32_t next = iterator->next();
    if (next == icu::BreakIterator::DONE) break;
    offset = next;
    ++walked;
  }
  utext_close(utext);
  return {static_cast<std::size_t>(offset), walked};
}

}  // namespace

std::size_t characterCount(std::string_view text) { return walk(text, text.size()).second; }

std::string firstCharacters(std::string_view text, std::size_t count) {
  // Every character takes at least one byte.
  if (text.size() <= count) return std::string(text);
  return std::string(text.substr(0, walk(text, count).first));
}

std::string wellFormedUTF8(std::string_view text, std::size_t byteLimit) {
  std::string mended;
  const auto length = static_cast<std::int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
  for (std::int32_t index = 0; index < length;) {
    const std::int32_t begin = index;
    UChar32 character = 0;
    U8_NEXT(text.data(), index, length, character);
    const std::string_view piece =
        character < 0 ? std::string_view("\xEF\xBF\xBD")
                      : text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(index - begin));
    if (mended.size() + piece.size() > byteLimit) break;
    mended += piece;
  }
  return mended;
}

}  // namespace hollin
