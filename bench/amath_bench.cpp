// The word kernels against the same operation written inline by hand, in chains of dependent
// operations. Prints Google Benchmark's table (medians of several repetitions) and then the
// ratio kernel / hand-written for each operation.
#include "util/amath.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

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

void AMAdd_kernel(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return simulation::AMAdd(x, k, w); });
}
void AMAdd_inline(benchmark::State& s) {
  chain(s, handAdd);
}
void AMSub_kernel(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return simulation::AMSub(x, k, w); });
}
void AMSub_inline(benchmark::State& s) {
  chain(s, handSub);
}
void AMMask_kernel(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return simulation::AMMask(x + k, w); });
}
void AMMask_inline(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return handMask(x + k, w); });
}
void AMShift_kernel(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return simulation::AMShift(x ^ k, 1, true, w); });
}
void AMShift_inline(benchmark::State& s) {
  chain(s, [](SINT x, SINT k, int w) { return handShiftRight(x ^ k, 1, w); });
}

BENCHMARK(AMAdd_kernel);
BENCHMARK(AMAdd_inline);
BENCHMARK(AMSub_kernel);
BENCHMARK(AMSub_inline);
BENCHMARK(AMMask_kernel);
BENCHMARK(AMMask_inline);
BENCHMARK(AMShift_kernel);
BENCHMARK(AMShift_inline);

// Keeps the median time of every benchmark while the console shows the usual table.
class MedianRecorder : public benchmark::ConsoleReporter {
public:
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (run.aggregate_name == "median")
        mMedians[run.run_name.function_name] = run.GetAdjustedRealTime();
    ConsoleReporter::ReportRuns(runs);
  }
  const std::map<std::string, double>& medians() const { return mMedians; }

private:
  std::map<std::string, double> mMedians;
};

} // namespace

int main(int argc, char** argv) {
  // Medians of repeated runs: the machine is shared and noisy.
  std::vector<char*> args(argv, argv + argc);
  std::string repetitions = "--benchmark_repetitions=7";
  std::string aggregates = "--benchmark_report_aggregates_only=true";
  args.push_back(repetitions.data());
  args.push_back(aggregates.data());
  int count = static_cast<int>(args.size());
  benchmark::Initialize(&count, args.data());
  MedianRecorder recorder;
  benchmark::RunSpecifiedBenchmarks(&recorder);

  std::printf("\n%-10s %14s %14s %8s\n", "operation", "kernel ns/op", "inline ns/op", "ratio");
  for (const char* op : {"AMAdd", "AMSub", "AMMask", "AMShift"}) {
    const auto& m = recorder.medians();
    const auto kernel = m.find(std::string(op) + "_kernel");
    const auto hand = m.find(std::string(op) + "_inline");
    if (kernel == m.end() || hand == m.end())
      continue;
    std::printf("%-10s %14.3f %14.3f %8.2f\n", op, kernel->second / kChain, hand->second / kChain,
                kernel->second / hand->second);
  }
  return 0;
}
