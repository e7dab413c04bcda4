// Call-stack capture (compiled out in this build).
#ifndef LOOM_UTIL_DEBUG_UTILS_H
#define LOOM_UTIL_DEBUG_UTILS_H

#include "util/export.h"

#include <ostream>
#include <string>

// Call-stack capture. This build has it compiled out: every entry point is an internal
// restriction ("Build LOOM with ENABLE_STACK_TRACE_UTIL=1 for stack trace functionality").

namespace loom {

struct LOOM_UTIL_API StackTrace {
  StackTrace();
  std::ostream& toStream(std::ostream& out) const;
};

LOOM_UTIL_API std::string getCallStackString();

} // namespace loom

#endif
