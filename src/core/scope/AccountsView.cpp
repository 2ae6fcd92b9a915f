#include "core/scope/AccountsView.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <map>
#include <set>

#include "core/L10n.h"
#include "core/scope/LoginState.h"

namespace hollin {
namespace {

using Row = std::vector<std::string>;

class Tables {
 public:
  explicit Tables(const Moment& moment) : moment_(moment) {}

  std::vector<Row> users() const {
    std::vector<Row> rows;
    for (auto uid : moment_.listedUIDs()) {
      const PeerReport* report = moment_.report(uid);
      std::optional<std::uint64_t> footprint, resident;
      for (const auto& process : moment_.combinedProcesses()) {
        if (process.uid != uid) continue;
        if (process.footprint) footprint = footprint.value_or(0) + *process.footprint;
        if (process.resident) resident = resident.value_or(0) + *process.resident;
      }
      const LocalizedMessage answer = !report             ? msg("応答監視は未設定／停止")
                                      : !working(*report) ? msg("許可・状態を要確認")
                                                          : msg("応答確認中");
      rows.push_back({label(uid), text(loginState(moment_, uid).message()), memory(footprint),
                      memory(resident), text(answer)});
    }
    return rows;
  }

  std::vector<Row> settings() const {
    std::vector<Row> rows;
    const auto allowed = moment_.scope.allowedUIDs(moment_.uid);
    for (auto uid : allowed) {
      const PeerReport* report = moment_.report(uid);
      if (!report || !report->monitorStatus) {
        const std::string unknown = text(msg("確認できません"));
        rows.push_back({label(uid), unknown, unknown, text(msg("対象側の更新と共有設定を確認"))});
        continue;
      }
      const auto& status = *report->monitorStatus;
      const auto received = std::count_if(allowed.begin(), allowed.end(),
                                          [&](std::uint32_t id) {
                                            return std::find(status.receivedUIDs.begin(), status.receivedUIDs.end(),
                                                             id) != status.receivedUIDs.end();
                                          });
      rows.push_back({label(uid), "v" + status.version,
                      text(status.loginEnabled ? msg("オン（登録済み）") : msg("オフ／許可待ち")),
                      text(status.sharingEnabled ? msg("有効・{0}アカウントを受信", static_cast<long long>(received))
                                                 : msg("無効"))});
    }
    return rows;
  }

  static LoginState loginState(const Moment& moment, std::uint32_t uid) {
    const PeerReport* report = moment.report(uid);
    return LoginState::resolve(uid, moment.consoleUID, moment.snapshot->loggedInUIDs,
                               report && report->hasFreshMemory(moment.now), moment.stale());
  }

 private:
  std::string text(const LocalizedMessage& message) const { return L10n::render(message, moment_.language); }
  std::string label(std::uint32_t uid) const { return text(moment_.scope.label(uid, moment_.uid)); }
  std::string memory(std::optional<std::uint64_t> bytes) const { return memoryText(bytes, moment_.language); }
  static bool working(const PeerReport& report) { return report.trusted && report.workerHealthy; }

  const Moment& moment_;
};

// Accounts without a readable memory figure: "1001・1002" in Japanese, "UID 1001, UID 1002"
// in English, where a bare number would not read as an account.
std::string missingAccounts(const std::vector<std::uint32_t>& uids, std::string_view language) {
  std::string list;
  for (auto uid : uids) {
    if (language == "ja") list += (list.empty() ? "" : "・") + std::to_string(uid);
    else list += (list.empty() ? "UID " : ", UID ") + std::to_string(uid);
  }
  return list;
}

}  // namespace

void presentAccountTables(Screen& screen, const Moment& moment) {
  if (!moment.windowShown || !moment.snapshot) return;
  if (moment.selectedTab == AnalysisTab::users) screen.table.rows = Tables(moment).users();
  if (moment.selectedTab == AnalysisTab::settings) screen.table.rows = Tables(moment).settings();
}

void presentAccountNotes(Screen& screen, const Moment& moment) {
  const auto& language = moment.language;
  const auto render = [&](const LocalizedMessage& message) { return L10n::render(message, language); };
  std::vector<std::string> coverage;
  if (moment.snapshot && moment.snapshot->enumerationError != 0) {
    coverage.push_back(render(msg("このアカウントのプロセス一覧を取得できません。")));
  } else if (moment.snapshot) {
    std::vector<std::uint32_t> missing;
    for (auto uid : moment.scope.allowedUIDs(moment.uid)) {
      const auto& processes = moment.combinedProcesses();
      if (std::none_of(processes.begin(), processes.end(),
                       [uid](const ProcessMemory& p) { return p.uid == uid && p.footprint.has_value(); }))
        missing.push_back(uid);
    }
    if (!missing.empty())
      coverage.push_back(render(msg("{0}は未取得です。対象側で起動と共有が必要です。", missingAccounts(missing, language))));
  }
  if (moment.accessibilityTrusted && !moment.workerHealthy)
    coverage.push_back(render(msg("このアカウントの応答確認の処理に失敗しています。「監視の設定」で状態を確認してください。")));
  if (moment.sharing && !moment.sharingHealthy)
    coverage.push_back(render(msg("状態の共有に失敗しています。フォルダの状態を確認してください。")));
  screen.coverage = joinedLines(coverage);

  const auto notifications = moment.notificationsAllowed ? msg("許可済み") : msg("未許可（メニューバーには表示）");
  // A session without any accessibility bus (Wayland without at-spi2-core) cannot be given
  // the permission at all; that is said rather than asked for.
  const auto response = moment.accessibilityBusMissing ? msg("使えません（アクセシビリティバスなし）")
                        : !moment.accessibilityTrusted ? msg("追加の許可が必要")
                        : moment.workerHealthy       ? msg("有効")
                                                     : msg("確認処理に失敗");
  const auto sharing = !moment.sharing ? msg("無効") : moment.sharingHealthy ? msg("有効") : msg("保存に失敗");
  // The separators are ideographic spaces in Japanese; the English line has its own.
  screen.permissions = render(msg("通知：{0}　このアカウントの応答確認：{1}　共有：{2}", render(notifications),
                                  render(response), render(sharing)));
  screen.sharingChecked = moment.sharing;
  screen.loginChecked = moment.loginEnabled;
  if (moment.sharing && !moment.sharingHealthy)
    screen.sharingTip = render(msg("状態の共有に失敗しています。フォルダの状態を確認してください。"));
}

std::vector<std::uint32_t> receivedUIDs(const Moment& moment) {
  std::vector<std::uint32_t> uids;
  for (const auto& report : moment.peerReports())
    if (report.hasFreshMemory(moment.now)) uids.push_back(report.uid);
  std::sort(uids.begin(), uids.end());
  uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
  return uids;
}

void recordAccounts(nlohmann::json& record, const Moment& moment) {
  struct Counts {
    int processes = 0, footprintReadable = 0, residentReadable = 0;
  };
  std::map<std::uint32_t, Counts> byUID;  // ascending uid
  const AccountRange accounts = ordinaryAccounts();
  // The sharing profile's accounts count even where their ids lie below this machine's range.
  const auto shared = moment.scope.supportsSharing() ? moment.scope.allowedUIDs(moment.uid) : std::set<std::uint32_t>{};
  for (const auto& process : moment.combinedProcesses()) {
    if (!accounts.contains(process.uid) && !shared.contains(process.uid)) continue;
    Counts& counts = byUID[process.uid];
    ++counts.processes;
    counts.footprintReadable += process.footprint ? 1 : 0;
    counts.residentReadable += process.resident ? 1 : 0;
  }
  auto users = nlohmann::json::array();
  for (const auto& [uid, counts] : byUID)
    users.push_back({{"uid", uid},
                     {"state", std::string(Tables::loginState(moment, uid).rawValue())},
                     {"processes", counts.processes},
                     {"footprintReadable", counts.footprintReadable},
                     {"residentReadable", counts.residentReadable}});
  record["users"] = std::move(users);
  record["accountProfile"] = std::string(moment.scope.rawValue());
  record["sharingEnabled"] = moment.sharing;
  record["loginEnabled"] = moment.loginEnabled;
  // Null until reports are shared: nobody could have sent one.
  if (moment.reports) record["receivedUIDs"] = receivedUIDs(moment);
}

}  // namespace hollin
