// Byte-count text against printf of the same figure: the formatter runs on every card and
// table cell of every render, so it must stay in the same order as plain number formatting.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>

#include "core/ByteCount.h"

namespace {

void formatterRun(benchmark::State& state) {
  std::uint64_t value = 17'179'869'184;
  for (auto _ : state) {
    benchmark::DoNotOptimize(hollin::formatByteCount(value, hollin::ByteCountStyle::memory, "en"));
    value += 4093;
  }
}
BENCHMARK(formatterRun);

void printfRun(benchmark::State& state) {
  std::uint64_t value = 17'179'869'184;
  char buffer[64];
  for (auto _ : state) {
    std::snprintf(buffer, sizeof buffer, "%.2f GB", static_cast<double>(value) / (1 << 30));
    benchmark::DoNotOptimize(buffer);
    value += 4093;
  }
}
BENCHMARK(printfRun);

template <class F>
double nanosecondsPerCall(F f) {
  constexpr int rounds = 200000;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) f(i);
  return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start)
             .count() / rounds;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  char buffer[64];
  const double ours = nanosecondsPerCall([](int i) {
    benchmark::DoNotOptimize(hollin::formatByteCount(17'179'869'184ULL + static_cast<unsigned>(i),
                                                     hollin::ByteCountStyle::memory, "en"));
  });
  const double reference = nanosecondsPerCall([&buffer](int i) {
    std::snprintf(buffer, sizeof buffer, "%.2f GB", (17'179'869'184.0 + i) / (1 << 30));
    benchmark::DoNotOptimize(buffer);
  });
  std::printf("byte-count text: %.0f ns, printf: %.0f ns, ratio %.2f\n", ours, reference,
              ours / reference);
  benchmark::Shutdown();
  return 0;
}
