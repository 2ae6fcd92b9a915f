#include "core/ssd/SSDHealthArchive.h"

#include <algorithm>
#include <regex>
#include <set>

#include "core/JsonReader.h"
#include "core/L10n.h"

namespace hollin {
namespace {

using hollin::toJson;  // stored dates, beside the overloads below

constexpr std::size_t maxEventText = 2048;
constexpr std::size_t maxEventMessages = 8;
constexpr std::size_t maxMessageKey = 2048;
constexpr std::size_t maxMessageArguments = 8;
constexpr std::size_t maxArgumentLength = 128;
const std::set<std::string, std::less<>> receiptKinds = {"critical", "spare", "media", "wear"};

std::string joined(const std::vector<LocalizedMessage>& messages, std::string_view language,
                   std::string_view separator) {
  std::string text;
  for (const auto& message : messages) {
    if (!text.empty()) text += separator;
    text += L10n::render(message, language);
  }
  return text;
}

bool sameFigures(const SSDHealth& a, const SSDHealth& b) {
  return a.warning == b.warning && a.spare == b.spare && a.spareThreshold == b.spareThreshold &&
         a.wear == b.wear && a.mediaErrors == b.mediaErrors && a.errorEntries == b.errorEntries;
}

// What changed between two valid readings, in the order the event tells it.
std::vector<LocalizedMessage> changes(const SSDHealth& before, const SSDHealth& now, bool reset) {
  std::vector<LocalizedMessage> messages;
  if (reset)
    messages.push_back(msg("累積値の減少を検出。交換・リセットの可能性があるため比較の基準を更新"));
  const auto number = [](std::uint8_t value) { return static_cast<unsigned>(value); };
  if (before.warning != now.warning)
    messages.push_back(msg("重大警告 {0} → {1}", number(before.warning), number(now.warning)));
  if (before.spare != now.spare)
    messages.push_back(msg("予備領域 {0}% → {1}%", number(before.spare), number(now.spare)));
  if (before.wear != now.wear)
    messages.push_back(msg("消耗度 {0}% → {1}%", number(before.wear), number(now.wear)));
  if (before.mediaErrors != now.mediaErrors)
    messages.push_back(
        msg("データエラー累積 {0} → {1}件", before.mediaErrors.text(), now.mediaErrors.text()));
  if (before.errorEntries != now.errorEntries)
    messages.push_back(msg("エラーログ累積 {0} → {1}件（故障とは限りません）",
                           before.errorEntries.text(), now.errorEntries.text()));
  if (before.spareThreshold != now.spareThreshold)
    messages.push_back(msg("予備領域の警告水準が変更"));
  return messages;
}

// Characters, not bytes, of a UTF-8 text.
std::size_t characterCount(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

struct LegacyPattern {
  std::string key;
  std::regex pattern;
};

// The sentences an older event may hold, longest key first, each as an anchored pattern whose
// placeholders take a count: digits, or the older wording of a count too large for 64 bits.
const std::vector<LegacyPattern>& legacyPatterns() {
  static const std::vector<LegacyPattern> patterns = [] {
    static constexpr std::string_view prefixes[] = {
        "累積値の減少",      "重大警告 ",       "予備領域 ",  "消耗度 ",
        "データエラー累積 ", "エラーログ累積 ", "SSD健康情報"};
    std::vector<std::string> keys;
    for (const auto& [key, wording] : L10n::catalog("ja")) {
      const bool prefixed =
          std::any_of(std::begin(prefixes), std::end(prefixes), [&](std::string_view prefix) {
            return key.starts_with(prefix) &&
                   !(prefix == "消耗度 " && key.find("／") != std::string::npos);
          });
      if (prefixed || key == "予備領域の警告水準が変更") keys.push_back(key);
    }
    std::stable_sort(keys.begin(), keys.end(), [](const std::string& a, const std::string& b) {
      return characterCount(a) > characterCount(b);
    });
    static const std::string count = "([0-9]+|非常に多い（128ビットで記録）)";
    std::vector<LegacyPattern> built;
    for (const auto& key : keys) {
      std::string escaped;
      for (char c : key) {
        if (std::string_view("\\^$.|?*+()[]{}").find(c) != std::string_view::npos) escaped += '\\';
        escaped += c;
      }
      for (const std::string placeholder : {"\\{0\\}", "\\{1\\}"})
        for (auto at = escaped.find(placeholder); at != std::string::npos;
             at = escaped.find(placeholder))
          escaped.replace(at, placeholder.size(), count);
      try {
        built.push_back({key, std::regex("^" + escaped + "(?=。|$)")});
      } catch (const std::regex_error&) {
        // A key that makes no pattern is left out of the translation.
      }
    }
    return built;
  }();
  return patterns;
}

Json toJson(const SSDHealthPoint& point) {
  Json json{{"at", toJson(point.at)}};
  if (point.health) json["health"] = toJson(*point.health);
  return json;
}

std::optional<SSDHealthPoint> pointFromJson(const Json& json) {
  return readRecord<SSDHealthPoint>(json, [&](JsonReader& in, SSDHealthPoint& point) {
    point = {requiredDate(in, json), optionalMember(in, json, "health", healthFromJson)};
  });
}

Json toJson(const SSDHealthEvent& event) {
  Json json{{"at", toJson(event.at)}, {"text", event.text}};
  if (event.messages) {
    Json messages = Json::array();
    for (const auto& message : *event.messages) messages.push_back(toJson(message));
    json["messages"] = std::move(messages);
  }
  return json;
}

std::optional<SSDHealthEvent> eventFromJson(const Json& json) {
  JsonReader in(json);
  SSDHealthEvent event;
  event.at = requiredDate(in, json);
  event.text = in.required<std::string>("text");
  if (in.ok() && json.contains("messages") && !json["messages"].is_null()) {
    auto messages = in.list("messages", std::numeric_limits<std::size_t>::max(), messageFromJson);
    if (in.ok()) event.messages = std::move(messages);
  }
  if (!in.ok()) return std::nullopt;
  return event;
}

bool validEvent(const SSDHealthEvent& event) {
  if (event.text.size() > maxEventText) return false;
  if (!event.messages) return true;
  if (event.messages->size() > maxEventMessages) return false;
  return std::all_of(event.messages->begin(), event.messages->end(),
                     [](const LocalizedMessage& message) {
                       return message.key.size() <= maxMessageKey &&
                              message.arguments.size() <= maxMessageArguments &&
                              std::all_of(message.arguments.begin(), message.arguments.end(),
                                          [](const std::string& argument) {
                                            return argument.size() <= maxArgumentLength;
                                          });
                     });
}

}  // namespace

SSDHealthEvent SSDHealthEvent::make(WallTime at, std::vector<LocalizedMessage> messages) {
  SSDHealthEvent event{at, joined(messages, "ja", "。"), std::nullopt};
  event.messages = std::move(messages);
  return event;
}

std::string SSDHealthEvent::localizedText(std::string_view language) const {
  if (messages) return joined(*messages, language, language == "ja" ? "。" : ", ");
  return translateLegacy(text, language);
}

std::string SSDHealthEvent::translateLegacy(std::string_view text, std::string_view language) {
  if (language == "ja") return std::string(text);
  std::vector<std::string> parts;
  std::string remaining(text);
  while (!remaining.empty()) {
    std::smatch match;
    const auto known = std::find_if(legacyPatterns().begin(), legacyPatterns().end(),
                                    [&](const LegacyPattern& legacy) {
                                      return std::regex_search(remaining, match, legacy.pattern);
                                    });
    if (known == legacyPatterns().end()) {
      parts.push_back(remaining);
      break;
    }
    LocalizedMessage message{known->key, {}};
    for (std::size_t group = 1; group < match.size(); ++group)
      if (match[group].matched)
        message.arguments.push_back(L10n::render({match[group].str(), {}}, language));
    parts.push_back(L10n::render(message, language));
    remaining = match.suffix().str();
    if (remaining.starts_with("。")) remaining.erase(0, std::string_view("。").size());
  }
  std::string result;
  for (const auto& part : parts) result += (result.empty() ? "" : ", ") + part;
  return result;
}

std::shared_ptr<const SSDHealthArchive> SSDHealthArchive::none() {
  static const auto empty = std::make_shared<const SSDHealthArchive>();
  return empty;
}

bool SSDHealthArchive::valid() const {
  const auto healthy = [](const std::optional<SSDHealth>& health) {
    return !health || health->valid();
  };
  return schema == currentSchema && history.size() <= maxHistory && events.size() <= maxEvents &&
         receipts.size() <= maxReceipts && (!latest || healthy(latest->health)) &&
         healthy(lastValidHealth) &&
         std::all_of(history.begin(), history.end(),
                     [&](const SSDHealthPoint& point) { return healthy(point.health); }) &&
         std::all_of(receipts.begin(), receipts.end(),
                     [](const auto& entry) { return receiptKinds.contains(entry.first); }) &&
         std::all_of(events.begin(), events.end(), validEvent);
}

bool SSDHealthArchive::observe(std::optional<SSDHealth> reading, WallTime date) {
  if (reading && !reading->valid()) reading.reset();
  bool changed = false;
  bool told = false;  // a change event already says what happened
  if (reading) {
    const bool reset = lastValidHealth && reading->countersReset(*lastValidHealth);
    if (reset) receipts.clear();
    const auto current = reading->issues("ja");
    std::erase_if(receipts, [&](const auto& entry) {
      return std::none_of(current.begin(), current.end(),
                          [&](const SSDHealthIssue& issue) { return issue.kind == entry.first; });
    });
    if (lastValidHealth && (reset || !sameFigures(*reading, *lastValidHealth))) {
      events.push_back(SSDHealthEvent::make(date, changes(*lastValidHealth, *reading, reset)));
      changed = told = true;
    }
  }
  if (!told) {
    const bool failedNow = !reading;
    const bool failedBefore = !latest || !latest->health;
    if (failedNow != failedBefore) {
      LocalizedMessage message =
          failedNow ? msg("SSD健康情報を取得できません（故障の判定ではありません）")
          : !latest ? msg("SSD健康情報の記録を開始。累積値は開始前の分を含みます")
                    : msg("SSD健康情報の取得が回復");
      events.push_back(SSDHealthEvent::make(date, {std::move(message)}));
      changed = true;
    }
  }
  const SSDHealthPoint point{date, reading};
  latest = point;
  if (reading) lastValidHealth = reading;

  const bool clockSetBack = !history.empty() && date < history.back().at;
  if (clockSetBack) {
    // Points dated after now belong to a clock that was ahead; kept, they would break the
    // oldest-first order and never grow old enough to be pruned.
    std::erase_if(history, [&](const SSDHealthPoint& kept) { return kept.at > date; });
  }
  if (clockSetBack || history.empty() ||
      secondsBetween(history.back().at, date) >= historyInterval) {
    history.push_back(point);
    changed = true;
  }
  std::erase_if(history, [&](const SSDHealthPoint& kept) {
    return secondsBetween(kept.at, date) > historyWindow;
  });
  if (history.size() > maxHistory) history.erase(history.begin(), history.end() - maxHistory);
  if (events.size() > maxEvents) events.erase(events.begin(), events.end() - maxEvents);
  return changed;
}

bool SSDHealthArchive::eligible(const SSDHealthIssue& issue, WallTime date) const {
  const auto found = receipts.find(issue.kind);
  if (found == receipts.end()) return true;
  const double elapsed = secondsBetween(found->second.at, date);
  if (elapsed < 0) return true;  // the clock was set back: nobody can tell how long ago it was
  if (found->second.signature != issue.signature) return issue.kind != "media" || elapsed >= 3600;
  return elapsed >= (issue.kind == "wear" ? 604'800 : 86'400);
}

void SSDHealthArchive::accepted(const std::vector<SSDHealthIssue>& issues, WallTime date) {
  for (const auto& issue : issues) receipts[issue.kind] = {date, issue.signature};
}

Json toJson(const SSDHealthArchive& archive) {
  Json json{{"schema", archive.schema}};
  if (archive.latest) json["latest"] = toJson(*archive.latest);
  if (archive.lastValidHealth) json["lastValidHealth"] = toJson(*archive.lastValidHealth);
  json["history"] = Json::array();
  for (const auto& point : archive.history) json["history"].push_back(toJson(point));
  json["events"] = Json::array();
  for (const auto& event : archive.events) json["events"].push_back(toJson(event));
  json["receipts"] = Json::object();
  for (const auto& [kind, receipt] : archive.receipts)
    json["receipts"][kind] = Json{{"at", toJson(receipt.at)}, {"signature", receipt.signature}};
  return json;
}

std::optional<SSDHealthArchive> archiveFromJson(const Json& json) {
  JsonReader in(json);
  SSDHealthArchive archive;
  archive.schema = in.required<int>("schema");
  archive.latest = optionalMember(in, json, "latest", pointFromJson);
  archive.lastValidHealth = optionalMember(in, json, "lastValidHealth", healthFromJson);
  constexpr auto unlimited = std::numeric_limits<std::size_t>::max();
  archive.history = in.list("history", unlimited, pointFromJson);
  archive.events = in.list("events", unlimited, eventFromJson);
  const auto receipts = member(in, json, "receipts", [](const Json& object) -> std::optional<Json> {
    if (!object.is_object()) return std::nullopt;
    return object;
  });
  if (!in.ok() || !receipts) return std::nullopt;
  for (const auto& [kind, value] : receipts->items()) {
    JsonReader receipt(value);
    SSDHealthReceipt read;
    read.at = requiredDate(receipt, value);
    read.signature = receipt.required<std::string>("signature");
    if (!receipt.ok()) return std::nullopt;
    archive.receipts[kind] = std::move(read);
  }
  return archive;
}

}  // namespace hollin
