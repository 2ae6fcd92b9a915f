#include "core/early/CrashReports.h"

#include <unicode/regex.h>
#include <unicode/uchar.h>
#include <unicode/utf8.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <map>
#include <memory>
#include <set>
#include <utility>

#include "core/DateText.h"

namespace hollin {
namespace {

constexpr int crashThreshold = 3;        // crashes within one day
constexpr double crashRepeat = 604800;   // 7 days
constexpr double futureTolerance = 300;  // seconds a crash may lie ahead of now (clock skew)
constexpr std::string_view crashKindPrefix = "crash:";

// The kernel keeps a process's name in 15 bytes; a longer executable name is cut there.
constexpr std::size_t commLength = 15;
// apport writes its report after the crash and its dump, within this many seconds.
constexpr double apportDelay = 300;

// Counted in characters, as the report's writer counts them.
constexpr std::string_view reportPattern =
    R"(^(.{1,200}?)-([0-9]{4})-([0-9]{2})-([0-9]{2})-([0-9]{2})([0-9]{2})([0-9]{2})[0-9]*(?:\.[0-9]{1,6})?\.ips$)";

const icu::RegexPattern* reportRegex() {
  static const std::unique_ptr<icu::RegexPattern> compiled = [] {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexPattern> pattern(icu::RegexPattern::compile(
        icu::UnicodeString::fromUTF8(icu::StringPiece(
            reportPattern.data(), static_cast<std::int32_t>(reportPattern.size()))),
        0, status));
    return U_SUCCESS(status) ? std::move(pattern) : nullptr;
  }();
  return compiled.get();
}

// White space (Unicode's White_Space property) removed at both ends; bytes that are not UTF-8
// end the trimming there.
std::string trimmed(std::string_view text) {
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
  const auto length = static_cast<std::int32_t>(text.size());
  std::int32_t begin = 0, end = length;
  while (begin < end) {
    std::int32_t next = begin;
    UChar32 c = 0;
    U8_NEXT(bytes, next, end, c);
    if (c < 0 || !u_isUWhiteSpace(c)) break;
    begin = next;
  }
  while (end > begin) {
    std::int32_t previous = end;
    UChar32 c = 0;
    U8_PREV(bytes, begin, previous, c);
    if (c < 0 || !u_isUWhiteSpace(c)) break;
    end = previous;
  }
  return std::string(
      text.substr(static_cast<std::size_t>(begin), static_cast<std::size_t>(end - begin)));
}

// A whole decimal number, nothing before or after it.
template <class Number>
std::optional<Number> decimal(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A time in µs since 1970; nothing beyond what a WallTime holds (a name may say anything).
std::optional<WallTime> fromMicroseconds(std::uint64_t microseconds) {
  constexpr auto latest =
      std::chrono::duration_cast<std::chrono::microseconds>(WallTime::duration::max()).count();
  if (microseconds > static_cast<std::uint64_t>(latest)) return std::nullopt;
  return WallTime(std::chrono::duration_cast<WallTime::duration>(
      std::chrono::microseconds(static_cast<std::int64_t>(microseconds))));
}

// Splits the last ".field" off text: the field, and text shortened before its dot.
std::optional<std::string_view> popField(std::string_view& text) {
  const auto dot = text.rfind('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const std::string_view field = text.substr(dot + 1);
  text = text.substr(0, dot);
  return field;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// systemd writes some bytes of a name (dots, slashes, spaces, controls, non-ASCII) as "\xNN".
std::string unescaped(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] == 'x') {
      const int high = hexDigit(text[i + 2]), low = hexDigit(text[i + 3]);
      if (high >= 0 && low >= 0 && (high | low) != 0) {
        out += static_cast<char>(high * 16 + low);
        i += 3;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

template <class T>
const std::vector<T>& orEmpty(const std::optional<std::vector<T>>& list) {
  static const std::vector<T> none;
  return list ? *list : none;
}

// The same program as the process name `comm`, which the kernel may have cut short.
bool sameProgram(std::string_view comm, std::string_view name) {
  return comm == name || (comm.size() == commLength && name.starts_with(comm));
}

std::string crashesText(const std::vector<CrashTally>& others, std::string_view language) {
  const std::string_view separator = earlySeparator(language);
  std::string text;
  for (std::size_t i = 0; i < others.size() && i < 3; ++i) {
    if (i > 0) text += separator;
    text += L10n::render(msg("{0}（{1}回）", others[i].name, others[i].count), language);
  }
  if (others.size() > 3)
    text += std::string(separator) + L10n::render(msg("ほか{0}つ", others.size() - 3), language);
  return text;
}

}  // namespace

namespace CrashReports {

std::optional<CrashRecord> parse(std::string_view fileName, std::string_view timeZone) {
  const icu::RegexPattern* pattern = reportRegex();
  if (!pattern) return std::nullopt;
  const icu::UnicodeString name = icu::UnicodeString::fromUTF8(
      icu::StringPiece(fileName.data(), static_cast<std::int32_t>(fileName.size())));
  UErrorCode status = U_ZERO_ERROR;
  const std::unique_ptr<icu::RegexMatcher> matcher(pattern->matcher(name, status));
  if (U_FAILURE(status) || !matcher->find(status) || U_FAILURE(status)) return std::nullopt;
  std::array<std::string, 8> groups;
  for (int group = 1; group < 8; ++group) {
    matcher->group(group, status).toUTF8String(groups[static_cast<std::size_t>(group)]);
    if (U_FAILURE(status)) return std::nullopt;
  }
  CrashRecord record{trimmed(groups[1]), {}};
  if (record.name.empty()) return std::nullopt;
  std::array<int, 6> fields{};
  for (std::size_t i = 0; i < fields.size(); ++i) {
    const auto value = decimal<int>(groups[i + 2]);
    if (!value) return std::nullopt;
    fields[i] = *value;
  }
  const auto at =
      civilMoment({fields[0], fields[1], fields[2], fields[3], fields[4], fields[5]}, timeZone);
  if (!at) return std::nullopt;
  record.at = *at;
  return record;
}

std::optional<CoreDumpName> parseCoreDumpName(std::string_view fileName) {
  if (!fileName.starts_with("core.")) return std::nullopt;
  std::string_view rest = fileName.substr(5);
  for (std::string_view compression : {".zst", ".xz", ".lz4", ".gz"})
    if (rest.ends_with(compression)) {
      rest.remove_suffix(compression.size());
      break;
    }
  // From the right; where the uid is missing, so is every field after it.
  const auto microseconds = popField(rest);
  const auto pid = popField(rest);
  const auto bootId = popField(rest);
  const auto uid = popField(rest);
  if (!uid || bootId->size() != 32 ||
      !std::all_of(bootId->begin(), bootId->end(), [](char c) { return hexDigit(c) >= 0; }))
    return std::nullopt;
  CoreDumpName dump;
  dump.name = trimmed(unescaped(rest));
  const auto uidValue = decimal<std::uint32_t>(*uid);
  const auto pidValue = decimal<std::uint64_t>(*pid);
  const auto time = decimal<std::uint64_t>(*microseconds);
  if (dump.name.empty() || !uidValue || !pidValue || !time) return std::nullopt;
  dump.uid = *uidValue, dump.pid = *pidValue, dump.microseconds = *time;
  return dump;
}

std::optional<ApportName> parseApportName(std::string_view fileName) {
  if (!fileName.ends_with(".crash")) return std::nullopt;
  std::string_view mangled = fileName.substr(0, fileName.size() - 6);
  const auto uidField = popField(mangled);
  if (!uidField || !mangled.starts_with('_')) return std::nullopt;
  const auto uid = decimal<std::uint32_t>(*uidField);
  if (!uid) return std::nullopt;
  std::string_view name = mangled.substr(1);
  std::size_t after = 0;
  for (std::string_view folder : {"_bin_", "_sbin_"})
    if (const auto at = mangled.rfind(folder); at != std::string_view::npos)
      after = std::max(after, at + folder.size());
  if (after > 0) name = mangled.substr(after);
  ApportName report{trimmed(name), *uid};
  if (report.name.empty()) return std::nullopt;
  return report;
}

std::optional<std::vector<CrashRecord>> fromSources(const native::CrashSources& sources,
                                                    std::uint32_t uid) {
  if (!sources.journal && !sources.coreDumps && !sources.apport) return std::nullopt;
  std::vector<CrashRecord> records;
  // The journal's entry and the dump file of one crash carry the same pid and microsecond.
  std::set<std::pair<std::uint64_t, std::uint64_t>> dumped;
  for (const auto& entry : orEmpty(sources.journal)) {
    std::string name = entry.comm ? trimmed(*entry.comm) : std::string();
    if (name.empty() && entry.exe) name = trimmed(entry.exe->substr(entry.exe->rfind('/') + 1));
    if (name.empty()) continue;
    const auto time = entry.timestamp ? decimal<std::uint64_t>(*entry.timestamp) : std::nullopt;
    const auto pid = entry.pid ? decimal<std::uint64_t>(*entry.pid) : std::nullopt;
    const auto at = fromMicroseconds(time.value_or(entry.realtime));
    if (!at || (time && pid && !dumped.emplace(*pid, *time).second)) continue;
    records.push_back({std::move(name), *at});
  }
  for (const auto& file : orEmpty(sources.coreDumps)) {
    auto dump = parseCoreDumpName(file.name);
    const auto at = dump ? fromMicroseconds(dump->microseconds) : std::nullopt;
    if (!at || dump->uid != uid || !dumped.emplace(dump->pid, dump->microseconds).second) continue;
    records.push_back({std::move(dump->name), *at});
  }
  // apport may write its report of a crash that systemd-coredump recorded too; that report is the
  // same crash as the dump of the same program shortly before it.
  const std::size_t dumps = records.size();
  for (const auto& file : orEmpty(sources.apport)) {
    auto report = parseApportName(file.name);
    const auto written = report && file.modified >= 0
                             ? fromMicroseconds(static_cast<std::uint64_t>(file.modified))
                             : std::nullopt;
    if (!written || report->uid != uid) continue;
    const bool recorded = std::any_of(
        records.begin(), records.begin() + static_cast<std::ptrdiff_t>(dumps),
        [&](const CrashRecord& record) {
          const double before = secondsBetween(record.at, *written);
          return before >= 0 && before <= apportDelay && sameProgram(record.name, report->name);
        });
    if (!recorded) records.push_back({std::move(report->name), *written});
  }
  return records;
}

std::vector<CrashTally> tally(const std::vector<CrashRecord>& records, WallTime now, double days) {
  std::map<std::string, CrashTally> byName;
  for (const auto& record : records) {
    const double age = secondsBetween(record.at, now);
    if (age < -futureTolerance || age > days * 86400) continue;
    auto& tally =
        byName.try_emplace(record.name, CrashTally{record.name, 0, record.at}).first->second;
    ++tally.count;
    tally.last = std::max(tally.last, record.at);
  }
  std::vector<CrashTally> tallies;
  for (auto& [name, tally] : byName) tallies.push_back(std::move(tally));
  // By name already; a stable sort keeps that order among equal counts.
  std::stable_sort(tallies.begin(), tallies.end(),
                   [](const CrashTally& a, const CrashTally& b) { return a.count > b.count; });
  return tallies;
}

std::vector<EarlyTableRow> rows(const std::optional<std::vector<CrashRecord>>& records,
                                const std::vector<EarlyWarning>& warnings, WallTime now,
                                std::string_view language, std::string_view timeZone) {
  const std::string item = L10n::render(msg("落ちたアプリ"), language);
  if (!records) return {{item, EarlyTone::plain, L10n::render(msg("取得不可"), language), "—"}};
  const auto week = tally(*records, now, 7);
  if (week.empty())
    return {{item, EarlyTone::plain, std::nullopt,
             L10n::render(msg("この7日間に落ちたアプリはありません"), language)}};
  const auto day = tally(*records, now, 1);
  std::set<std::string, std::less<>> frequent;
  for (const auto& warning : warnings)
    if (warning.kind.starts_with(crashKindPrefix))
      frequent.insert(warning.kind.substr(crashKindPrefix.size()));

  std::vector<EarlyTableRow> rows;
  std::vector<CrashTally> others;
  for (const auto& crashes : week) {
    if (!frequent.contains(crashes.name)) {
      others.push_back(crashes);
      continue;
    }
    const auto today = std::find_if(day.begin(), day.end(),
                                    [&](const CrashTally& t) { return t.name == crashes.name; });
    const int dayCount = today != day.end() ? today->count : crashes.count;
    rows.push_back({
        L10n::render(msg("落ちたアプリ：{0}", crashes.name), language),
        EarlyTone::attention,
        L10n::render(msg("24時間に{0}回", dayCount), language),
        L10n::render(msg("7日間に{0}回", crashes.count), language) +
            std::string(earlySeparator(language)) +
            L10n::render(msg("最後：{0}", shortDateTimeText(crashes.last, language, timeZone)),
                         language),
    });
  }
  if (!others.empty())
    rows.push_back({
        rows.empty() ? item : L10n::render(msg("ほかに落ちたアプリ"), language),
        EarlyTone::plain,
        L10n::render(msg("{0}つ（7日間）", others.size()), language),
        crashesText(others, language),
    });
  return rows;
}

}  // namespace CrashReports

namespace EarlyWarnings {

std::vector<EarlyWarning> crashes(const std::vector<CrashRecord>& records, WallTime now,
                                  std::string_view language) {
  std::vector<EarlyWarning> warnings;
  for (const auto& tally : CrashReports::tally(records, now, 1)) {
    if (tally.count < crashThreshold) continue;
    warnings.push_back({
        .kind = std::string(crashKindPrefix) + tally.name,
        .signature = "day",
        .urgent = false,
        .title = L10n::render(msg("よく落ちるアプリがあります"), language),
        .message = L10n::render(
            msg("「{0}」がこの24時間に{1}回落ちました。アップデートがないか確かめてください。",
                tally.name, tally.count),
            language),
        .repeatAfter = crashRepeat,
        .severity = 0,
    });
  }
  return warnings;
}

}  // namespace EarlyWarnings

}  // namespace hollin
