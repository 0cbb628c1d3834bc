// The block codec against the usual yardsticks, on one corpus in one run:
// decoding throughput of ours (both encoder levels' output) beside zlib
// inflate, LZ4 and zstd, and encoding speed and size of both levels beside
// zlib level 9 (what gzip -9 writes), LZ4 and zstd.
//
// Counters: "ratio" is compressed / original size; "vs_gzip9" is compressed
// size / the zlib level 9 size (below 1: smaller than gzip -9). Throughput
// (bytes_per_second) always counts uncompressed bytes.
//
// The corpus stands in for an installer's file data: the files under
// /usr/include, /usr/share/doc and /usr/bin (headers, text, executables),
// taken in sorted path order up to a fixed share each, so the same machine
// always gives the same bytes. KOVA_BENCH_CORPUS=<file> uses a file instead.
#include <benchmark/benchmark.h>
#include <lz4.h>
#include <lz4hc.h>
#include <zlib.h>
#include <zstd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "builder/encoder.h"
#include "format/decompress.h"

namespace {

using Bytes = std::vector<kova::u8>;
namespace fs = std::filesystem;

Bytes ReadFile(const fs::path& path) {
  Bytes bytes;
  if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
    kova::u8 chunk[1 << 16];
    while (std::size_t got = std::fread(chunk, 1, sizeof chunk, file)) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
  }
  return bytes;
}

void AppendTree(Bytes& out, const char* root, std::size_t share) {
  std::vector<fs::path> files;
  std::error_code error;
  for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end;
       it != end; it.increment(error)) {
    if (error) break;
    if (it->is_regular_file(error) && !it->is_symlink(error)) files.push_back(it->path());
  }
  std::sort(files.begin(), files.end());
  std::size_t taken = 0;
  for (const fs::path& file : files) {
    Bytes bytes = ReadFile(file);
    if (taken + bytes.size() > share) continue;
    out.insert(out.end(), bytes.begin(), bytes.end());
    taken += bytes.size();
  }
}

const Bytes& Corpus() {
  static const Bytes corpus = [] {
    Bytes bytes;
    if (const char* file = std::getenv("KOVA_BENCH_CORPUS")) {
      bytes = ReadFile(file);
    } else {
      AppendTree(bytes, "/usr/include", 12 << 20);
      AppendTree(bytes, "/usr/share/doc", 6 << 20);
      AppendTree(bytes, "/usr/bin", 14 << 20);
    }
    std::fprintf(stderr, "corpus: %zu bytes\n", bytes.size());
    return bytes;
  }();
  return corpus;
}

Bytes Kova(kova::builder::CompressionLevel level) {
  Bytes block;
  kova::builder::CompressBlock(Corpus(), level, block);
  return block;
}

Bytes Zlib(int level) {
  const Bytes& in = Corpus();
  uLongf size = compressBound(in.size());
  Bytes out(size);
  compress2(out.data(), &size, in.data(), in.size(), level);
  out.resize(size);
  return out;
}

Bytes Lz4(int hcLevel) {
  const Bytes& in = Corpus();
  Bytes out(LZ4_compressBound(static_cast<int>(in.size())));
  const char* from = reinterpret_cast<const char*>(in.data());
  char* to = reinterpret_cast<char*>(out.data());
  int size = hcLevel == 0
                 ? LZ4_compress_default(from, to, static_cast<int>(in.size()), static_cast<int>(out.size()))
                 : LZ4_compress_HC(from, to, static_cast<int>(in.size()), static_cast<int>(out.size()), hcLevel);
  out.resize(size);
  return out;
}

Bytes Zstd(int level) {
  const Bytes& in = Corpus();
  Bytes out(ZSTD_compressBound(in.size()));
  out.resize(ZSTD_compress(out.data(), out.size(), in.data(), in.size(), level));
  return out;
}

// Each yardstick's output is made once and shared by the benchmarks.
const Bytes& KovaFast() { static const Bytes b = Kova(kova::builder::CompressionLevel::kFast); return b; }
const Bytes& KovaBest() { static const Bytes b = Kova(kova::builder::CompressionLevel::kBest); return b; }
const Bytes& Zlib9() { static const Bytes b = Zlib(9); return b; }
const Bytes& Lz4Default() { static const Bytes b = Lz4(0); return b; }
const Bytes& Lz4Hc() { static const Bytes b = Lz4(LZ4HC_CLEVEL_MAX); return b; }
const Bytes& Zstd19() { static const Bytes b = Zstd(19); return b; }

void Report(benchmark::State& state, std::size_t compressed) {
  double original = static_cast<double>(Corpus().size());
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Corpus().size()));
  state.counters["ratio"] = static_cast<double>(compressed) / original;
  state.counters["vs_gzip9"] = static_cast<double>(compressed) / static_cast<double>(Zlib9().size());
}

// --- Decoding ---

void DecodeKova(benchmark::State& state, const Bytes& block) {
  Bytes out(Corpus().size());
  for (auto _ : state) {
    if (!kova::format::DecompressInto(block.data(), block.size(), out.data(), out.size()))
      state.SkipWithError("decoding failed");
    benchmark::DoNotOptimize(out.data());
  }
  if (out != Corpus()) state.SkipWithError("decoded bytes differ");
  Report(state, block.size());
}

void BM_DecodeKovaFast(benchmark::State& state) { DecodeKova(state, KovaFast()); }
void BM_DecodeKovaBest(benchmark::State& state) { DecodeKova(state, KovaBest()); }

void BM_DecodeZlib9(benchmark::State& state) {
  const Bytes& block = Zlib9();
  Bytes out(Corpus().size());
  for (auto _ : state) {
    uLongf size = out.size();
    if (uncompress(out.data(), &size, block.data(), block.size()) != Z_OK) state.SkipWithError("inflate failed");
    benchmark::DoNotOptimize(out.data());
  }
  Report(state, block.size());
}

void DecodeLz4(benchmark::State& state, const Bytes& block) {
  Bytes out(Corpus().size());
  for (auto _ : state) {
    int size = LZ4_decompress_safe(reinterpret_cast<const char*>(block.data()), reinterpret_cast<char*>(out.data()),
                                   static_cast<int>(block.size()), static_cast<int>(out.size()));
    if (size != static_cast<int>(out.size())) state.SkipWithError("LZ4 decoding failed");
    benchmark::DoNotOptimize(out.data());
  }
  Report(state, block.size());
}

void BM_DecodeLz4(benchmark::State& state) { DecodeLz4(state, Lz4Default()); }
void BM_DecodeLz4Hc(benchmark::State& state) { DecodeLz4(state, Lz4Hc()); }

void BM_DecodeZstd19(benchmark::State& state) {
  const Bytes& block = Zstd19();
  Bytes out(Corpus().size());
  for (auto _ : state) {
    if (ZSTD_decompress(out.data(), out.size(), block.data(), block.size()) != out.size())
      state.SkipWithError("zstd decoding failed");
    benchmark::DoNotOptimize(out.data());
  }
  Report(state, block.size());
}

// --- Encoding ---

template <typename Encode>
void EncodeWith(benchmark::State& state, Encode encode) {
  std::size_t size = 0;
  for (auto _ : state) {
    Bytes block = encode();
    size = block.size();
    benchmark::DoNotOptimize(block.data());
  }
  Report(state, size);
}

void BM_EncodeKovaFast(benchmark::State& state) {
  EncodeWith(state, [] { return Kova(kova::builder::CompressionLevel::kFast); });
}
void BM_EncodeKovaBest(benchmark::State& state) {
  EncodeWith(state, [] { return Kova(kova::builder::CompressionLevel::kBest); });
}
void BM_EncodeZlib9(benchmark::State& state) { EncodeWith(state, [] { return Zlib(9); }); }
void BM_EncodeZlib6(benchmark::State& state) { EncodeWith(state, [] { return Zlib(6); }); }
void BM_EncodeLz4(benchmark::State& state) { EncodeWith(state, [] { return Lz4(0); }); }
void BM_EncodeZstd19(benchmark::State& state) { EncodeWith(state, [] { return Zstd(19); }); }

}  // namespace

BENCHMARK(BM_DecodeKovaFast)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_DecodeKovaBest)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_DecodeZlib9)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_DecodeLz4)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_DecodeLz4Hc)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_DecodeZstd19)->Unit(benchmark::kMillisecond)->MinTime(1.0);
BENCHMARK(BM_EncodeKovaFast)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeKovaBest)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(BM_EncodeZlib9)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeZlib6)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeLz4)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeZstd19)->Unit(benchmark::kMillisecond)->Iterations(1);

BENCHMARK_MAIN();
