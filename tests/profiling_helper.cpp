// Profiles a stage on the main thread and two on a second thread, then exits normally: the
// reports of both loggers and one trace are written when the library shuts down.
//   profiling_helper [report directory]
// With a directory, the host's message interface is a static of its own, gone by the time the
// reports are written: a report that cannot be written must not be reported through it.
#include "util/feature_store.h"
#include "util/messages.h"
#include "util/profiling.h"
#include <cstdlib>
#include <thread>

struct ShortLivedSink : util::MessageInterface {
  ~ShortLivedSink() { gone = true; }
  void error(const std::string&, const util::MessageParameters&) override {}
  void warning(const std::string&, const util::MessageParameters&) override {
    if (gone)
      std::abort();
  }
  void info(const std::string&, const util::MessageParameters&) override {}
  void debug(const std::string&, const util::MessageParameters&) override {}
  static inline bool gone = false;
};

int main(int argc, char** argv) {
  static ShortLivedSink sink;
  if (argc > 1) {
    util::setMessageInterface(&sink);
    util::SetFeatureString("ProfilingLogDirectory", argv[1]);
  }
  for (const char* feature : {"ProfilingLogEnabled", "ProfilingLogDetailedEnabled",
                              "ProfilingIILogEnabled", "ProfilingLogTraceEnabled"})
    util::SetFeatureBoolean(feature, true);
  util::ScopedProfiling outer({"main", "on the main thread"});
  std::thread([] {
    util::ScopedProfiling stage({"worker", "on \"another\" thread"});
    // A backslash, a control character, bytes that are not UTF-8, valid 4-, 3- and 2-byte UTF-8.
    util::ScopedProfiling inner({"inner", "a\\b\x01\xff\x80\xe0\x80\xed\xa0\x80\xf4\x90\x80\x80\xf0"
                                          "\x9f\x98\x80\xe2\x82\xacx\xc3\xa9"});
  }).join();
  util::ProfilingLog::initiationInterval(3, 1.5, 2.0, 0.25);
}
