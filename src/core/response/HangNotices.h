// Which suspected applications are told about, from every account's report: one notice per
// process at most every 10 minutes, posted only by the account at the console.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "core/memory/HeldReport.h"

namespace hollin {

inline constexpr double hangNoticeInterval = 600.0;    // seconds between notices of one process
inline constexpr double hangNoticeMemory = 3600.0;     // seconds a notice is remembered
inline constexpr double hangVerdictMaxAge = 20.0;      // seconds a suspected verdict counts

struct DueHangNotice {
  std::string key;        // owner uid "-" pid "-" start
  std::uint32_t uid = 0;  // the reporting account
  bool operator==(const DueHangNotice&) const = default;
};

class HangNoticeLedger {
 public:
  // The notices due at uptime `now` from the reports that may be trusted, each marked pending
  // until it is settled. Nothing when `consoleUID` is not `uid`.
  std::vector<DueHangNotice> due(const std::vector<PeerReport>& reports, double now, std::uint32_t consoleUID,
                                 std::uint32_t uid);
  // The posting of `key` was answered (or never sent): no longer pending; when accepted, told
  // at `at`.
  void settle(const std::string& key, bool accepted, double at);
  // Forgets notices told hangNoticeMemory seconds or more before `now`.
  void prune(double now);

  bool pending(const std::string& key) const { return pending_.contains(key); }
  const std::map<std::string, double>& told() const { return told_; }

 private:
  std::map<std::string, double> told_;
  std::set<std::string> pending_;
};

}  // namespace hollin
