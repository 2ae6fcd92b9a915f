// The update check's rules: where the latest version is asked for, what counts as an answer,
// how the answer compares with the running version, and what the panel then says.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "core/LocalizedMessage.h"
#include "core/ui/Screen.h"

namespace hollin {

namespace AppVersion {

// `text` when it is 1 to 4 dot-separated parts of 1 to 4 ASCII digits, at most 19 characters.
std::optional<std::string> sanitized(std::string_view text);
// Part by part from the left, a missing part counting as 0; false when either is not a version.
bool isNewer(std::string_view a, std::string_view than);

}  // namespace AppVersion

namespace UpdateCheck {

inline constexpr std::string_view path = "/latest.json";
inline constexpr std::size_t bodyLimit = 65536;  // bytes; a longer answer is no answer
inline constexpr double timeoutSeconds = 15;

// "https://" + host + path; nothing for an empty host, or one that is not a host name or IPv4
// address with an optional port.
std::optional<std::string> url(std::string_view host);
// The download page for people reading `language`: the Japanese page for "ja", else the English.
std::string downloadPageURL(std::string_view language);

struct FetchOutcome {
  enum class Kind { version, unreachable, noAnswer };
  Kind kind = Kind::noAnswer;
  std::string version;  // for `version`
  bool operator==(const FetchOutcome&) const = default;
};

struct Status {
  enum class Kind { upToDate, updateAvailable, unknown };
  Kind kind = Kind::unknown;
  std::string latest;      // updateAvailable
  std::string current;     // upToDate, updateAvailable
  bool reachable = false;  // unknown
  bool operator==(const Status&) const = default;
};

// A JSON object with a "version" member, at most bodyLimit bytes, typed application/json.
bool looksLikeUpdateResponse(std::optional<std::string_view> contentType, std::span<const char> body);
// The sanitized "version" string of the object, or nothing.
std::optional<std::string> parse(std::span<const char> body);
Status decide(const FetchOutcome& outcome, const std::optional<std::string>& current);

std::string panelTitle(const Status& status, std::string_view language);
std::string panelBody(const Status& status, std::string_view language);
// The panel: its title and body, and its buttons ("ダウンロードのページを開く" and "あとで" when
// an update is out, else "閉じる").
AlertView panel(const Status& status, std::string_view language);

}  // namespace UpdateCheck
}  // namespace hollin
