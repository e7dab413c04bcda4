// Profiles a stage on the main thread and one on a second thread, then exits normally: the
// reports of both loggers are written when the library shuts down.
#include "util/feature_store.h"
#include "util/profiling.h"

#include <thread>

int main() {
  util::SetFeatureBoolean("ProfilingLogEnabled", true);
  util::SetFeatureBoolean("ProfilingLogDetailedEnabled", true);
  util::SetFeatureBoolean("ProfilingIILogEnabled", true);
  util::SetFeatureBoolean("ProfilingLogTraceEnabled", true);
  {
    util::ScopedProfiling outer({"main", "on the main thread"});
    std::thread worker([] {
      util::ScopedProfiling stage({"worker", "on \"another\" thread"});
      // A detail with a backslash, a control character, a byte that is not UTF-8 and a
      // valid two-byte character.
      util::ScopedProfiling inner({"inner", "a\\b\x01\xff\xc3\xa9"});
    });
    worker.join();
    util::ProfilingLog::initiationInterval(3, 1.5, 2.0, 0.25);
  }
  return 0;
}
