#include "core/ssd/SSDHealth.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/JsonReader.h"
#include "core/L10n.h"

namespace hollin {
namespace {

constexpr double lowestCelsius = -20;
constexpr double highestCelsius = 120;

bool plausibleCelsius(double celsius) {
  return std::isfinite(celsius) && celsius >= lowestCelsius && celsius <= highestCelsius;
}

std::string joinedNames(const std::vector<std::string>& names, std::string_view language) {
  const std::string_view separator = language == "ja" ? "・" : ", ";
  std::string joined;
  for (const auto& name : names) {
    if (!joined.empty()) joined += separator;
    joined += name;
  }
  return joined;
}

std::string_view wearStep(std::uint8_t wear) {
  if (wear >= 100) return "100";
  if (wear >= 90) return "90";
  return "80";
}

}  // namespace

SSDCounter SSDCounter::fromBytes(const std::uint8_t (&bytes)[16]) {
  SSDCounter counter;
  for (int i = 7; i >= 0; --i) {
    counter.low = counter.low << 8 | bytes[i];
    counter.high = counter.high << 8 | bytes[i + 8];
  }
  return counter;
}

std::string SSDCounter::text() const {
  if (high == 0) return std::to_string(low);
  // Long division of the four 32-bit words, most significant first, one decimal digit a round.
  std::array<std::uint32_t, 4> words = {
      static_cast<std::uint32_t>(high >> 32), static_cast<std::uint32_t>(high),
      static_cast<std::uint32_t>(low >> 32), static_cast<std::uint32_t>(low)};
  std::string digits;
  while (std::any_of(words.begin(), words.end(), [](std::uint32_t word) { return word != 0; })) {
    std::uint64_t remainder = 0;
    for (std::uint32_t& word : words) {
      const std::uint64_t current = remainder << 32 | word;
      word = static_cast<std::uint32_t>(current / 10);
      remainder = current % 10;
    }
    digits.push_back(static_cast<char>('0' + remainder));
  }
  std::reverse(digits.begin(), digits.end());
  return digits;
}

SSDHealth SSDHealth::fromReading(const HLSSDReading& reading) {
  SSDHealth health;
  health.warning = reading.warning;
  health.spare = reading.spare;
  health.spareThreshold = reading.spare_threshold;
  health.wear = reading.wear;
  health.mediaErrors = SSDCounter::fromBytes(reading.media_errors);
  health.errorEntries = SSDCounter::fromBytes(reading.error_entries);
  health.written = SSDCounter::fromBytes(reading.written);
  health.powerHours = SSDCounter::fromBytes(reading.power_hours);
  if (reading.celsius_valid == 1) health.celsius = reading.celsius;
  return health;
}

bool SSDHealth::valid() const {
  return spare <= 100 && spareThreshold <= 100 && (!celsius || plausibleCelsius(*celsius));
}

bool SSDHealth::countersReset(const SSDHealth& previous) const {
  return mediaErrors < previous.mediaErrors || errorEntries < previous.errorEntries ||
         written < previous.written || powerHours < previous.powerHours || wear < previous.wear;
}

std::vector<std::string> criticalWarningNames(std::uint8_t warning, std::string_view language) {
  static const std::array<LocalizedMessage, 5> bitNames = {
      msg("予備領域の不足"), msg("温度の警告"), msg("信頼性の低下"), msg("読み取り専用への移行"),
      msg("揮発性メモリーの保護異常")};
  std::vector<std::string> names;
  for (std::size_t bit = 0; bit < bitNames.size(); ++bit)
    if (warning & (1u << bit)) names.push_back(L10n::render(bitNames[bit], language));
  if (warning > 0x1F) names.push_back(L10n::render(msg("追加の機器警告"), language));
  return names;
}

std::vector<SSDHealthIssue> SSDHealth::issues(std::string_view language) const {
  const auto text = [&](const LocalizedMessage& message) {
    return L10n::render(message, language);
  };
  std::vector<SSDHealthIssue> found;
  if (warning != 0)
    found.push_back({"critical", std::to_string(warning), true,
                     text(msg("SSDが「{0}」を報告しています。重要なファイルのバックアップを確認し、診断・修理を検討してください。",
                              joinedNames(criticalWarningNames(warning, language), language)))});
  if (spare < spareThreshold)
    found.push_back({"spare", "low", true,
                     text(msg("SSDの予備領域が警告水準を下回りました。バックアップを確認し、診断・修理を検討してください。"))});
  if (mediaErrors != SSDCounter{})
    found.push_back({"media",
                     std::to_string(mediaErrors.high) + ":" + std::to_string(mediaErrors.low), true,
                     text(msg("SSDに訂正できなかったデータエラーの記録があります。累積{0}件です。新しく増えたかは健康履歴で確認できます。重要なファイルのバックアップを確認してください。",
                              mediaErrors.text()))});
  if (wear >= 80)
    found.push_back(
        {"wear", std::string(wearStep(wear)), false,
         text(
             msg("SSDの消耗度の目安が{0}%です。故障日を示す値ではありません。バックアップと交換の準備を確認してください。",
                 static_cast<unsigned>(wear)))});
  return found;
}

Json toJson(const SSDCounter& counter) {
  return Json{{"low", counter.low}, {"high", counter.high}};
}

Json toJson(const SSDHealth& health) {
  Json json{{"warning", health.warning},
            {"spare", health.spare},
            {"spareThreshold", health.spareThreshold},
            {"wear", health.wear},
            {"mediaErrors", toJson(health.mediaErrors)},
            {"errorEntries", toJson(health.errorEntries)},
            {"written", toJson(health.written)},
            {"powerHours", toJson(health.powerHours)}};
  if (health.celsius) json["celsius"] = *health.celsius;
  return json;
}

std::optional<SSDCounter> counterFromJson(const Json& json) {
  JsonReader in(json);
  SSDCounter counter{in.required<std::uint64_t>("low"), in.required<std::uint64_t>("high")};
  if (!in.ok()) return std::nullopt;
  return counter;
}

std::optional<SSDHealth> healthFromJson(const Json& json) {
  JsonReader in(json);
  SSDHealth health;
  health.warning = in.required<std::uint8_t>("warning");
  health.spare = in.required<std::uint8_t>("spare");
  health.spareThreshold = in.required<std::uint8_t>("spareThreshold");
  health.wear = in.required<std::uint8_t>("wear");
  const auto counter = [&](std::string_view key, SSDCounter& into) {
    if (!in.ok() || !json.contains(key)) return in.fail();
    const auto read = counterFromJson(json.at(std::string(key)));
    if (!read) return in.fail();
    into = *read;
  };
  counter("mediaErrors", health.mediaErrors);
  counter("errorEntries", health.errorEntries);
  counter("written", health.written);
  counter("powerHours", health.powerHours);
  health.celsius = in.optional<double>("celsius");
  if (!in.ok()) return std::nullopt;
  return health;
}

}  // namespace hollin
