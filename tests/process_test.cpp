#include "util/process.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

TEST(RunCommand, ReturnsEverythingPrintedWithStandardErrorMerged) {
  struct Row {
    const char* command;
    std::string output;
  };
  const std::string z(10000, 'z'); // longer than any read buffer, without a newline
  const Row rows[] = {
      {"printf 'a\\000b'", std::string("a\0b", 3)},
      {"printf x; exec >&- 2>&-; true", "x"}, // closes its output before it ends
      {"head -c 10000 /dev/zero | tr '\\0' z", z},
      // Standard error written anywhere in the command comes back in the pipe's order, and the
      // command means what it says: nothing appended to it joins a comment or an escape.
      {"echo out; echo err >&2", "out\nerr\n"},
      {"echo err >&2 | cat", "err\n"},
      {"echo err >&2 # a comment", "err\n"},
      {"echo err >&2 & wait", "err\n"},
      {"echo a\necho err >&2", "a\nerr\n"},
      {"echo trailing \\", "trailing \\\n"},
      {"-v 2>/dev/null; echo x", "x\n"}, // a leading dash is no option of the shell
      {nullptr, ""}};
  testing::internal::CaptureStderr();
  for (const Row& row : rows) {
    SCOPED_TRACE(row.command != nullptr ? row.command : "(null)");
    EXPECT_EQ(util::runCommandAndGetOutput(row.command), row.output);
  }
  const std::string missing = util::runCommandAndGetOutput("loom-no-such-program");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");   // nothing went past the pipe
  EXPECT_NE(missing.find("not found"), std::string::npos); // the shell's own message
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1);            // every child was waited for
}

TEST(DynamicLibraries, LoadLookUpAndUnload) {
  void* library = util::loadLibrary(LOOM_TEST_PLUGIN);
  const auto twice =
      reinterpret_cast<int (*)(int)>(util::getLibrarySymbol(library, "loom_test_plugin_twice"));
  ASSERT_NE(library, nullptr);
  ASSERT_NE(twice, nullptr);
  EXPECT_EQ(twice(21), 42);
  EXPECT_EQ(util::getLibrarySymbol(library, "loom_test_plugin_missing"), nullptr);
  EXPECT_EQ(util::getLibrarySymbol(library, nullptr), nullptr);
  EXPECT_EQ(util::getLibrarySymbol(nullptr, "loom_test_plugin_twice"), nullptr);
  util::unloadLibrary(library);
  util::unloadLibrary(nullptr);
  EXPECT_EQ(util::loadLibrary("/nonexistent/libnothing.so"), nullptr);
  EXPECT_EQ(util::loadLibrary(nullptr), nullptr);
}
