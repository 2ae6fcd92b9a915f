#include "core/response/ResponseView.h"

#include <algorithm>
#include <cmath>

#include "core/L10n.h"

namespace hollin {
namespace {

using Row = std::vector<std::string>;

Row verdictRow(const Moment& moment, std::uint32_t uid, const AppResponse& verdict) {
  const auto text = [&](const LocalizedMessage& message) { return L10n::render(message, moment.language); };
  const double age = moment.now - verdict.checkedAt;
  LocalizedMessage state = msg("応答あり");
  if (isStale(false, moment.now, verdict.checkedAt)) state = msg("確認が古い");
  else if (verdict.suspected()) state = msg("応答が止まった疑い");
  else if (verdict.outcome == ProbeOutcome::failed) state = msg("再確認中");
  else if (verdict.outcome == ProbeOutcome::unavailable) state = msg("確認できない");
  const auto seconds = static_cast<long long>(std::max(0.0, std::floor(age)));
  const std::string separator = moment.language == "ja" ? "／" : " / ";
  return {verdict.name + separator + text(moment.scope.label(uid, moment.uid)), text(state),
          text(msg("{0}秒前", seconds)), text(msg("画面への問い合わせ。内部処理は対象外"))};
}

// Suspected first, then by name.
std::vector<AppResponse> ordered(std::vector<AppResponse> verdicts) {
  std::stable_sort(verdicts.begin(), verdicts.end(), [](const AppResponse& a, const AppResponse& b) {
    if (a.suspected() != b.suspected()) return a.suspected();
    return a.name < b.name;
  });
  return verdicts;
}

}  // namespace

void presentResponseTable(Screen& screen, const Moment& moment) {
  if (!moment.windowShown || !moment.snapshot || moment.selectedTab != AnalysisTab::response) return;
  const auto text = [&](const LocalizedMessage& message) { return L10n::render(message, moment.language); };
  const std::string none = "—";
  for (auto uid : moment.listedUIDs()) {
    const std::string label = text(moment.scope.label(uid, moment.uid));
    const PeerReport* report = moment.report(uid);
    if (!report) {
      screen.table.rows.push_back({label, text(msg("監視が未設定／停止")), none, text(msg("対象アカウントで起動と共有が必要"))});
    } else if (!report->trusted || !report->workerHealthy) {
      screen.table.rows.push_back({label, text(report->trusted ? msg("確認処理に失敗") : msg("追加の許可が必要")), none,
                                   text(msg("メモリー監視は別に継続"))});
    } else if (report->apps.empty()) {
      screen.table.rows.push_back({label, text(msg("確認待ち／対象なし")), none, text(msg("起動直後のアプリは30秒待ちます"))});
    } else {
      for (const auto& verdict : ordered(report->apps)) screen.table.rows.push_back(verdictRow(moment, uid, verdict));
    }
  }
}

void exportResponses(MetricsText& metrics, const Moment& moment) {
  metrics.gauge("hollin_response_checks_enabled", "1 while applications can be checked through the accessibility bus",
                flag(moment.accessibilityTrusted));
  metrics.gauge("hollin_response_worker_ok", "1 while the worker that checks applications works",
                flag(moment.workerHealthy));
  std::vector<std::pair<std::string, double>> hangs;
  for (const PeerReport& report : moment.peerReports()) {
    if (!report.trusted || !report.workerHealthy) continue;
    const auto count = std::count_if(report.apps.begin(), report.apps.end(), [&](const AppResponse& app) {
      return app.suspected() && !isStale(false, moment.now, app.checkedAt);
    });
    hangs.emplace_back(std::to_string(report.uid), static_cast<double>(count));
  }
  metrics.gauges("hollin_suspected_hangs", "Applications suspected of not responding, by the account running them",
                 "account_uid", hangs);
}

}  // namespace hollin
