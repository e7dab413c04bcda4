// The word kernels against the same operation written inline by hand, in chains of dependent
// operations (each needs the previous result).
#include "paired.h"

#include "util/amath.h"

namespace {

using simulation::SINT;
constexpr int kChain = 1024;

// Hand-written equivalents: what a generator would emit without the library.
inline SINT signExtend(std::uint64_t x, int w) {
  return static_cast<SINT>(x << (64 - w)) >> (64 - w);
}

template <typename Library, typename Baseline>
void chain(benchmark::State& state, Library library, Baseline baseline) {
  int width = 37;
  SINT operand = 0x12345;
  benchmark::DoNotOptimize(width);
  benchmark::DoNotOptimize(operand);
  SINT x = 1, y = 1;
  loom_bench::paired(
      state, kChain, [&] { x = library(x, operand, width); },
      [&] { y = baseline(y, operand, width); });
  benchmark::DoNotOptimize(x);
  benchmark::DoNotOptimize(y);
}

void AMAdd(benchmark::State& s) {
  chain(
      s, [](SINT x, SINT k, int w) { return simulation::AMAdd(x, k, w); },
      [](SINT x, SINT k, int w) {
        return signExtend(static_cast<std::uint64_t>(x) + static_cast<std::uint64_t>(k), w);
      });
}
void AMSub(benchmark::State& s) {
  chain(
      s, [](SINT x, SINT k, int w) { return simulation::AMSub(x, k, w); },
      [](SINT x, SINT k, int w) {
        return signExtend(static_cast<std::uint64_t>(x) - static_cast<std::uint64_t>(k), w);
      });
}
void AMMask(benchmark::State& s) {
  chain(
      s, [](SINT x, SINT k, int w) { return simulation::AMMask(x + k, w); },
      [](SINT x, SINT k, int w) {
        return static_cast<SINT>(static_cast<std::uint64_t>(x + k) &
                                 (w >= 64 ? ~0ull : (std::uint64_t(1) << w) - 1));
      });
}
void AMShift(benchmark::State& s) {
  chain(
      s, [](SINT x, SINT k, int w) { return simulation::AMShift(x ^ k, 1, true, w); },
      [](SINT x, SINT k, int w) {
        return signExtend(static_cast<std::uint64_t>((x ^ k) >> 1), w);
      });
}

BENCHMARK(AMAdd);
BENCHMARK(AMSub);
BENCHMARK(AMMask);
BENCHMARK(AMShift);

} // namespace
