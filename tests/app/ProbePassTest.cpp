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

const std::string hollinProgram = HOLLIN_BINARY_DIR "/src/app/hollin";

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

TEST(ProbePass, OutputIsReadNoFurtherThanItsLimit) {
  // A worker that never stops writing: the pass stops reading at the limit and the worker ends
  // when its pipe closes, long before the time limit.
  const Pass endless(shell("cat >/dev/null; exec cat /dev/zero"), requests(1));
  EXPECT_EQ(endless.events, std::vector<std::string>{"failed"});
  EXPECT_LT(endless.took, 2s);
  // 40 KB of well-formed results is still too long.
  std::string many = "[";
  for (int i = 0; i < 500; ++i)
    many += std::string(i ? "," : "") + R"({"identity":{"pid":1,"start":2},"name":"a name of some length","outcome":"responsive"})";
  many += "]";
  ASSERT_GT(many.size(), 40'000u);
  const Pass tooLong(shell("cat >/dev/null; printf '%s' '" + many + "'"), requests(1));
  EXPECT_EQ(tooLong.events, std::vector<std::string>{"failed"});
}

TEST(ProbePass, OnlyAWholeAnswerOfTheRightLengthFromAWorkerThatSucceededCounts) {
  const std::string one = R"([{"identity":{"pid":100,"start":5},"name":"Editor","outcome":"failed"}])";
  const Pass good(shell("cat >/dev/null; printf '%s' '" + one + "'"), requests(1));
  EXPECT_EQ(good.events, std::vector<std::string>{"ok"});
  EXPECT_EQ(good.results, (std::vector<ProbeResult>{{{100, 5}, "Editor", ProbeOutcome::failed}}));
  for (const auto& script : {"cat >/dev/null; printf '%s' '" + one + "'; exit 1",           // a failed status
                             std::string("cat >/dev/null; printf '[]'"),                   // one result short
                             std::string("cat >/dev/null; printf '[{\"outcome\":\"responsive\"}]'")}) {
    const Pass pass(shell(script), requests(1));
    EXPECT_EQ(pass.events, std::vector<std::string>{"failed"}) << script;
    EXPECT_TRUE(pass.results.empty());
  }
  const Pass notStarted({"/nonexistent/hollin", {"--probe-worker"}}, requests(1));
  EXPECT_EQ(notStarted.events, std::vector<std::string>{"failed"});
}

// The real worker, run by hand with no session bus nor accessibility bus: its status and what
// it wrote.
std::pair<int, QByteArray> runWorker(const QByteArray& input) {
  auto environment = QProcessEnvironment::systemEnvironment();
  environment.insert("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent");
  environment.remove("AT_SPI_BUS_ADDRESS");
  QProcess worker;
  worker.setProcessEnvironment(environment);
  worker.start(QString::fromStdString(hollinProgram), {"--probe-worker"});
  worker.write(input);
  worker.closeWriteChannel();
  worker.waitForFinished(10000);
  return {worker.exitCode(), worker.readAllStandardOutput()};
}

// A worker's refusal reaches a pass as a failed status, which the pass tests above cover.
TEST(ProbeWorker, RefusesInputBeyondItsLimitsAndWithoutAnAccessibilityBusAnswersUnavailableWithNamesCut) {
  const QByteArray ten = QByteArray::fromStdString(encodeProbeRequests(requests(10)));
  EXPECT_EQ(runWorker(ten), (std::pair{2, QByteArray()}));
  EXPECT_EQ(runWorker("{\"identity\":1}"), (std::pair{2, QByteArray()}));
  // Padding is valid JSON, so only the size decides.
  QByteArray exact = QByteArray::fromStdString(encodeProbeRequests(requests(1)));
  exact += QByteArray(static_cast<int>(probeInputLimit) - exact.size(), ' ');
  EXPECT_EQ(runWorker(exact).first, 0);
  EXPECT_EQ(runWorker(exact + " "), (std::pair{2, QByteArray()}));

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
