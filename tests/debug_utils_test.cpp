#include "util/debug_utils.h"

#include <gmock/gmock.h>

#include <sstream>

using ::testing::ExitedWithCode;
using ::testing::MatchesRegex;

TEST(StackTrace, EveryEntryPointIsCompiledOut) {
  const std::string report = "Error: Compiler Internal Restriction: Build LOOM with "
                             "ENABLE_STACK_TRACE_UTIL=1 for stack trace functionality \\[loom::";
  const std::string at = " at src/util/debug_utils\\.cpp:[0-9]+\\] ";
  EXPECT_EXIT(loom::StackTrace(), ExitedWithCode(100),
              MatchesRegex(report + "StackTrace::StackTrace" + at));
  EXPECT_EXIT(loom::getCallStackString(), ExitedWithCode(100),
              MatchesRegex(report + "getCallStackString" + at));
  // No object can be built; the member is reached on raw storage of the data-less struct.
  alignas(loom::StackTrace) unsigned char storage[sizeof(loom::StackTrace)] = {};
  std::ostringstream out;
  EXPECT_EXIT(reinterpret_cast<const loom::StackTrace*>(storage)->toStream(out),
              ExitedWithCode(100), MatchesRegex(report + "StackTrace::toStream" + at));
}
