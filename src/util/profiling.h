// Timing of named, nested stages, switched by features.
#ifndef LOOM_UTIL_PROFILING_H
#define LOOM_UTIL_PROFILING_H

#include "util/export.h"

#include <string>

// Timing of named, nested stages, per thread, with three text reports (a summary table, one
// line per stage execution, initiation-interval records) and an optional Chrome trace.
// Everything is switched by features; while "ProfilingLogEnabled" is off a stage costs a
// thread-local lookup and a flag test.
//
//   util::SetFeatureBoolean("ProfilingLogEnabled", true);
//   {
//     util::ScopedProfiling pass({"schedule", designName.c_str()});
//     ... // nested stages become "schedule::<name>"
//   }
//   // loomprofiler_<region>_<logger>_<time>.log is written at exit (or per region by flush);
//   // a name already taken in that second gets "-2", "-3", ... before ".log"

namespace util {

struct ProfilingInfo {
  ProfilingInfo(const char* stageName, const char* detailText)
      : stage(stageName), detail(detailText) {}
  // Keeps the strings' character pointers: the strings must outlive the begin call.
  ProfilingInfo(const std::string& stageName, const std::string& detailText)
      : stage(stageName.c_str()), detail(detailText.c_str()) {}

  const char* stage;
  const char* detail;
};

class LOOM_UTIL_API ProfilingLog {
public:
  static void begin(const ProfilingInfo& info);
  // Ends the innermost stage; an internal restriction when none is open (and profiling on).
  static void end();
  // Re-reads the features; with "ProfilingLogFlushRegions" on, ends the current region
  // (reports and reset, if it had a name) and starts `region`.
  static void flush(const std::string& region);
  static void initiationInterval(int value, double a, double b, double c);
  static void reset();

  // For scoped stages: begin that tells whether a stage was opened, and an end that closes
  // the innermost stage when there is one, whatever the features say by then.
  static bool beginScoped(const ProfilingInfo& info);
  static void endScoped();
};

// A stage for the lifetime of the object. Only a stage that was actually opened is closed,
// so profiling switched on or off (or reset) inside the scope cannot unbalance the stack.
class LOOM_UTIL_API ScopedProfiling {
public:
  explicit ScopedProfiling(const ProfilingInfo& info) : mOpened(ProfilingLog::beginScoped(info)) {}
  ~ScopedProfiling() {
    if (mOpened)
      ProfilingLog::endScoped();
  }
  ScopedProfiling(const ScopedProfiling&) = delete;
  ScopedProfiling& operator=(const ScopedProfiling&) = delete;

private:
  bool mOpened;
};

} // namespace util

#endif
