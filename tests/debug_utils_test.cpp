#include "util/debug_utils.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

namespace {

using ::testing::ExitedWithCode;
using ::testing::MatchesRegex;

const char* const kMessage = "Error: Compiler Internal Restriction: Build LOOM with "
                             "ENABLE_STACK_TRACE_UTIL=1 for stack trace functionality "
                             "\\[loom::%s at src/util/debug_utils\\.cpp:[0-9]+\\] ";

std::string expected(const char* function) {
  char text[512];
  std::snprintf(text, sizeof text, kMessage, function);
  return text;
}

TEST(StackTrace, EveryEntryPointIsCompiledOut) {
  EXPECT_EXIT(loom::StackTrace(), ExitedWithCode(100),
              MatchesRegex(expected("StackTrace::StackTrace")));
  EXPECT_EXIT(loom::getCallStackString(), ExitedWithCode(100),
              MatchesRegex(expected("getCallStackString")));
  EXPECT_EXIT(
      {
        // The constructor cannot succeed; the member is reached on raw storage of the
        // (data-less) struct.
        alignas(loom::StackTrace) unsigned char storage[sizeof(loom::StackTrace)] = {};
        std::ostringstream out;
        reinterpret_cast<const loom::StackTrace*>(storage)->toStream(out);
      },
      ExitedWithCode(100), MatchesRegex(expected("StackTrace::toStream")));
}

} // namespace
