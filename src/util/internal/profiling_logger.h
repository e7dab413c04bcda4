// The per-thread profiling logger behind util::ProfilingLog.
#ifndef LOOM_UTIL_INTERNAL_PROFILING_LOGGER_H
#define LOOM_UTIL_INTERNAL_PROFILING_LOGGER_H

// The per-thread logger behind util::ProfilingLog; the library and its tests use it, callers
// do not.

#include "util/export.h"
#include "util/profiling.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace util {
namespace internal {

// The logger of one thread. Only its own thread changes it; the process-wide list that owns
// all loggers is guarded by a mutex, and so are the finished-stage records, which the trace
// report reads across threads.
class LOOM_UTIL_API ProfilingLoggerImpl {
public:
  using Clock = std::int64_t (*)(); // nanoseconds of a monotonic clock

  struct Frame {
    std::int64_t start;
    std::string path;
    std::string detail;
  };
  struct StageStats {
    std::string parent;
    std::int64_t depth;
    std::uint64_t invocations;
    std::int64_t maximum, minimum, total;
  };
  struct DetailRecord {
    std::string path;
    std::string detail;
    std::int64_t duration;
    std::int64_t start; // for the trace
    std::int64_t depth; // for the trace
  };
  struct IntervalRecord {
    int value;
    double a, b, c;
  };

  explicit ProfilingLoggerImpl(std::uint64_t threadId);
  ProfilingLoggerImpl(const ProfilingLoggerImpl&) = delete;
  ProfilingLoggerImpl& operator=(const ProfilingLoggerImpl&) = delete;

  void readFeatures();
  void begin(const ProfilingInfo& info);
  void end();
  void flush(const std::string& region);
  void initiationInterval(int value, double a, double b, double c);
  void reset();

  // The summary, detail and interval reports (and the trace when asked for), as at a region
  // flush or at shutdown.
  void writeAll();
  // The summary, detail and interval reports under one time stamp.
  void writeReports(const std::string& timeStamp) const;
  void writeSummary(const std::string& timeStamp) const;
  void writeDetails(const std::string& timeStamp) const;
  void writeIntervals(const std::string& timeStamp) const;

  bool isEnabled() const { return mEnabled; }
  std::uint64_t threadId() const { return mThreadId; }
  const std::string& regionName() const { return mRegionName; }
  std::size_t openStages() const { return mCallStack.size(); }
  // Durations in tests come from here instead of the steady clock.
  void setClock(Clock clock) { mClock = clock; }
  std::int64_t now() const { return mClock(); }
  // A copy of the finished-stage records, taken under their lock.
  std::vector<DetailRecord> detailSnapshot() const;

private:
  void periodicOutput(std::int64_t now);
  std::string heading() const;

  std::string mRegionName;
  std::vector<std::unique_ptr<DetailRecord>> mDetails;
  std::vector<Frame> mCallStack;
  std::map<std::string, StageStats> mStageStats;
  std::vector<IntervalRecord> mIntervals;
  bool mEnabled = false;
  bool mDetailedEnabled = false;
  bool mIIEnabled = false;
  int mOutputFrequency = -1;

  Clock mClock;
  std::uint64_t mThreadId;
  mutable std::mutex mDetailsLock;
};

// The calling thread's logger, created on first use.
LOOM_UTIL_API ProfilingLoggerImpl& currentLogger();

// Nanoseconds of the steady clock.
LOOM_UTIL_API std::int64_t steadyNow();

} // namespace internal
} // namespace util

#endif
