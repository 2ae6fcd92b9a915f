#include "core/ui/AnalysisView.h"

#include <algorithm>
#include <cmath>

#include "core/L10n.h"
#include "core/scope/LoginState.h"
#include "core/ui/StatusView.h"

namespace hollin {

namespace {

using Row = std::vector<std::string>;

class TableBuilder {
 public:
  explicit TableBuilder(const ViewState& state) : state_(state) {}

  TableView build() const {
    TableView table;
    for (const auto& title : tableHeader(state_.selectedTab)) table.header.push_back(text(title));
    table.layout = columnLayout(state_.selectedTab);
    table.wrapping = state_.selectedTab == AnalysisTab::early;
    switch (state_.selectedTab) {
      case AnalysisTab::apps: table.rows = apps(); break;
      case AnalysisTab::users: table.rows = users(); break;
      case AnalysisTab::response: table.rows = response(); break;
      case AnalysisTab::settings: table.rows = settings(); break;
      case AnalysisTab::early:
        for (const auto& row : state_.earlyRows) {
          if (row.tone != RowTone::plain)
            table.tones[static_cast<int>(table.rows.size())] = row.tone;
          table.rows.push_back(row.cells);
        }
        break;
    }
    return table;
  }

 private:
  std::string text(const LocalizedMessage& message) const {
    return L10n::render(message, state_.language);
  }
  std::string label(std::uint32_t uid) const {
    return text(state_.scope.label(uid, state_.currentUID));
  }
  std::string memory(std::optional<std::uint64_t> bytes) const {
    return memoryText(bytes, state_.language);
  }

  const ReportView* report(std::uint32_t uid) const {
    const auto found = std::find_if(state_.reports.begin(), state_.reports.end(),
                                    [uid](const ReportView& r) { return r.uid == uid; });
    return found == state_.reports.end() ? nullptr : &*found;
  }
  bool hasFreshMemory(const ReportView* r) const {
    if (!r || !r->memoryComplete) return false;
    const double age = state_.now - r->memoryCheckedAt;
    return age >= -reportFreshFuture && age <= reportFreshPast;
  }
  static bool working(const ReportView& r) { return r.trusted && r.workerHealthy; }

  // The snapshot's accounts together with those the scope lets this account watch, ascending.
  std::vector<std::uint32_t> listedUIDs() const {
    std::set<std::uint32_t> uids = state_.scope.allowedUIDs(state_.currentUID);
    for (auto uid : state_.snapshot->userIDs()) uids.insert(uid);
    return {uids.begin(), uids.end()};
  }

  std::vector<Row> apps() const {
    std::vector<Row> rows;
    for (const auto& group : state_.appGroups)
      rows.push_back({group.name, label(group.uid), memory(group.footprint),
                      memory(group.resident) + "\u3000" +
                          text(msg("{0}/{1}件取得", group.readableCount, group.processCount))});
    return rows;
  }

  std::vector<Row> users() const {
    std::vector<Row> rows;
    for (auto uid : listedUIDs()) {
      const ReportView* r = report(uid);
      const auto login = LoginState::resolve(uid, state_.consoleUID, state_.snapshot->loggedInUIDs,
                                             hasFreshMemory(r), state_.stale);
      std::optional<std::uint64_t> footprint, resident;
      for (const auto& process : state_.combinedProcesses) {
        if (process.uid != uid) continue;
        if (process.footprint) footprint = footprint.value_or(0) + *process.footprint;
        if (process.resident) resident = resident.value_or(0) + *process.resident;
      }
      const LocalizedMessage answer = !r           ? msg("応答監視は未設定／停止")
                                      : !working(*r) ? msg("許可・状態を要確認")
                                                     : msg("応答確認中");
      rows.push_back({label(uid), text(login.message()), memory(footprint), memory(resident),
                      text(answer)});
    }
    return rows;
  }

  std::vector<Row> response() const {
    std::vector<Row> rows;
    const std::string none = "—";
    for (auto uid : listedUIDs()) {
      const ReportView* r = report(uid);
      if (!r) {
        rows.push_back({label(uid), text(msg("監視が未設定／停止")), none,
                        text(msg("対象アカウントで起動と共有が必要"))});
      } else if (!working(*r)) {
        rows.push_back({label(uid), text(r->trusted ? msg("確認処理に失敗") : msg("追加の許可が必要")),
                        none, text(msg("メモリー監視は別に継続"))});
      } else if (r->verdicts.empty()) {
        rows.push_back({label(uid), text(msg("確認待ち／対象なし")), none,
                        text(msg("起動直後のアプリは30秒待ちます"))});
      } else {
        for (const auto& verdict : orderedVerdicts(r->verdicts)) rows.push_back(verdictRow(uid, verdict));
      }
    }
    return rows;
  }

  static std::vector<VerdictView> orderedVerdicts(std::vector<VerdictView> verdicts) {
    std::stable_sort(verdicts.begin(), verdicts.end(), [](const auto& a, const auto& b) {
      if (a.suspected != b.suspected) return a.suspected;
      return a.name < b.name;
    });
    return verdicts;
  }

  Row verdictRow(std::uint32_t uid, const VerdictView& verdict) const {
    const double age = state_.now - verdict.checkedAt;
    LocalizedMessage stateText = msg("応答あり");
    if (age > verdictMaxAge) stateText = msg("確認が古い");
    else if (verdict.suspected) stateText = msg("応答が止まった疑い");
    else if (verdict.outcome == VerdictOutcome::failed) stateText = msg("再確認中");
    else if (verdict.outcome == VerdictOutcome::unavailable) stateText = msg("確認できない");
    const auto seconds = static_cast<long long>(std::max(0.0, std::floor(age)));
    return {verdictName(verdict.name, uid), text(stateText), text(msg("{0}秒前", seconds)),
            text(msg("画面への問い合わせ。内部処理は対象外"))};
  }

  std::string verdictName(const std::string& name, std::uint32_t uid) const {
    return name + "／" + label(uid);
  }

  std::vector<Row> settings() const {
    std::vector<Row> rows;
    const auto allowed = state_.scope.allowedUIDs(state_.currentUID);
    for (auto uid : allowed) {
      const ReportView* r = report(uid);
      if (!r || !r->monitorStatus) {
        const std::string unknown = text(msg("確認できません"));
        rows.push_back({label(uid), unknown, unknown, text(msg("対象側の更新と共有設定を確認"))});
        continue;
      }
      const auto& status = *r->monitorStatus;
      const auto received = std::count_if(allowed.begin(), allowed.end(), [&](std::uint32_t id) {
        return status.receivedUIDs.contains(id);
      });
      rows.push_back({label(uid), "v" + status.version,
                      text(status.loginEnabled ? msg("オン（登録済み）") : msg("オフ／許可待ち")),
                      text(status.sharingEnabled
                               ? msg("有効・{0}アカウントを受信", static_cast<long long>(received))
                               : msg("無効"))});
    }
    return rows;
  }

  const ViewState& state_;
};

}  // namespace

std::string segmentLabel(AnalysisTab tab, const ViewState& state) {
  const auto& language = state.language;
  if (tab == AnalysisTab::apps && state.selectedTab == AnalysisTab::apps) {
    const auto sort = state.sortedByName ? msg("名前順") : msg("使用量順");
    return L10n::render(msg("アプリ別（{0}）", L10n::render(sort, language)), language);
  }
  if (tab == AnalysisTab::early && state.earlyConcerns > 0)
    return L10n::render(msg("Mac の健康 ⚠︎ {0}", state.earlyConcerns), language);
  return L10n::render(plainLabel(tab), language);
}

std::vector<std::string> coverageLines(const ViewState& state) {
  std::vector<LocalizedMessage> lines;
  if (state.snapshot->enumerationError != 0) {
    lines.push_back(msg("このアカウントのプロセス一覧を取得できません。"));
  } else {
    std::string missing;
    for (auto uid : state.scope.allowedUIDs(state.currentUID)) {
      const bool seen = std::any_of(
          state.combinedProcesses.begin(), state.combinedProcesses.end(),
          [uid](const ProcessMemory& p) { return p.uid == uid && p.footprint.has_value(); });
      if (!seen) missing += (missing.empty() ? "" : "・") + std::to_string(uid);
    }
    if (!missing.empty())
      lines.push_back(msg("{0}は未取得です。対象側で起動と共有が必要です。", missing));
  }
  if (state.accessibilityTrusted && !state.workerHealthy)
    lines.push_back(msg("このアカウントの応答確認の処理に失敗しています。「監視の設定」で状態を確認してください。"));
  if (state.sharing && !state.sharingHealthy)
    lines.push_back(msg("状態の共有に失敗しています。フォルダの状態を確認してください。"));
  std::vector<std::string> texts;
  for (const auto& line : lines) texts.push_back(L10n::render(line, state.language));
  return texts;
}

std::string permissionsLine(const ViewState& state) {
  const auto& language = state.language;
  const auto notifications =
      state.notificationsAllowed ? msg("許可済み") : msg("未許可（メニューバーには表示）");
  const auto response = !state.accessibilityTrusted ? msg("追加の許可が必要")
                        : state.workerHealthy        ? msg("有効")
                                                     : msg("確認処理に失敗");
  const auto sharing = !state.sharing          ? msg("無効")
                       : state.sharingHealthy ? msg("有効")
                                              : msg("保存に失敗");
  return L10n::render(msg("通知：{0}　このアカウントの応答確認：{1}　共有：{2}",
                          L10n::render(notifications, language), L10n::render(response, language),
                          L10n::render(sharing, language)),
                      language);
}

std::string earlySummary(int concerns, std::string_view language) {
  return L10n::render(concerns > 0 ? msg("気になる点が{0}つあります。", concerns)
                                   : msg("いま気になる点はありません。"),
                      language);
}

TableView tableView(const ViewState& state) { return TableBuilder(state).build(); }

std::optional<AnalysisView> analysisView(const ViewState& state) {
  if (!state.snapshot) return std::nullopt;
  AnalysisView view;
  view.statusTitle = L10n::render(state.status.title, state.language);
  view.statusExplanation = L10n::render(state.status.explanation, state.language);
  view.statusToolTip = statusToolTip(state.status, state.language);
  view.colour = state.status.colour;
  view.cards = cards(state);
  for (const auto& line : coverageLines(state))
    view.coverage += (view.coverage.empty() ? "" : "\n") + line;
  if (state.selectedTab == AnalysisTab::early)
    view.earlySummary = earlySummary(state.earlyConcerns, state.language);
  view.permissions = permissionsLine(state);
  view.settingsVisible = state.selectedTab == AnalysisTab::settings;
  const auto order = tabOrder(state.scope);
  for (std::size_t i = 0; i < order.size(); ++i) view.segmentLabels[i] = segmentLabel(order[i], state);
  view.table = tableView(state);
  return view;
}

}  // namespace hollin
