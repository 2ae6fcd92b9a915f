// User-perceived characters: what a reader counts as one letter, an emoji with its modifiers or
// a letter with its accents, as ICU's character break rules find them in UTF-8 text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace hollin {

// The number of user-perceived characters of `text`.
std::size_t characterCount(std::string_view text);
// The first `count` user-perceived characters of `text`; all of it when it is no longer.
std::string firstCharacters(std::string_view text, std::size_t count);
// `text` as well-formed UTF-8, each malformed sequence turned into U+FFFD (as a JSON writer
// would turn it), cut to at most `byteLimit` bytes, never inside a character. Text read from the
// system may be any bytes; stored or shared as it is, it would come back different.
std::string wellFormedUTF8(std::string_view text, std::size_t byteLimit = std::string::npos);

}  // namespace hollin
