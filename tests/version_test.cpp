#include "run_command.h"
#include "temp_dir.h"
#include "util/version.h"
#include <future>
#include <gtest/gtest.h>

using LoomRoot = TempDirTest; // the test directory is the working directory

// Copies the library and a helper printing the root it finds into `dir`; runs `command` or it.
static CommandRun rootFoundIn(const std::string& dir, const std::string& command = "") {
  return runCommand("unset LOOM_ROOTDIR; d=" + dir +
                    "; mkdir -p $d && cp " LOOM_LIBRARY_FILE " $d/" LOOM_LIBRARY_SONAME
                    " && cp " LOOM_ROOT_HELPER " $d/helper && " +
                    (command.empty() ? "$PWD/$d/helper" : command));
}

TEST_F(LoomRoot, NoRootEndsTheProcessWithTheMessage) {
  // The nearest ancestor named exactly "loom"; the environment's value is taken unchecked.
  EXPECT_EQ(rootFoundIn("root/loom/bin/Loom/lib").output, at("root/loom"));
  EXPECT_EQ(rootFoundIn("root/Loom/lib").text(),
            "1 Error: LOOM_ROOTDIR is not set and failed to manually locate loom.");
  setenv("LOOM_ROOTDIR", "/does/not\\exist", 1);
  EXPECT_EQ(util::GetLoomRootDir().string(), "/does/not/exist");
}

// The search path outranks the helper's own; the helper changes directory before it asks.
TEST_F(LoomRoot, LibraryFoundThroughARelativeOrLinkedSearchPath) {
  const std::string twice =
      "ln -s $d a && LD_LIBRARY_PATH=a a/helper && cd $d && LD_LIBRARY_PATH=. ./helper";
  EXPECT_EQ(rootFoundIn("root/loom/lib", twice).output, at("root/loom") + at("root/loom"));
}

TEST(ReleaseText, BannerAndYearAreFormedOnceAlsoUnderConcurrentFirstCalls) {
  std::vector<std::future<std::string>> texts;
  for (int i = 0; i < 8; ++i)
    texts.push_back(std::async(std::launch::async,
                               [] { return util::GetOrcaVersionString() + util::GetOrcaYear(); }));
  for (auto& text : texts)
    EXPECT_EQ(text.get(), "Meridian Version 22.1 (Release Build #5.1)2022");
}
