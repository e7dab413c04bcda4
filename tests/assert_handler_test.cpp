#include "util/assert_handler.h"

#include <gmock/gmock.h>

#include <csignal>

using namespace ::testing;

static const std::string kReport = "Error: Compiler Internal Restriction: ";

TEST(AssertDefaultReport, ChoosesFormatByPresentArguments) {
  const std::string longName(1200, 'n'); // only the first 999 characters are looked at
  const struct {
    const char *condition, *file;
    unsigned line;
    const char *function, *message;
    std::string text;
  } rows[] = {
      {"a > 0", "/home/build/p4/src/util/x.cpp", 12, "int __cdecl ns::f(int)", nullptr,
       "'a > 0' [ns::f at p4/src/util/x.cpp:12] "},
      // The file from the first "p4" followed by a separator; the name up to the first "(".
      {"a > 0", "/a/p4x/b/p4/c.cpp", 1, "main", "bad", "'a > 0'. bad [main at p4/c.cpp:1] "},
      {nullptr, "C:\\ws\\p4p4\\src\\a.cpp", 2, "R util::Function<R(Args ...)>::operator()", "bad",
       "bad [util::Function<R at p4\\src\\a.cpp:2] "},
      {nullptr, "/src/p4x/a.cpp", 3, "class P __cdecl ns::P::get(void) const", nullptr,
       "'(null)' [ns::P::get at /src/p4x/a.cpp:3] "},
      {"c", "/build/p4", 4000000000u, longName.c_str(), nullptr,
       "'c' [" + std::string(999, 'n') + " at /build/p4:4000000000] "},
      {"c", nullptr, 1, nullptr, nullptr, "'c' [ at (null):1] "}, // "(null)" is cut at its "("
  };
  for (const auto& r : rows)
    EXPECT_EXIT(aster_assert_handler(r.condition, r.file, r.line, r.function, r.message),
                ExitedWithCode(100), StrEq(kReport + r.text));
  // The string form always has a message, even an empty one.
  EXPECT_EXIT(aster_assert_handler("a", "x.cpp", 5, "g", std::string()), ExitedWithCode(100),
              StrEq(kReport + "'a'.  [g at x.cpp:5] "));
  EXPECT_EXIT(aster_error_printf("disk full\n"), ExitedWithCode(1), StrEq("Error: disk full\n"));
  EXPECT_EXIT((setenv("SEGFAULT_ASSERT", "", 1), aster_assert_handler("a", "x", 1, "f", "m")),
              KilledBySignal(SIGABRT), StrEq(""));
}

// Hands the raw arguments to the caller of the failing check.
static void throwReport(void*, const char* c, const char* f, unsigned l, const char* fn,
                        const char* m) {
  throw std::string(c) + "|" + f + ":" + std::to_string(l) + "|" + fn + "|" + (m ? m : "-");
}

TEST(InstalledHandler, ReceivesArgumentsUntouchedAndItsExceptionReachesTheCaller) {
  set_assert_handler(AssertHandler(nullptr, &throwReport));
  const int line = __LINE__ + 3;
  std::string report;
  try {
    LOOM_ASSERT(1 + 1 == 3);
  } catch (const std::string& thrown) {
    report = thrown;
  }
  EXPECT_EQ(report,
            "1 + 1 == 3|tests/assert_handler_test.cpp:" + std::to_string(line) +
                "|virtual void InstalledHandler_"
                "ReceivesArgumentsUntouchedAndItsExceptionReachesTheCaller_Test::TestBody()|-");
  // A handler that returns still ends the process, and SEGFAULT_ASSERT is not consulted.
  set_assert_handler(util::makeFunction(
      nullptr, +[](void*, const char*, const char*, unsigned, const char*, const char* m) {
        std::fputs(m, stderr);
      }));
  EXPECT_EXIT((setenv("SEGFAULT_ASSERT", "1", 1), LOOM_FAIL("handled")), ExitedWithCode(100),
              StrEq("handled"));
  restore_default_assert_handler();
  EXPECT_EXIT(LOOM_FAIL("back"), ExitedWithCode(100), StartsWith(kReport + "back ["));
}
