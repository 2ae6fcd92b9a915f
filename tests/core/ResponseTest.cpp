#include <gtest/gtest.h>

#include "core/TextCut.h"
#include "core/response/HangNotices.h"
#include "core/response/ProbeMessages.h"
#include "core/response/ProbeRotation.h"
#include "core/response/ResponsePolicy.h"

namespace hollin {
namespace {

ProbeResult result(ProbeOutcome outcome, std::int32_t pid = 812, std::uint64_t start = 5) {
  return {{pid, start}, "Editor", outcome};
}

TEST(ResponsePolicy, ARunOfFailuresEndsWithAnAnswerAGapOrAStillClockAndFifteenSecondsMakeASuspect) {
  using enum ProbeOutcome;
  // One app's outcome at an uptime, then its verdict: failures, first failure, suspected, and
  // whether this observation made it a suspect.
  struct Step { ProbeOutcome outcome; double at; int failures; std::optional<double> first; bool suspected, told; const char* why; };
  const Step steps[] = {
      {failed, 100, 1, 100, false, false, "a first failure"},
      {failed, 105, 2, 100, false, false, "5 s is not yet 15"},
      {failed, 115, 3, 100, true, true, "15 s make a suspect"},
      {failed, 120, 4, 100, true, false, "suspected once, told once"},
      {responsive, 125, 0, {}, false, false, "an answer ends the run"},
      {failed, 130, 1, 130, false, false, "a new run"},
      {failed, 161, 1, 161, false, false, "31 s after the last look starts afresh"},
      {failed, 161, 1, 161, false, false, "the same uptime is no continuation"},
      {unavailable, 165, 0, {}, false, false, "an unavailable answer is no failure either"},
  };
  ResponsePolicy policy;
  for (const Step& step : steps) {
    EXPECT_EQ(policy.observe(result(step.outcome), step.at), step.told) << step.why;
    const AppResponse& verdict = policy.apps().at({812, 5});
    EXPECT_EQ(std::tuple(verdict.failures, verdict.firstFailure, verdict.suspected()), std::tuple(step.failures, step.first, step.suspected))
        << step.why;
  }
}

TEST(ResponsePolicy, PruningKeepsLivingProcessesLookedAtWithinThirtySeconds) {
  ResponsePolicy policy;
  policy.observe(result(ProbeOutcome::failed, 30), 100);
  policy.observe(result(ProbeOutcome::failed, 10), 120);
  policy.observe(result(ProbeOutcome::failed, 20), 125);
  policy.observe(result(ProbeOutcome::failed, 20, 6), 125);  // the same pid in a later life
  policy.prune({{30, 5}, {10, 5}, {20, 6}}, 130.5);
  std::vector<AppIdentity> kept;
  for (const AppResponse& verdict : policy.verdicts()) kept.push_back(verdict.identity);
  EXPECT_EQ(kept, (std::vector<AppIdentity>{{10, 5}, {20, 6}})) << "by pid";
  policy.reset();
  EXPECT_TRUE(policy.verdicts().empty());
}

// The workspace's applications 101…120, all this account's and running for a minute.
struct Desk {
  Workspace workspace{true, false, {}, std::nullopt};
  Snapshot snapshot;
  WallTime now = fromReferenceSeconds(800'000'000);
  Desk(int count = 20) {
    const auto started = static_cast<std::uint64_t>((unixSeconds(now) - 60) * 1e6);
    for (int i = count; i >= 1; --i) add(100 + i, started);
  }
  void add(std::int32_t pid, std::uint64_t start, std::uint32_t uid = 1000, std::optional<std::string> name = {}) {
    workspace.applications.push_back({pid, name.value_or("App " + std::to_string(pid))});
    snapshot.processes.push_back({pid, uid, start, "process", std::nullopt, std::nullopt});
  }
  std::vector<std::int32_t> pass(ProbeRotation& rotation) {
    std::vector<std::int32_t> pids;
    for (const auto& request : rotation.next(workspace, snapshot, 1000, 4242, now, "アプリ"))
      pids.push_back(request.identity.pid);
    return pids;
  }
};

TEST(ProbeRotation, EightAtATurnInPidOrderWithTheFrontmostEveryTime) {
  Desk desk;
  ProbeRotation rotation;
  EXPECT_EQ(desk.pass(rotation), (std::vector<std::int32_t>{101, 102, 103, 104, 105, 106, 107, 108}));
  EXPECT_EQ(desk.pass(rotation), (std::vector<std::int32_t>{109, 110, 111, 112, 113, 114, 115, 116}));
  EXPECT_EQ(desk.pass(rotation), (std::vector<std::int32_t>{117, 118, 119, 120, 101, 102, 103, 104})) << "wraps round";

  desk.workspace.frontmost = 110;
  ProbeRotation withFront;
  for (int pass = 0; pass < 3; ++pass) {
    const auto asked = desk.pass(withFront);
    ASSERT_EQ(asked.size(), 9u);
    EXPECT_EQ(asked.front(), 110);
    EXPECT_EQ(std::count(asked.begin(), asked.end(), 110), 1);
  }
}

TEST(ProbeRotation, OnlyThisAccountsSettledApplicationsOtherThanItself) {
  Desk desk(0);
  const auto minuteAgo = static_cast<std::uint64_t>((unixSeconds(desk.now) - 60) * 1e6);
  desk.add(201, minuteAgo);
  desk.add(202, static_cast<std::uint64_t>((unixSeconds(desk.now) - 29) * 1e6));  // launched 29 s ago
  desk.add(203, minuteAgo, 1001);  // another account's
  desk.add(4242, minuteAgo);       // this program
  desk.workspace.applications.push_back({204, ""});  // no process of this snapshot
  desk.add(205, minuteAgo, 1000, "");
  desk.add(206, minuteAgo, 1000, std::string(5000, 'n'));
  ProbeRotation rotation;
  const auto requests = rotation.next(desk.workspace, desk.snapshot, 1000, 4242, desk.now, "アプリ");
  EXPECT_EQ(requests, (std::vector<ProbeRequest>{{{201, minuteAgo}, "App 201"}, {{205, minuteAgo}, "アプリ"},
                                                 {{206, minuteAgo}, std::string(100, 'n')}}))
      << "a nameless application goes by the fallback, a long name is cut before it is sent";
  desk.workspace.applications.clear();
  EXPECT_TRUE(rotation.next(desk.workspace, desk.snapshot, 1000, 4242, desk.now, "アプリ").empty());
}

TEST(ProbeMessages, TheWorkersInputAndOutputAreReadWholeOrNotAtAll) {
  const std::vector<ProbeRequest> requests{{{812, 5}, "Editor"}, {{900, 7}, "画像ビューア"}};
  EXPECT_EQ(decodeProbeRequests(encodeProbeRequests(requests)), requests);
  EXPECT_EQ(decodeProbeRequests("[]"), std::vector<ProbeRequest>{});
  // Ten are refused by the worker itself (its test); nine are the most a pass asks.
  EXPECT_TRUE(decodeProbeRequests(encodeProbeRequests(std::vector<ProbeRequest>(9, requests[0]))));
  for (const char* bad : {"", "{}", "[{\"identity\":{\"pid\":1},\"name\":\"x\"}]",
                          "[{\"identity\":{\"pid\":1,\"start\":2},\"name\":3}]", "[{\"name\":\"x\"}]",
                          "[{\"identity\":{\"pid\":3000000000,\"start\":2},\"name\":\"x\"}]", "[1]"})
    EXPECT_FALSE(decodeProbeRequests(bad)) << bad;

  const std::vector<ProbeResult> results{{{812, 5}, "Editor", ProbeOutcome::failed},
                                         {{900, 7}, "Viewer", ProbeOutcome::responsive}};
  EXPECT_EQ(decodeProbeResults(encodeProbeResults(results)), results);
  EXPECT_FALSE(decodeProbeResults(
      "[{\"identity\":{\"pid\":1,\"start\":2},\"name\":\"a\",\"outcome\":\"responsive\"},"
      "{\"identity\":{\"pid\":1,\"start\":2},\"name\":\"a\",\"outcome\":\"frozen\"}]"))
      << "one unknown outcome spoils the list";
}

TEST(ProbeMessages, NamesAreCutToAHundredCharactersAsAReaderCountsThem) {
  std::string name;
  // "e" with a combining acute, a family emoji of seven code points, a flag, a kana letter.
  for (int i = 0; i < 40; ++i)
    name += "e\xCC\x81" "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9\xE2\x80\x8D\xF0\x9F\x91\xA7" "\xF0\x9F\x87\xAF\xF0\x9F\x87\xB5あ";
  EXPECT_EQ(characterCount(name), 160u);
  const ProbeResult cut = probeResult({{1, 2}, name}, ProbeOutcome::responsive);
  EXPECT_EQ(characterCount(cut.name), 100u);
  EXPECT_TRUE(name.starts_with(cut.name));
  EXPECT_TRUE(cut.name.ends_with("\xF0\x9F\x87\xAF\xF0\x9F\x87\xB5あ"));
  EXPECT_TRUE(firstCharacters(name, 99).ends_with("\xF0\x9F\x87\xAF\xF0\x9F\x87\xB5")) << "no flag split in half";
  // Stray bytes are kept as they came, one character each.
  EXPECT_EQ(firstCharacters("ab\xFF\xFE" "cd", 3), "ab\xFF");
}

// Account 501's report with one application that has failed for 20 s, checked at `checkedAt`.
PeerReport suspectReport(std::uint32_t uid, double checkedAt) {
  return {.uid = uid, .trusted = true, .workerHealthy = true,
          .apps = {{{812, 5}, "Editor", ProbeOutcome::failed, checkedAt, checkedAt - 20, 3}}};
}

TEST(HangNotices, OnePerFreshSuspectOfAWorkingWatchEveryTenMinutesFromTheConsoleAccountOnly) {
  HangNoticeLedger ledger;
  const std::vector<PeerReport> reports{suspectReport(1000, 95), suspectReport(501, 100)};
  EXPECT_TRUE(ledger.due(reports, 100, 1000, 501).empty()) << "only the account at the console posts";

  EXPECT_EQ(ledger.due(reports, 100, 501, 501), (std::vector<DueHangNotice>{{"1000-812-5", 1000}, {"501-812-5", 501}}));
  EXPECT_TRUE(ledger.due(reports, 101, 501, 501).empty()) << "both still pending";
  ledger.settle("501-812-5", true, 100);
  ledger.settle("1000-812-5", false, 100);  // refused: tried again at the next refresh
  EXPECT_EQ(ledger.due(reports, 105, 501, 501), (std::vector<DueHangNotice>{{"1000-812-5", 1000}}));

  const std::vector<PeerReport> later{suspectReport(501, 699)};
  EXPECT_TRUE(ledger.due(later, 699.9, 501, 501).empty());
  EXPECT_EQ(ledger.due(later, 700, 501, 501).size(), 1u) << "600 s after the accepted one";
  ledger.prune(3699);
  EXPECT_TRUE(ledger.told().contains("501-812-5"));
  ledger.prune(3700);
  EXPECT_FALSE(ledger.told().contains("501-812-5"));

  std::vector<PeerReport> unfit{suspectReport(501, 79.9), suspectReport(502, 100), suspectReport(503, 100),
                                  suspectReport(504, 100)};  // the first stale
  unfit[1].trusted = false;
  unfit[2].workerHealthy = false;
  unfit[3].apps[0].firstFailure = 90;  // two failures within 10 s
  EXPECT_TRUE(HangNoticeLedger().due(unfit, 100, 501, 501).empty()) << "only fresh suspects of working watches count";
}

}  // namespace
}  // namespace hollin
