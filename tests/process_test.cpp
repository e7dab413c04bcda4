#include "util/process.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using util::runCommandAndGetOutput;

TEST(RunCommand, ReturnsEverythingPrintedWithStandardErrorMerged) {
  EXPECT_EQ(runCommandAndGetOutput("printf 'a\\nb\\n'"), "a\nb\n");
  EXPECT_EQ(runCommandAndGetOutput("printf 'no newline'"), "no newline");
  EXPECT_EQ(runCommandAndGetOutput("sh -c 'echo oops >&2'"), "oops\n");
  EXPECT_EQ(runCommandAndGetOutput("sh -c 'echo out; echo err >&2'"), "out\nerr\n");
  EXPECT_EQ(runCommandAndGetOutput("exit 3"), "");
  EXPECT_EQ(runCommandAndGetOutput(""), ""); // " 2>&1" alone is a valid empty command
  // An unknown program: the shell's own message is the output.
  EXPECT_NE(runCommandAndGetOutput("loom-no-such-program-xyz").find("not found"),
            std::string::npos);
}

TEST(RunCommand, LongLinesAndLargeOutputsArriveWhole) {
  const std::string line(1000, 'q');
  EXPECT_EQ(runCommandAndGetOutput(("printf '%s\\n' " + line).c_str()), line + "\n");
  // One MiB without a single newline.
  const std::string big = runCommandAndGetOutput("head -c 1048576 /dev/zero | tr '\\0' 'z'");
  EXPECT_EQ(big.size(), 1048576u);
  EXPECT_EQ(big.find_first_not_of('z'), std::string::npos);
  // Bytes after a NUL are kept.
  EXPECT_EQ(runCommandAndGetOutput("printf 'a\\000b'"), std::string("a\0b", 3));
  // A command that closes its output before it ends.
  EXPECT_EQ(runCommandAndGetOutput("printf x; exec >&- 2>&-; true"), "x");
}

TEST(DynamicLibraries, LoadLookUpAndUnload) {
  void* library = util::loadLibrary(LOOM_TEST_PLUGIN);
  ASSERT_NE(library, nullptr);
  using Answer = int (*)(int);
  auto* answer =
      reinterpret_cast<Answer>(util::getLibrarySymbol(library, "loom_test_plugin_twice"));
  ASSERT_NE(answer, nullptr);
  EXPECT_EQ(answer(21), 42);
  EXPECT_EQ(util::getLibrarySymbol(library, "loom_test_plugin_missing"), nullptr);
  EXPECT_EQ(util::getLibrarySymbol(library, nullptr), nullptr);
  EXPECT_EQ(util::getLibrarySymbol(nullptr, "loom_test_plugin_twice"), nullptr);
  util::unloadLibrary(library);
  util::unloadLibrary(nullptr);

  EXPECT_EQ(util::loadLibrary("/nonexistent/libnothing.so"), nullptr);
  EXPECT_EQ(util::loadLibrary(nullptr), nullptr);
}

} // namespace
