// Decoding a property list against libplist's own parse of the same bytes: the decoder first
// walks the encoded list for what libplist cannot survive (NULs, deep nesting, shared
// containers) and then converts libplist's tree into values, so it must stay within a small
// factor of libplist alone. Input: the English string table, as XML and as a binary list.
#include <benchmark/benchmark.h>
#include <plist/plist.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include "core/L10n.h"
#include "core/PropertyList.h"

namespace {

constexpr std::size_t limit = 4 << 20;

std::string xmlTable() {
  std::ifstream in(hollin::L10n::tablePath(hollin::L10n::sourceResourcesDirectory(), "en"), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), {}};
}

std::string binaryOf(const std::string& xml) {
  plist_t tree = nullptr;
  plist_from_memory(xml.data(), static_cast<std::uint32_t>(xml.size()), &tree);
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(tree, &bytes, &length);
  std::string binary(bytes, length);
  std::free(bytes);
  plist_free(tree);
  return binary;
}

void ours(const std::string& bytes) { benchmark::DoNotOptimize(hollin::parsePropertyList(bytes, limit)); }

void libplistAlone(const std::string& bytes) {
  plist_t tree = nullptr;
  plist_from_memory(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &tree);
  benchmark::DoNotOptimize(tree);
  plist_free(tree);
}

template <void (*Decode)(const std::string&)>
void run(benchmark::State& state, const std::string& bytes) {
  for (auto _ : state) Decode(bytes);
}

template <class F>
double microsecondsPerCall(F f) {
  constexpr int rounds = 300;
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) f();
  return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count() / rounds;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string xml = xmlTable(), binary = binaryOf(xml);
  benchmark::RegisterBenchmark("decodeXml", run<ours>, xml);
  benchmark::RegisterBenchmark("libplistXml", run<libplistAlone>, xml);
  benchmark::RegisterBenchmark("decodeBinary", run<ours>, binary);
  benchmark::RegisterBenchmark("libplistBinary", run<libplistAlone>, binary);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  for (const auto& [name, bytes] : {std::pair{"XML", &xml}, std::pair{"binary", &binary}}) {
    const double decoded = microsecondsPerCall([&] { ours(*bytes); });
    const double reference = microsecondsPerCall([&] { libplistAlone(*bytes); });
    std::printf("string table (%s, %zu bytes): decoder %.0f µs, libplist alone %.0f µs, ratio %.2f\n", name,
                bytes->size(), decoded, reference, decoded / reference);
  }
  benchmark::Shutdown();
  return 0;
}
