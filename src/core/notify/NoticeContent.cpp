#include "core/notify/NoticeContent.h"

#include <charconv>
#include <string>

#include "core/L10n.h"
#include "core/notify/NotificationRules.h"

namespace hollin {

const std::array<NoticeAction, 2>& noticeActions() {
  static const std::array<NoticeAction, 2> actions = {{
      {openMonitorAction, msg("アクティビティモニタを開く")},
      {muteAction, msg("通知を10分止める（危ないときは知らせる）")},
  }};
  return actions;
}

LocalizedMessage clickActionTitle() { return msg("ホリンの分析画面を開く"); }

std::optional<NoticeRequest> memoryNotice(std::string_view rawValue) {
  std::optional<LocalizedMessage> title;
  if (rawValue == "early") title = msg("メモリーの使用量が増えています");
  if (rawValue == "warning") title = msg("メモリーの余裕が少なくなっています");
  if (rawValue == "critical") title = msg("メモリーの余裕がほとんどありません");
  if (!title) return std::nullopt;
  return NoticeRequest{"memory-" + std::string(rawValue), *title,
                       msg("ホリンの分析画面で、使用量を確認してください。"), rawValue == "critical"};
}

std::string hangKey(std::uint32_t uid, std::int32_t pid, std::uint64_t start) {
  return std::to_string(uid) + "-" + std::to_string(pid) + "-" + std::to_string(start);
}

NoticeRequest hangNotice(std::string_view key, const LocalizedMessage& accountLabel) {
  return {"hang-" + std::string(key), msg("応答が止まった疑いのあるアプリがあります"),
          msg("{0}の状態を、ホリンで確認してください。", L10n::text(accountLabel)), false};
}

std::optional<std::uint32_t> hangSourceUID(std::string_view identifier) {
  if (!identifier.starts_with("hang-")) return std::nullopt;
  const std::string_view rest = identifier.substr(5);
  const std::string_view part = rest.substr(0, rest.find('-'));
  std::uint32_t uid = 0;
  const auto [end, ec] = std::from_chars(part.data(), part.data() + part.size(), uid);
  if (ec != std::errc() || end != part.data() + part.size() || part.empty()) return std::nullopt;
  return uid;
}

}  // namespace hollin
