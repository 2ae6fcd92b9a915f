// One probe pass against stand-in workers (small shell programs that misbehave on purpose) and
// the real worker program's input rules.
#include <gtest/gtest.h>

#include <future>

#include "TestSupport.h"
#include "app/response/ProbePass.h"

namespace hollin {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

ProbeCommand shell(const std::string& script) { return {"/bin/sh", {"-c", script}}; }

std::vector<ProbeRequest> requests(std::size_t count, std::string name = "Editor") {
  std::vector<ProbeRequest> list;
  for (std::size_t i = 0; i < count; ++i) list.push_back({{static_cast<std::int32_t>(100 + i), 5}, name});
  return list;
}

// What one pass reported, in order, and when.
struct Pass {
  std::vector<std::string> events;
  std::vector<ProbeResult> results;
  Clock::duration took{};

  Pass(const ProbeCommand& command, const std::vector<ProbeRequest>& asked) {
    const auto start = Clock::now();
    runProbePass(command, asked,
                 {[&] { events.push_back("timed out after " + std::to_string((Clock::now() - start) / 1s) + " s"); },
                  [&](std::vector<ProbeResult> got, bool ok) {
                    events.push_back(ok ? "ok" : "failed");
                    results = std::move(got);
                  }});
    took = Clock::now() - start;
  }
};

TEST(ProbePass, AWorkerThatOverstaysIsKilledAtThreeSecondsAndTheCompletionComesTwice) {
  // One reads its input and sleeps; one gets requests far beyond any pipe's room and never reads
  // them, which must not hold the writing up past the limit. The two run side by side, as passes
  // of two programs would.
  const std::vector<std::pair<std::string, std::vector<ProbeRequest>>> workers{
      {"cat >/dev/null; exec sleep 30", requests(3)},
      {"exec sleep 30", requests(9, std::string(200'000, 'x'))}};
  std::vector<std::future<Pass>> passes;
  for (const auto& [script, asked] : workers)
    passes.push_back(std::async(std::launch::async, [&] { return Pass(shell(script), asked); }));
  for (std::size_t i = 0; i < passes.size(); ++i) {
    const Pass pass = passes[i].get();
    EXPECT_EQ(pass.events, (std::vector<std::string>{"timed out after 3 s", "failed"})) << workers[i].first;
    EXPECT_TRUE(pass.results.empty());
    EXPECT_LT(pass.took, 4s) << workers[i].first;
  }
}

TEST(ProbePass, OnlyAWholeAnswerOfTheRightLengthWithinTheOutputLimitFromAWorkerThatSucceededCounts) {
  const std::string one = R"([{"identity":{"pid":100,"start":5},"name":"Editor","outcome":"failed"}])";
  const Pass good(shell("cat >/dev/null; printf '%s' '" + one + "'"), requests(1));
  EXPECT_EQ(good.events, std::vector<std::string>{"ok"});
  EXPECT_EQ(good.results, (std::vector<ProbeResult>{{{100, 5}, "Editor", ProbeOutcome::failed}}));
  // The one result asked for, well formed but padded past 40 KB, is still too long.
  const std::string many = R"([{"identity":{"pid":100,"start":5},"name":")" + std::string(40'000, 'a') + R"(","outcome":"failed"}])";
  // The first worker never stops writing: the pass stops reading at the limit and the worker ends
  // when its pipe closes, long before the time limit. No failing worker holds the pass up.
  for (const ProbeCommand& command : {shell("cat >/dev/null; exec cat /dev/zero"),
                                      shell("cat >/dev/null; printf '%s' '" + many + "'"),
                                      shell("cat >/dev/null; printf '%s' '" + one + "'; exit 1"),  // a failed status
                                      shell("cat >/dev/null; printf '[]'"),                         // one result short
                                      shell("cat >/dev/null; printf '[{\"outcome\":\"responsive\"}]'"),
                                      ProbeCommand{"/nonexistent/hollin", {"--probe-worker"}}}) {
    const Pass pass(command, requests(1));
    EXPECT_EQ(pass.events, std::vector<std::string>{"failed"}) << command.arguments.back().substr(0, 60);
    EXPECT_TRUE(pass.results.empty());
    EXPECT_LT(pass.took, 2s);
  }
}

// The real worker, run by hand with no session bus nor accessibility bus: its status and what
// it wrote.
std::pair<int, QByteArray> runWorker(const QByteArray& input) {
  auto environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
  environment.remove("AT_SPI_BUS_ADDRESS");
  const testing::Finished worker = testing::runToEnd(HOLLIN_BINARY_DIR "/src/app/hollin", {"--probe-worker"}, environment, input);
  return {worker.status, worker.output};
}

// A worker's refusal reaches a pass as a failed status, which the pass tests above cover.
TEST(ProbeWorker, RefusesInputBeyondItsLimitsAndWithoutAnAccessibilityBusAnswersUnavailableWithNamesCut) {
  const QByteArray ten = QByteArray::fromStdString(encodeProbeRequests(requests(10)));
  // Padding is valid JSON, so only the size decides.
  QByteArray exact = QByteArray::fromStdString(encodeProbeRequests(requests(1)));
  exact += QByteArray(static_cast<int>(probeInputLimit) - exact.size(), ' ');
  EXPECT_EQ(runWorker(exact).first, 0);
  for (const QByteArray& refused : {ten, QByteArray("{\"identity\":1}"), exact + " "})
    EXPECT_EQ(runWorker(refused), (std::pair{2, QByteArray()})) << refused.left(40).toStdString();

  // Itself, by its real identity: it would be askable but for the missing bus.
  const auto [status, output] = runWorker(
      QByteArray::fromStdString(encodeProbeRequests({{{::getpid(), 1}, std::string(150, 'n')}, {{1, 1}, "init"}})));
  EXPECT_EQ(status, 0);
  EXPECT_EQ(decodeProbeResults(output.toStdString()),
            (std::vector<ProbeResult>{{{::getpid(), 1}, std::string(100, 'n'), ProbeOutcome::unavailable},
                                      {{1, 1}, "init", ProbeOutcome::unavailable}}));
}

}  // namespace
}  // namespace hollin
