#include "core/response/HangNotices.h"

#include "core/notify/NoticeContent.h"

namespace hollin {

std::vector<DueHangNotice> HangNoticeLedger::due(const std::vector<PeerReport>& reports, double now,
                                                 std::uint32_t consoleUID, std::uint32_t uid) {
  std::vector<DueHangNotice> due;
  if (consoleUID != uid) return due;
  for (const PeerReport& report : reports) {
    if (!report.trusted || !report.workerHealthy) continue;
    for (const AppResponse& app : report.apps) {
      if (!app.suspected() || !(now - app.checkedAt <= hangVerdictMaxAge)) continue;
      std::string key = hangKey(report.uid, app.identity.pid, app.identity.start);
      if (pending_.contains(key)) continue;
      const auto told = told_.find(key);
      if (told != told_.end() && now - told->second < hangNoticeInterval) continue;
      pending_.insert(key);
      due.push_back({std::move(key), report.uid});
    }
  }
  return due;
}

void HangNoticeLedger::settle(const std::string& key, bool accepted, double at) {
  pending_.erase(key);
  if (accepted) told_[key] = at;
}

void HangNoticeLedger::prune(double now) {
  std::erase_if(told_, [now](const auto& entry) { return now - entry.second >= hangNoticeMemory; });
}

}  // namespace hollin
