#include "util/process.h"

#include <gtest/gtest.h>

TEST(RunCommand, ReturnsEverythingPrintedWithStandardErrorMerged) {
  const std::string z(10000, 'z'); // longer than any read buffer, without a newline
  const std::pair<const char*, std::string> rows[] = {
      {"printf 'a\\000b'", std::string("a\0b", 3)},
      {"printf x; exec >&- 2>&-; true", "x"}, // closes its output before it ends
      {"head -c 10000 /dev/zero | tr '\\0' z", z}};
  for (const auto& [command, output] : rows)
    EXPECT_EQ(util::runCommandAndGetOutput(command), output) << command;
  EXPECT_NE(util::runCommandAndGetOutput("loom-no-such-program").find("not found"),
            std::string::npos); // the shell's own message is the output
}

TEST(DynamicLibraries, LoadLookUpAndUnload) {
  void* library = util::loadLibrary(LOOM_TEST_PLUGIN);
  const auto twice =
      reinterpret_cast<int (*)(int)>(util::getLibrarySymbol(library, "loom_test_plugin_twice"));
  ASSERT_TRUE(library != nullptr && twice != nullptr);
  EXPECT_EQ(twice(21), 42);
  EXPECT_FALSE(util::getLibrarySymbol(library, "loom_test_plugin_missing") ||
               util::getLibrarySymbol(library, nullptr) ||
               util::getLibrarySymbol(nullptr, "loom_test_plugin_twice"));
  util::unloadLibrary(library);
  util::unloadLibrary(nullptr);
  EXPECT_FALSE(util::loadLibrary("/nonexistent/libnothing.so") || util::loadLibrary(nullptr));
}
