// The word kernels against the same operation written inline by hand, in chains of dependent
// operations. Prints Google Benchmark's table (medians of several repetitions) and then the
// ratio library kernel / hand-written baseline for each operation.
#include "util/amath.h"

#include "bench_ratio.h"

#include <benchmark/benchmark.h>

namespace {

using simulation::SINT;
constexpr int kChain = 1024;

// Hand-written equivalents: what a generator would emit without the library.
inline SINT signExtend(std::uint64_t x, int w) {
  return static_cast<SINT>(x << (64 - w)) >> (64 - w);
}
inline SINT handAdd(SINT a, SINT b, int w) {
  return signExtend(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b), w);
}
inline SINT handSub(SINT a, SINT b, int w) {
  return signExtend(static_cast<std::uint64_t>(a) - static_cast<std::uint64_t>(b), w);
}
inline SINT handMask(SINT x, int w) {
  return static_cast<SINT>(static_cast<std::uint64_t>(x) &
                           (w >= 64 ? ~0ull : (std::uint64_t(1) << w) - 1));
}
inline SINT handShiftRight(SINT x, SINT s, int w) {
  return signExtend(static_cast<std::uint64_t>(x >> s), w);
}

// Each body is a chain: every operation needs the previous result.
template <typename Op> void chain(benchmark::State& state, Op op) {
  int width = 37;
  SINT operand = 0x12345;
  benchmark::DoNotOptimize(width);
  benchmark::DoNotOptimize(operand);
  SINT x = 1;
  for (auto _ : state) {
    for (int i = 0; i < kChain; ++i)
      x = op(x, operand, width);
    benchmark::DoNotOptimize(x);
  }
  state.SetItemsProcessed(state.iterations() * kChain);
}

void AMAdd_library(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return simulation::AMAdd(x, k, w); });
}
void AMAdd_baseline(benchmark::State& s) {
  chain(s, handAdd);
}
void AMSub_library(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return simulation::AMSub(x, k, w); });
}
void AMSub_baseline(benchmark::State& s) {
  chain(s, handSub);
}
void AMMask_library(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return simulation::AMMask(x + k, w); });
}
void AMMask_baseline(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return handMask(x + k, w); });
}
void AMShift_library(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return simulation::AMShift(x ^ k, 1, true, w); });
}
void AMShift_baseline(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return handShiftRight(x ^ k, 1, w); });
}

BENCHMARK(AMAdd_library);
BENCHMARK(AMAdd_baseline);
BENCHMARK(AMSub_library);
BENCHMARK(AMSub_baseline);
BENCHMARK(AMMask_library);
BENCHMARK(AMMask_baseline);
BENCHMARK(AMShift_library);
BENCHMARK(AMShift_baseline);

} // namespace

int main(int argc, char** argv) {
  return loom_bench::runWithRatios(argc, argv, kChain);
}
