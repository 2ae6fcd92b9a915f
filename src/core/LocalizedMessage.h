#pragma once

#include <charconv>
#include <concepts>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "core/Json.h"

namespace hollin {

// A user-visible text: the Japanese template (also the lookup key of every table) and the
// already formatted values of its {0}, {1}, ... placeholders. Rendered only at the last moment.
struct LocalizedMessage {
  std::string key;
  std::vector<std::string> arguments;
  bool operator==(const LocalizedMessage&) const = default;
};

// Stored form: {"key": ..., "arguments": [...]}; both members are required on reading.
Json toJson(const LocalizedMessage& message);
std::optional<LocalizedMessage> messageFromJson(const Json& json);

namespace detail {

// Highest placeholder index + 1 of a template, or -1 when the indices are not exactly 0..n-1.
consteval int placeholderCount(std::string_view key) {
  bool seen[32] = {};
  int count = 0;
  for (std::size_t i = 0; i < key.size(); ++i) {
    if (key[i] != '{') continue;
    std::size_t j = i + 1;
    int index = 0;
    while (j < key.size() && key[j] >= '0' && key[j] <= '9') index = index * 10 + (key[j++] - '0');
    if (j == i + 1 || j >= key.size() || key[j] != '}' || index >= 32) continue;
    if (!seen[index]) ++count;
    seen[index] = true;
    i = j;
  }
  for (int k = 0; k < count; ++k)
    if (!seen[k]) return -1;
  return count;
}

// The default textual form of an interpolated value: text as it is, numbers in their plain form.
inline std::string argumentText(std::string_view text) { return std::string(text); }
inline std::string argumentText(const std::string& text) { return text; }
inline std::string argumentText(const char* text) { return text; }
template <class T>
  requires(std::is_arithmetic_v<T> && !std::is_same_v<T, bool> && !std::is_same_v<T, char>)
std::string argumentText(T value) {
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::string();
}

}  // namespace detail

// A message template written in the code, checked while compiling: its placeholders must be
// exactly {0}..{n-1} for n arguments.
template <class... Args>
struct MessageKey {
  template <std::size_t N>
  consteval MessageKey(const char (&literal)[N]) : text(literal, N - 1) {
    if (detail::placeholderCount(text) != static_cast<int>(sizeof...(Args)))
      throw "message template placeholders do not match its arguments";
  }
  std::string_view text;
};

// The one way code writes a user-visible text: msg("メモリーは正常です。"),
// msg("このアカウント（UID {0}）", uid). The catalogue test finds every key through this
// spelling, so the template must be a single string literal.
template <class... Args>
LocalizedMessage msg(MessageKey<std::type_identity_t<Args>...> key, Args&&... args) {
  return LocalizedMessage{std::string(key.text), {detail::argumentText(args)...}};
}

// Builds a message from an interpolated literal, left to right: string literals are appended
// to the key unchanged, every other value appends the next placeholder and its text.
// interpolated("バージョン ", version, "（ビルド ", build, "）") gives
// "バージョン {0}（ビルド {1}）" with the two values as arguments.
template <class... Pieces>
LocalizedMessage interpolated(const Pieces&... pieces) {
  LocalizedMessage message;
  auto append = [&message]<class P>(const P& piece) {
    if constexpr (std::is_array_v<P>) {
      message.key += piece;
    } else {
      message.key += '{' + std::to_string(message.arguments.size()) + '}';
      message.arguments.push_back(detail::argumentText(piece));
    }
  };
  (append(pieces), ...);
  return message;
}

}  // namespace hollin
