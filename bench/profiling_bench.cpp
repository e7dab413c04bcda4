// The cost of a profiled stage (begin + end) while profiling is off, against an empty loop,
// and while it is on.
#include "bench_ratio.h"

#include "util/feature_store.h"
#include "util/profiling.h"

#include <benchmark/benchmark.h>

namespace {

constexpr int kStages = 1000;

void setProfiling(bool on) {
  util::SetFeatureBoolean("ProfilingLogEnabled", on);
  util::ProfilingLog::flush(""); // re-read the features
}

void DisabledStage_library(benchmark::State& state) {
  setProfiling(false);
  const util::ProfilingInfo info("stage", "detail");
  for (auto _ : state) {
    for (int i = 0; i < kStages; ++i) {
      util::ProfilingLog::begin(info);
      util::ProfilingLog::end();
    }
    benchmark::ClobberMemory();
  }
}

void DisabledStage_baseline(benchmark::State& state) {
  for (auto _ : state) {
    for (int i = 0; i < kStages; ++i)
      benchmark::ClobberMemory();
  }
}

// Every batch ends with a reset, so that the detail records do not grow without bound.
void EnabledStage_library(benchmark::State& state) {
  setProfiling(true);
  const util::ProfilingInfo outer("outer", "detail"), inner("inner", "detail");
  util::ProfilingLog::begin(outer);
  for (auto _ : state) {
    for (int i = 0; i < kStages; ++i) {
      util::ProfilingLog::begin(inner);
      util::ProfilingLog::end();
    }
    util::ProfilingLog::reset();
    util::ProfilingLog::begin(outer);
  }
  util::ProfilingLog::reset();
  setProfiling(false);
}

BENCHMARK(DisabledStage_library);
BENCHMARK(DisabledStage_baseline);
BENCHMARK(EnabledStage_library);

} // namespace

int main(int argc, char** argv) {
  return loom_bench::runWithRatios(argc, argv, kStages);
}
