#include "run_command.h"
#include "temp_dir.h"
#include "util/version.h"
#include <boost/filesystem.hpp>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

// Copies of the built library and of a small program that prints the root the library finds by
// walking up from its own location, placed in temporary trees.
class LoomRoot : public TempDirTest {
protected:
  // Runs the copy in `directory` by its absolute name, or `command` in the test directory.
  CommandRun rootFoundIn(const std::string& directory, const std::string& command = "") {
    unsetenv("LOOM_ROOTDIR");
    boost::filesystem::create_directories(at(directory));
    boost::filesystem::copy_file(LOOM_LIBRARY_FILE, at(directory + "/" + LOOM_LIBRARY_SONAME));
    boost::filesystem::copy_file(LOOM_ROOT_HELPER, at(directory + "/helper"));
    return runCommand(command.empty() ? at(directory + "/helper")
                                      : "cd '" + root() + "' && " + command);
  }
};

TEST_F(LoomRoot, NoRootEndsTheProcessWithTheMessage) {
  // The nearest ancestor named exactly "loom"; the environment's value is taken unchecked.
  EXPECT_EQ(rootFoundIn("root/loom/bin/Loom/lib").output, at("root/loom"));
  EXPECT_EQ(rootFoundIn("other/loom").output, at("other/loom"));
  const CommandRun lost = rootFoundIn("root/Loom/lib");
  EXPECT_EQ(lost.status, 1);
  EXPECT_EQ(lost.output, "Error: LOOM_ROOTDIR is not set and failed to manually locate loom.");
  setenv("LOOM_ROOTDIR", "/does/not\\exist", 1);
  EXPECT_EQ(util::GetLoomRootDir().string(), "/does/not/exist");
  unsetenv("LOOM_ROOTDIR");
}

TEST_F(LoomRoot, LibraryFoundThroughARelativeOrLinkedSearchPath) {
  // The search path outranks the helper's own; the helper changes directory before it asks.
  EXPECT_EQ(rootFoundIn("root/loom/lib", "cd root/loom/lib && LD_LIBRARY_PATH=. ./helper").output,
            at("root/loom"));
  boost::filesystem::create_directory_symlink(at("root/loom/lib"), at("alias"));
  EXPECT_EQ(runCommand("cd '" + root() + "' && LD_LIBRARY_PATH=alias alias/helper").output,
            at("root/loom"));
}

TEST(ReleaseText, BannerAndYearAreFormedOnceAlsoUnderConcurrentFirstCalls) {
  std::vector<std::string> texts(8);
  std::vector<std::thread> threads;
  for (auto& text : texts)
    threads.emplace_back([&text] { text = util::GetOrcaVersionString() + util::GetOrcaYear(); });
  for (auto& thread : threads)
    thread.join();
  for (const auto& text : texts)
    EXPECT_EQ(text, "Meridian Version 22.1 (Release Build #5.1)2022");
  EXPECT_EQ(orca_build_date, "05/21/2022");
}
