// Call-stack capture, compiled out in this build.
#include "util/debug_utils.h"

#include "util/assert_handler.h"

namespace loom {

namespace {
const char* const kCompiledOut =
    "Build LOOM with ENABLE_STACK_TRACE_UTIL=1 for stack trace functionality";
}

StackTrace::StackTrace() {
  LOOM_FAIL(kCompiledOut);
}

std::ostream& StackTrace::toStream(std::ostream&) const {
  LOOM_FAIL(kCompiledOut);
}

std::string getCallStackString() {
  LOOM_FAIL(kCompiledOut);
}

} // namespace loom
