#include "util/assert_handler.h"

#include <gmock/gmock.h>

#include <csignal>

using namespace ::testing;
using Row = std::tuple<const char*, const char*, unsigned, const char*, const char*, std::string>;

static const std::string kReport = "Error: Compiler Internal Restriction: ";

TEST(AssertDefaultReport, ChoosesFormatByPresentArguments) {
  const std::string longName(1200, 'n'); // only the first 999 characters are looked at
  // Condition, file, line, function, message, report. The file from the first "p4" + separator,
  // the function between its last blank and first "("; the string form always has a message.
  const Row rows[] = {
      {"a", "/p4x/p4/c.cpp", 1, "int ns::f(int)", nullptr, "'a' [ns::f at p4/c.cpp:1] "},
      {"a", "C:\\p4p4\\a.cpp", 2, "main", "bad", "'a'. bad [main at p4\\a.cpp:2] "},
      {nullptr, "/s/p4x/a.cpp", 3, "R util::F<R(A)>::get", "m", "m [util::F<R at /s/p4x/a.cpp:3] "},
      {nullptr, "/b/p4", 4000000000u, longName.c_str(), nullptr,
       "'(null)' [" + std::string(999, 'n') + " at /b/p4:4000000000] "},
      {"c", nullptr, 1, nullptr, nullptr, "'c' [ at (null):1] "}, // "(null)" cut at its "("
      {"p", "/p4/a.cpp", 5, "const char *ns::name(int)", "m", "'p'. m [ns::name at p4/a.cpp:5] "},
      {"r", "/p4/a.cpp", 6, "std::ostream &S::put(int)", "m", "'r'. m [S::put at p4/a.cpp:6] "},
      // A library header as the caller's compiler found it, and a header of the caller's own.
      {"w", "/opt/x/include/loom/util/amath.h", 96, "f", nullptr,
       "'w' [f at src/util/amath.h:96] "},
      {"w", "/home/b/util/amath.h", 7, "f", nullptr, "'w' [f at /home/b/util/amath.h:7] "},
  };
  for (const auto& [condition, file, line, function, message, text] : rows)
    EXPECT_EXIT(aster_assert_handler(condition, file, line, function, message), ExitedWithCode(100),
                StrEq(kReport + text));
  EXPECT_EXIT(aster_assert_handler("a", "x.cpp", 5, "g", std::string()), ExitedWithCode(100),
              StrEq(kReport + "'a'.  [g at x.cpp:5] "));
  EXPECT_EXIT(aster_error_printf("disk full\n"), ExitedWithCode(1), StrEq("Error: disk full\n"));
  EXPECT_EXIT((setenv("SEGFAULT_ASSERT", "", 1), aster_assert_handler("a", "x", 1, "f", "m")),
              KilledBySignal(SIGABRT), StrEq(""));
}

TEST(InstalledHandler, ReceivesArgumentsUntouchedAndItsExceptionReachesTheCaller) {
  set_assert_handler(util::makeFunction(
      nullptr, +[](void*, const char*, const char*, unsigned, const char*, const char* m) {
        throw std::string(m);
      }));
  EXPECT_THROW(LOOM_FAIL("thrown"), std::string);
  // A handler that returns still ends the process, and SEGFAULT_ASSERT is not consulted.
  set_assert_handler(util::makeFunction(
      nullptr, +[](void*, const char* c, const char* f, unsigned l, const char* fn, const char* m) {
        std::fprintf(stderr, "%s|%s:%u|%s|%s", c, f, l, fn, m != nullptr ? m : "-");
      }));
  EXPECT_EXIT((setenv("SEGFAULT_ASSERT", "1", 1), LOOM_ASSERT(1 + 1 == 3)), ExitedWithCode(100),
              StrEq(std::string("1 + 1 == 3|") + __FILE__ + ":" + std::to_string(__LINE__ - 1) +
                    "|" + __PRETTY_FUNCTION__ + "|-"));
  restore_default_assert_handler();
  EXPECT_EXIT(LOOM_FAIL("back"), ExitedWithCode(100), StartsWith(kReport + "back ["));
}
