// Checksum32 and Descramble against memcpy over the same buffers: both run
// over every byte of the script block and of the file data stream, so they
// should go at memory speed. The "vs memcpy" counter is the ratio of the
// throughputs measured in this run (target: at least 0.7).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstring>
#include <random>
#include <vector>

#include "format/checksum.h"

namespace {

constexpr std::size_t kSizes[] = {64 << 10, 8 << 20, 64 << 20};

std::vector<kova::u8> Data(std::size_t size) {
  std::vector<kova::u8> data(size);
  std::mt19937 random(7);
  for (auto& b : data) b = static_cast<kova::u8>(random());
  return data;
}

// Bytes per second of f over data, best of a few rounds.
template <typename F>
double Throughput(std::size_t size, F f) {
  double best = 0;
  for (int round = 0; round < 5; ++round) {
    auto start = std::chrono::steady_clock::now();
    int repeats = static_cast<int>((256u << 20) / size) + 1;
    for (int i = 0; i < repeats; ++i) f();
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    best = std::max(best, static_cast<double>(size) * repeats / seconds);
  }
  return best;
}

void BM_Checksum32(benchmark::State& state) {
  std::size_t size = static_cast<std::size_t>(state.range(0));
  std::vector<kova::u8> data = Data(size), copy(size);
  for (auto _ : state) benchmark::DoNotOptimize(kova::format::Checksum32(data.data(), static_cast<kova::i64>(size)));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
  double ours = Throughput(size, [&] { benchmark::DoNotOptimize(kova::format::Checksum32(data.data(), size)); });
  double copying = Throughput(size, [&] {
    std::memcpy(copy.data(), data.data(), size);
    benchmark::ClobberMemory();
  });
  state.counters["vs memcpy"] = ours / copying;
}

void BM_Descramble(benchmark::State& state) {
  std::size_t size = static_cast<std::size_t>(state.range(0));
  std::vector<kova::u8> data = Data(size), copy(size);
  for (auto _ : state) {
    kova::format::Descramble(data.data(), static_cast<kova::i64>(size), 0xA5C3E1F0u);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(size));
  double ours = Throughput(size, [&] {
    kova::format::Descramble(data.data(), static_cast<kova::i64>(size), 0xA5C3E1F0u);
    benchmark::ClobberMemory();
  });
  double copying = Throughput(size, [&] {
    std::memcpy(copy.data(), data.data(), size);
    benchmark::ClobberMemory();
  });
  state.counters["vs memcpy"] = ours / copying;
}

}  // namespace

BENCHMARK(BM_Checksum32)->Arg(kSizes[0])->Arg(kSizes[1])->Arg(kSizes[2]);
BENCHMARK(BM_Descramble)->Arg(kSizes[0])->Arg(kSizes[1])->Arg(kSizes[2]);
BENCHMARK_MAIN();
