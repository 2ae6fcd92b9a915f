#include "core/support/UpdateCheck.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <vector>

#include "core/BuildProfile.h"
#include "core/L10n.h"
#include "core/PlainText.h"

namespace hollin {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::vector<int> versionParts(std::string_view version) {
  std::vector<int> parts;
  while (true) {
    const auto dot = version.find('.');
    int part = 0;
    std::from_chars(version.data(), version.data() + std::min(dot, version.size()), part);
    parts.push_back(part);
    if (dot == std::string_view::npos) return parts;
    version.remove_prefix(dot + 1);
  }
}

// A host name or IPv4 address ("downloads.example.org") with an optional ":port".
bool isHost(std::string_view host) {
  const auto colon = host.find(':');
  const std::string_view name = host.substr(0, colon);
  const std::string_view port = colon == std::string_view::npos ? "0" : host.substr(colon + 1);
  return !name.empty() && name.front() != '.' && name.front() != '-' &&
         std::all_of(name.begin(), name.end(),
                     [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.'; }) &&
         !port.empty() && port.size() <= 5 && std::all_of(port.begin(), port.end(), isDigit);
}

const nlohmann::json* versionMember(const nlohmann::json& document) {
  if (!document.is_object()) return nullptr;
  const auto found = document.find("version");
  return found == document.end() ? nullptr : &*found;
}

nlohmann::json parsed(std::span<const char> body) {
  return nlohmann::json::parse(body.begin(), body.end(), nullptr, false);
}

LocalizedMessage closingSentence() {
  return msg("確かめられなかっただけで、ホリンの測定は何も変わっていません（この確認は、新しいバージョンが出ているかを見にいくだけのものです）。");
}

}  // namespace

namespace AppVersion {

std::optional<std::string> sanitized(std::string_view text) {
  if (text.empty() || text.size() > 19) return std::nullopt;
  int parts = 0;
  std::size_t digits = 0;
  for (char c : text) {
    if (c == '.') {
      if (digits == 0) return std::nullopt;
      ++parts;
      digits = 0;
    } else if (!isDigit(c) || ++digits > 4) {
      return std::nullopt;
    }
  }
  if (digits == 0 || ++parts > 4) return std::nullopt;
  return std::string(text);
}

bool isNewer(std::string_view a, std::string_view than) {
  if (!sanitized(a) || !sanitized(than)) return false;
  const std::vector<int> left = versionParts(a), right = versionParts(than);
  for (std::size_t i = 0; i < std::max(left.size(), right.size()); ++i) {
    const int l = i < left.size() ? left[i] : 0, r = i < right.size() ? right[i] : 0;
    if (l != r) return l > r;
  }
  return false;
}

}  // namespace AppVersion

namespace UpdateCheck {

std::optional<std::string> url(std::string_view host) {
  if (!isHost(host)) return std::nullopt;
  return "https://" + std::string(host) + std::string(path);
}

std::string downloadPageURL(std::string_view language) {
  return std::string(language == "ja" ? downloadPageJapanese : downloadPageEnglish);
}

bool looksLikeUpdateResponse(std::optional<std::string_view> contentType, std::span<const char> body) {
  if (!contentType || body.empty() || body.size() > bodyLimit) return false;
  if (!asciiLowered(trimmedBlanks(*contentType)).starts_with("application/json")) return false;
  return versionMember(parsed(body)) != nullptr;
}

std::optional<std::string> parse(std::span<const char> body) {
  const nlohmann::json document = parsed(body);
  const nlohmann::json* version = versionMember(document);
  if (!version || !version->is_string()) return std::nullopt;
  return AppVersion::sanitized(version->get_ref<const std::string&>());
}

Status decide(const FetchOutcome& outcome, const std::optional<std::string>& current) {
  switch (outcome.kind) {
    case FetchOutcome::Kind::unreachable: return {.kind = Status::Kind::unknown, .latest = {}, .current = {}, .reachable = false};
    case FetchOutcome::Kind::noAnswer: break;
    case FetchOutcome::Kind::version:
      if (!current || !AppVersion::sanitized(*current) || !AppVersion::sanitized(outcome.version)) break;
      if (AppVersion::isNewer(outcome.version, *current))
        return {.kind = Status::Kind::updateAvailable, .latest = outcome.version, .current = *current, .reachable = true};
      return {.kind = Status::Kind::upToDate, .latest = {}, .current = *current, .reachable = true};
  }
  return {.kind = Status::Kind::unknown, .latest = {}, .current = {}, .reachable = true};
}

std::string panelTitle(const Status& status, std::string_view language) {
  switch (status.kind) {
    case Status::Kind::updateAvailable: return L10n::render(msg("新しいバージョンがあります（v{0}）", status.latest), language);
    case Status::Kind::upToDate: return L10n::render(msg("お使いのバージョンが最新です"), language);
    case Status::Kind::unknown: break;
  }
  return L10n::render(msg("確認できませんでした"), language);
}

std::string panelBody(const Status& status, std::string_view language) {
  const auto text = [language](const LocalizedMessage& message) { return L10n::render(message, language); };
  switch (status.kind) {
    case Status::Kind::updateAvailable:
      return text(msg("新しいバージョン v{0} が出ています（お使いのものは v{1} です）。", status.latest, status.current)) +
             "\n\n" +
             text(msg("「ダウンロードのページを開く」を押すと、ブラウザで配布ページが開きます。ホリンを終了してから、新しいアプリを、いまお使いのものと同じ場所へ置き換えてください。"));
    case Status::Kind::upToDate:
      return text(msg("お使いのホリンは v{0} で、これより新しいバージョンは出ていません。何もする必要はありません。", status.current));
    case Status::Kind::unknown: break;
  }
  const std::string first =
      status.reachable
          ? text(msg("いまは確かめられませんでした（配布サイトからの答えを受け取れませんでした）。しばらくしてから、もう一度お試しください。"))
          : text(msg("いまは確かめられませんでした。インターネットに接続できているかご確認のうえ、もう一度お試しください。"));
  return first + "\n\n" + text(closingSentence());
}

AlertView panel(const Status& status, std::string_view language) {
  AlertView view{panelTitle(status, language), panelBody(status, language), {}};
  if (status.kind == Status::Kind::updateAvailable)
    view.buttons = {L10n::render(msg("ダウンロードのページを開く"), language), L10n::render(msg("あとで"), language)};
  else
    view.buttons = {L10n::render(msg("閉じる"), language)};
  return view;
}

}  // namespace UpdateCheck
}  // namespace hollin
