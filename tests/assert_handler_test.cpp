#include "util/assert_handler.h"
#include "util/messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using ::testing::ExitedWithCode;
using ::testing::KilledBySignal;
using ::testing::StrEq;

constexpr const char* kFile = "/home/build/p4/src/util/x.cpp";
constexpr const char* kSignature = "int __cdecl ns::f(int)";

// The exact stderr of a default report, through the standard error handler.
#define EXPECT_REPORT(statement, text)                                                             \
  EXPECT_EXIT(statement, ExitedWithCode(100), StrEq(std::string("Error: ") + (text)))

TEST(AssertDefaultReport, ChoosesFormatByPresentArguments) {
  EXPECT_REPORT(aster_assert_handler("a > 0", kFile, 12, kSignature, nullptr),
                "Compiler Internal Restriction: 'a > 0' [ns::f at p4/src/util/x.cpp:12] ");
  EXPECT_REPORT(aster_assert_handler("a > 0", kFile, 12, kSignature, "bad"),
                "Compiler Internal Restriction: 'a > 0'. bad [ns::f at p4/src/util/x.cpp:12] ");
  EXPECT_REPORT(aster_assert_handler(nullptr, kFile, 12, kSignature, "bad"),
                "Compiler Internal Restriction: bad [ns::f at p4/src/util/x.cpp:12] ");
  EXPECT_REPORT(aster_assert_handler(nullptr, kFile, 12, kSignature, nullptr),
                "Compiler Internal Restriction: '(null)' [ns::f at p4/src/util/x.cpp:12] ");
  // The string form always has a message, even an empty one.
  EXPECT_REPORT(
      aster_assert_handler("a > 0", kFile, 4000000000u, kSignature, std::string()),
      "Compiler Internal Restriction: 'a > 0'.  [ns::f at p4/src/util/x.cpp:4000000000] ");
}

TEST(AssertDefaultReport, ShowsFileFromFirstP4DirectorySegment) {
  const char* sig = "f";
  EXPECT_REPORT(aster_assert_handler("c", "/src/p4x/a.cpp", 1, sig, nullptr),
                "Compiler Internal Restriction: 'c' [f at /src/p4x/a.cpp:1] ");
  EXPECT_REPORT(aster_assert_handler("c", "/build/p4", 1, sig, nullptr),
                "Compiler Internal Restriction: 'c' [f at /build/p4:1] ");
  EXPECT_REPORT(aster_assert_handler("c", "/a/p4x/b/p4/c.cpp", 1, sig, nullptr),
                "Compiler Internal Restriction: 'c' [f at p4/c.cpp:1] ");
  EXPECT_REPORT(aster_assert_handler("c", "C:\\ws\\p4p4\\src\\a.cpp", 1, sig, nullptr),
                "Compiler Internal Restriction: 'c' [f at p4\\src\\a.cpp:1] ");
}

TEST(AssertDefaultReport, ShowsQualifiedNameOfSignature) {
  const char* file = "a.cpp";
  EXPECT_REPORT(aster_assert_handler("c", file, 1,
                                     "class util::io::Path __cdecl "
                                     "util::io::Path::getAbbreviatedDynamic(void) const",
                                     nullptr),
                "Compiler Internal Restriction: 'c' [util::io::Path::getAbbreviatedDynamic at "
                "a.cpp:1] ");
  EXPECT_REPORT(aster_assert_handler("c", file, 1, "main", nullptr),
                "Compiler Internal Restriction: 'c' [main at a.cpp:1] ");
  // Only the first parenthesis counts, even inside template arguments.
  EXPECT_REPORT(
      aster_assert_handler("c", file, 1, "R util::Function<R(Args ...)>::operator()", nullptr),
      "Compiler Internal Restriction: 'c' [util::Function<R at a.cpp:1] ");

  // Only the first 999 characters of the signature are looked at.
  const std::string longName(1200, 'n');
  EXPECT_REPORT(aster_assert_handler("c", file, 1, longName.c_str(), nullptr),
                "Compiler Internal Restriction: 'c' [" + std::string(999, 'n') + " at a.cpp:1] ");
  const std::string longSignature = "void " + std::string(1000, 'q') + " x(int)";
  EXPECT_REPORT(aster_assert_handler("c", file, 1, longSignature.c_str(), nullptr),
                "Compiler Internal Restriction: 'c' [" + std::string(994, 'q') + " at a.cpp:1] ");
}

TEST(AssertDefaultReport, NullFileOrFunctionStillReports) {
  EXPECT_REPORT(aster_assert_handler("c", nullptr, 1, nullptr, nullptr),
                "Compiler Internal Restriction: 'c' [ at (null):1] "); // "(null)" is cut at its "("
}

TEST(AssertDefaultReport, SegfaultAssertAbortsWithoutOutput) {
  EXPECT_EXIT(
      {
        setenv("SEGFAULT_ASSERT", "", 1);
        aster_assert_handler("a > 0", kFile, 12, kSignature, "bad");
      },
      KilledBySignal(SIGABRT), StrEq(""));
}

TEST(AssertMacros, PassRealFileLineAndSignature) {
  EXPECT_EXIT(LOOM_ASSERT(1 + 1 == 3), ExitedWithCode(100),
              ::testing::MatchesRegex("Error: Compiler Internal Restriction: '1 \\+ 1 == 3' "
                                      "\\[.*AssertMacros_PassRealFileLineAndSignature_Test::"
                                      "TestBody at tests/assert_handler_test.cpp:[0-9]+\\] "));
  EXPECT_EXIT(LOOM_ASSERT_MSG(false, std::string("why")), ExitedWithCode(100),
              ::testing::HasSubstr("'false'. why ["));
  EXPECT_EXIT(LOOM_UNREACHABLE(), ExitedWithCode(100),
              ::testing::HasSubstr("Restriction: Code should be unreachable ["));
  LOOM_ASSERT(2 > 1); // a passing check does nothing
}

struct Report {
  const char* condition;
  std::string file;
  unsigned int line;
  std::string function;
  const char* message;
};

void throwReport(void*, const char* condition, const char* file, unsigned int line,
                 const char* function, const char* message) {
  throw Report{condition, file, line, function, message};
}

class InstalledHandler : public ::testing::Test {
protected:
  void TearDown() override { restore_default_assert_handler(); }
};

TEST_F(InstalledHandler, ReceivesArgumentsUntouchedAndItsExceptionReachesTheCaller) {
  set_assert_handler(AssertHandler(nullptr, &throwReport));
  try {
    aster_assert_handler(nullptr, kFile, 12, kSignature, "bad");
    FAIL() << "the handler's exception did not arrive";
  } catch (const Report& r) {
    EXPECT_EQ(r.condition, nullptr);
    EXPECT_EQ(r.file, kFile);
    EXPECT_EQ(r.line, 12u);
    EXPECT_EQ(r.function, kSignature);
    EXPECT_STREQ(r.message, "bad");
  }

  unsigned int expectedLine = 0;
  try {
    expectedLine = __LINE__ + 1;
    LOOM_ASSERT_MSG(expectedLine == 0, "m");
  } catch (const Report& r) {
    EXPECT_STREQ(r.condition, "expectedLine == 0");
    EXPECT_EQ(r.file, "tests/assert_handler_test.cpp");
    EXPECT_EQ(r.line, expectedLine);
    EXPECT_THAT(r.function, ::testing::HasSubstr("TestBody()"));
  }
}

TEST_F(InstalledHandler, ThatReturnsStillEndsWithStatus100AndNoReport) {
  static int calls = 0;
  EXPECT_EXIT(
      {
        set_assert_handler(util::makeFunction(
            &calls, +[](void* c, const char*, const char*, unsigned, const char*, const char*) {
              ++*static_cast<int*>(c);
              std::fputs("handled", stderr);
            }));
        setenv("SEGFAULT_ASSERT", "1", 1); // not consulted with a handler installed
        aster_assert_handler("a", kFile, 1, kSignature, nullptr);
      },
      ExitedWithCode(100), StrEq("handled"));
}

TEST_F(InstalledHandler, RestoreBringsBackTheDefaultReport) {
  set_assert_handler(AssertHandler(nullptr, &throwReport));
  restore_default_assert_handler();
  EXPECT_REPORT(aster_assert_handler("a", "x.cpp", 3, "g", nullptr),
                "Compiler Internal Restriction: 'a' [g at x.cpp:3] ");
}

TEST(PrintfEntryPoints, ErrorExitsWithStatus1AfterTheText) {
  EXPECT_EXIT(aster_error_printf("disk full\n"), ExitedWithCode(1), StrEq("Error: disk full\n"));
}

TEST(PrintfEntryPoints, WarningIsWrittenWithItsPrefixAndReturns) {
  ::testing::internal::CaptureStderr();
  aster_warning_printf("careful\n");
  aster_warning_printf("no break");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Warning: careful\nWarning: no break");
}

struct Recorder : MessageHandler {
  std::vector<std::string> texts;
  void HandleMessage(const char* text) override { texts.emplace_back(text); }
};

TEST(PrintfEntryPoints, LogReachesDebugChannelOnlyWhileLoggingIsOn) {
  Recorder recorder;
  MessageHandler* previous = MessageHandlerRegister::debug.GetCurrentHandler();
  MessageHandlerRegister::debug.RegisterHandler(&recorder);

  EXPECT_FALSE(loom_get_logging());
  aster_log_printf("hidden\n");
  EXPECT_FALSE(loom_set_logging(true));
  EXPECT_TRUE(loom_get_logging());
  aster_log_printf("shown\n");
  EXPECT_TRUE(loom_set_logging(true));
  EXPECT_TRUE(loom_set_logging(false));
  aster_log_printf("hidden again\n");
  EXPECT_FALSE(loom_get_logging());

  MessageHandlerRegister::debug.RegisterHandler(previous);
  EXPECT_EQ(recorder.texts, std::vector<std::string>{"shown\n"});
}

} // namespace
