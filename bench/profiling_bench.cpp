// The cost of a profiled stage (begin + end) while profiling is off, against two calls of an
// empty function, and while it is on.
#include "paired.h"

#include "util/feature_store.h"
#include "util/profiling.h"

namespace {

constexpr int kStages = 1000;

void setProfiling(bool on) {
  util::SetFeatureBoolean("ProfilingLogEnabled", on);
  util::ProfilingLog::flush(""); // re-read the features
}

// A function the compiler cannot see into: a disabled stage's begin and end should cost little
// more than two calls of it.
[[gnu::noinline]] void emptyCall() {
  benchmark::ClobberMemory();
}

void DisabledStage(benchmark::State& state) {
  setProfiling(false);
  const util::ProfilingInfo info("stage", "detail");
  loom_bench::paired(
      state, kStages,
      [&] {
        util::ProfilingLog::begin(info);
        util::ProfilingLog::end();
      },
      [] { emptyCall(), emptyCall(); });
}

// The detail records are reset after every batch, so that they do not grow without bound.
void EnabledStage(benchmark::State& state) {
  setProfiling(true);
  const util::ProfilingInfo outer("outer", "detail"), inner("inner", "detail");
  util::ProfilingLog::begin(outer);
  int count = 0;
  loom_bench::single(state, kStages, [&] {
    util::ProfilingLog::begin(inner);
    util::ProfilingLog::end();
    if (++count == kStages) {
      count = 0;
      util::ProfilingLog::reset();
      util::ProfilingLog::begin(outer);
    }
  });
  util::ProfilingLog::reset();
  setProfiling(false);
}

BENCHMARK(DisabledStage);
BENCHMARK(EnabledStage);

} // namespace
