#include "core/crash/CrashLog.h"

#include <algorithm>
#include <charconv>
#include <cctype>
#include <chrono>
#include <cmath>
#include <regex>

#include <nlohmann/json.hpp>

#include "core/DateText.h"
#include "core/JsonReader.h"
#include "core/L10n.h"

namespace hollin {
namespace {

// The rules' patterns, whole-string; a text longer than the pattern allows is refused before
// it reaches the matcher.
struct CrashPattern {
  std::regex expression;
  std::size_t maxLength;
  bool matches(std::string_view text) const {
    return text.size() <= maxLength && std::regex_match(text.begin(), text.end(), expression);
  }
};

const CrashPattern& crashVersionPattern() {  // appVersion, build
  static const CrashPattern pattern{std::regex("[0-9A-Za-z.-]{1,20}"), 20};
  return pattern;
}
const CrashPattern& crashOSPattern() {  // "12 (bookworm)"
  static const CrashPattern pattern{std::regex("[0-9]{1,3}(\\.[0-9]{1,3}){0,2} \\([0-9A-Za-z]{1,12}\\)"), 11 + 3 + 12};
  return pattern;
}
const CrashPattern& crashFramePattern() {
  static const CrashPattern pattern{std::regex("0x[0-9a-f]{1,16}"), 18};
  return pattern;
}
const CrashPattern& crashBinaryIDPattern() {
  static const CrashPattern pattern{std::regex("[0-9A-F]{8}"), 8};
  return pattern;
}
// A binary's UUID in a call stack, or a GNU build-id (the hash the linker writes into an ELF
// note), before it is shortened.
const CrashPattern& crashBinaryUUIDPattern() {
  static const CrashPattern pattern{std::regex("[0-9A-Fa-f]{8}-[0-9A-Fa-f-]{27}|[0-9A-Fa-f]{16,64}"), 64};
  return pattern;
}

constexpr std::int64_t crashNumberMax = 4'294'967'295;
constexpr auto crashReferenceMicroseconds = static_cast<std::int64_t>(referenceDateUnixSeconds) * 1'000'000;

bool crashNumberInRange(const std::optional<std::int64_t>& number) {
  return !number || (*number >= 0 && *number <= crashNumberMax);
}

std::optional<std::int64_t> crashNumberKept(const std::optional<std::int64_t>& number) {
  return crashNumberInRange(number) ? number : std::nullopt;
}

std::string crashVersionOrUnknown(const std::optional<std::string>& value, const CrashPattern& pattern) {
  return value && pattern.matches(*value) ? *value : "?";
}

// Dates are kept to the microsecond, so a date read back from the file equals the one written.
WallTime crashWholeMicroseconds(WallTime date) { return std::chrono::floor<std::chrono::microseconds>(date); }

Json storedCrashDate(WallTime date) {
  const auto micros = std::chrono::floor<std::chrono::microseconds>(date).time_since_epoch().count();
  return static_cast<double>(micros - crashReferenceMicroseconds) / 1e6;
}

// Any number reads; one beyond the dates the clock holds becomes a date `checked` refuses.
std::optional<WallTime> crashDateFromJson(const Json& json) {
  if (!json.is_number()) return std::nullopt;
  const double seconds = json.get<double>();
  if (!(std::abs(seconds) <= largestReferenceSeconds)) return WallTime::max();
  const auto micros = static_cast<std::int64_t>(std::llround(seconds * 1e6)) + crashReferenceMicroseconds;
  return WallTime(std::chrono::microseconds(micros));
}

bool crashDateValid(WallTime date) { return std::abs(referenceSeconds(date)) <= largestReferenceSeconds; }

std::string crashFrameHex(std::uint64_t value) {
  char digits[16];
  const auto end = std::to_chars(std::begin(digits), std::end(digits), value, 16).ptr;
  return "0x" + std::string(digits, end);
}

std::string crashNumberOrDash(const std::optional<std::int64_t>& number) {
  return number ? std::to_string(*number) : "-";
}

}  // namespace

std::optional<CrashSummary> CrashSummary::checked() const {
  const auto versionOK = [](const std::string& value) { return value == "?" || crashVersionPattern().matches(value); };
  const bool valid =
      versionOK(appVersion) && versionOK(build) && (osVersion == "?" || crashOSPattern().matches(osVersion)) &&
      ownFrames.size() <= CrashLog::maxFrames &&
      std::ranges::all_of(ownFrames, [](const std::string& frame) { return crashFramePattern().matches(frame); }) &&
      (!binaryID || crashBinaryIDPattern().matches(*binaryID)) && crashNumberInRange(signal) &&
      crashNumberInRange(exceptionType) && crashNumberInRange(exceptionCode) && crashDateValid(date);
  if (!valid) return std::nullopt;
  return *this;
}

Json toJson(const CrashSummary& summary) {
  Json json = Json::object();
  json["date"] = storedCrashDate(summary.date);
  json["appVersion"] = summary.appVersion;
  json["build"] = summary.build;
  json["osVersion"] = summary.osVersion;
  if (summary.signal) json["signal"] = *summary.signal;
  if (summary.exceptionType) json["exceptionType"] = *summary.exceptionType;
  if (summary.exceptionCode) json["exceptionCode"] = *summary.exceptionCode;
  json["ownFrames"] = summary.ownFrames;
  if (summary.binaryID) json["binaryID"] = *summary.binaryID;
  json["stackRead"] = summary.stackRead;
  return json;
}

std::optional<CrashSummary> crashSummaryFromJson(const Json& json) {
  return readRecord<CrashSummary>(json, [&json](JsonReader& in, CrashSummary& summary) {
    summary.date = member(in, json, "date", crashDateFromJson).value_or(WallTime{});
    summary.appVersion = in.required<std::string>("appVersion");
    summary.build = in.required<std::string>("build");
    summary.osVersion = in.required<std::string>("osVersion");
    summary.signal = in.optional<std::int64_t>("signal");
    summary.exceptionType = in.optional<std::int64_t>("exceptionType");
    summary.exceptionCode = in.optional<std::int64_t>("exceptionCode");
    summary.ownFrames = in.list<std::string>("ownFrames", CrashLog::maxFileBytes);
    summary.binaryID = in.optional<std::string>("binaryID");
    summary.stackRead = in.required<bool>("stackRead");
  });
}

Json toJson(const std::vector<CrashSummary>& summaries) {
  Json json = Json::array();
  for (const auto& summary : summaries) json.push_back(toJson(summary));
  return json;
}

std::optional<std::vector<CrashSummary>> crashSummariesFromJson(const Json& json) {
  if (!json.is_array()) return std::nullopt;
  std::vector<CrashSummary> summaries;
  for (const Json& element : json) {
    auto summary = crashSummaryFromJson(element);
    if (!summary) return std::nullopt;
    summaries.push_back(std::move(*summary));
  }
  return summaries;
}

namespace CrashLog {

bool isOSVersionText(std::string_view text) { return crashOSPattern().matches(text); }

std::optional<CrashSummary> summary(const Fields& fields, const std::optional<std::string>& callStackJSON,
                                    std::string_view bundleIdentifier, std::string_view executableName) {
  if (!fields.bundleIdentifier || *fields.bundleIdentifier != bundleIdentifier) return std::nullopt;
  CrashSummary summary;
  summary.date = crashWholeMicroseconds(fields.date);
  if (callStackJSON && callStackJSON->size() <= maxStackBytes) {
    const Json stack = Json::parse(*callStackJSON, nullptr, false);
    if (stack.is_object()) {
      std::tie(summary.ownFrames, summary.binaryID) = ownFrames(stack, executableName);
      summary.stackRead = true;
    }
  }
  summary.appVersion = crashVersionOrUnknown(fields.appVersion, crashVersionPattern());
  summary.build = crashVersionOrUnknown(fields.build, crashVersionPattern());
  summary.osVersion = crashVersionOrUnknown(fields.osVersion, crashOSPattern());
  summary.signal = crashNumberKept(fields.signal);
  summary.exceptionType = crashNumberKept(fields.exceptionType);
  summary.exceptionCode = crashNumberKept(fields.exceptionCode);
  return summary.checked();
}

std::pair<std::vector<std::string>, std::optional<std::string>> ownFrames(const Json& callStack,
                                                                          std::string_view executableName) {
  std::pair<std::vector<std::string>, std::optional<std::string>> found;
  auto& [frames, binaryID] = found;
  const auto stacks = callStack.find("callStacks");
  if (stacks == callStack.end() || !stacks->is_array() ||
      !std::ranges::all_of(*stacks, [](const Json& stack) { return stack.is_object(); }))
    return found;
  const auto crashed = std::ranges::find_if(*stacks, [](const Json& stack) {
    const auto attributed = stack.find("threadAttributed");
    return attributed != stack.end() && attributed->is_boolean() && attributed->get<bool>();
  });
  if (crashed == stacks->end()) return found;
  const auto roots = crashed->find("callStackRootFrames");
  if (roots == crashed->end() || !roots->is_array() || roots->empty()) return found;
  const Json* frame = &roots->front();
  for (std::size_t step = 0; step < maxFrameSteps && frame->is_object(); ++step) {
    const auto name = frame->find("binaryName");
    const auto offset = frame->find("offsetIntoBinaryTextSegment");
    // Booleans and fractions are no offsets.
    const bool own = name != frame->end() && name->is_string() && name->get_ref<const std::string&>() == executableName &&
                     offset != frame->end() && offset->is_number_integer() &&
                     (offset->is_number_unsigned() || offset->get<std::int64_t>() >= 0);
    if (own) {
      if (frames.size() < maxFrames) frames.push_back(crashFrameHex(offset->get<std::uint64_t>()));
      const auto uuid = frame->find("binaryUUID");
      if (!binaryID && uuid != frame->end() && uuid->is_string() &&
          crashBinaryUUIDPattern().matches(uuid->get_ref<const std::string&>())) {
        std::string shortened = uuid->get<std::string>().substr(0, 8);
        for (char& c : shortened) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        binaryID = shortened;
      }
    }
    const auto next = frame->find("subFrames");
    if (next == frame->end() || !next->is_array() || next->empty()) break;
    frame = &next->front();
  }
  return found;
}

std::vector<CrashSummary> merged(const std::vector<CrashSummary>& existing, const std::vector<CrashSummary>& adding,
                                 WallTime now) {
  std::vector<CrashSummary> kept;
  const auto keep = [&](const CrashSummary& summary) {
    if (!summary.checked() || secondsBetween(summary.date, now) > maxAgeSeconds) return;
    if (std::ranges::find(kept, summary) == kept.end()) kept.push_back(summary);
  };
  std::ranges::for_each(existing, keep);
  std::ranges::for_each(adding, keep);
  std::ranges::stable_sort(kept, std::greater<>(), &CrashSummary::date);
  if (kept.size() > maxStored) kept.resize(maxStored);
  return kept;
}

std::vector<std::string> draftLines(const std::vector<CrashSummary>& crashes, std::string_view language,
                                    std::string_view timeZone) {
  if (crashes.empty()) return {L10n::render(msg("落ちた記録: なし"), language)};
  std::vector<CrashSummary> newestFirst = crashes;
  std::ranges::stable_sort(newestFirst, std::greater<>(), &CrashSummary::date);
  std::vector<std::string> lines;
  for (const auto& crash : newestFirst) {
    std::string location;
    if (crash.stackRead && !crash.ownFrames.empty()) {
      location = "Hollin+" + crash.ownFrames.front();
      for (std::size_t i = 1; i < crash.ownFrames.size(); ++i) location += " +" + crash.ownFrames[i];
      if (crash.binaryID) location += " (" + *crash.binaryID + ")";
    } else {
      location = L10n::render(crash.stackRead ? msg("ホリンのコードの外") : msg("読めませんでした"), language);
    }
    lines.push_back(L10n::render(
        msg("落ちた記録: {0}・バージョン {1}（ビルド {2}）・macOS {3}・シグナル {4}・例外の種類 {5}・コード {6}・位置 {7}",
            posixDateText(crash.date, "yyyy-MM-dd HH:mm", timeZone), crash.appVersion, crash.build, crash.osVersion,
            crashNumberOrDash(crash.signal), crashNumberOrDash(crash.exceptionType), crashNumberOrDash(crash.exceptionCode),
            location),
        language));
  }
  return lines;
}

}  // namespace CrashLog
}  // namespace hollin
