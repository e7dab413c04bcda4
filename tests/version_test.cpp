#include "util/version.h"

#include "run_command.h"
#include "temp_dir.h"

#include <boost/filesystem.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = boost::filesystem;
using util::io::Path;

TEST(ReleaseText, BannerAndYearAreFormedOnceAlsoUnderConcurrentFirstCalls) {
  std::vector<std::string> banners(8), years(8);
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i)
    threads.emplace_back([&, i] {
      banners[i] = util::GetOrcaVersionString();
      years[i] = util::GetOrcaYear();
    });
  for (auto& t : threads)
    t.join();
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(banners[i], "Meridian Version 22.1 (Release Build #5.1)");
    EXPECT_EQ(years[i], "2022");
  }
  EXPECT_EQ(orca_version, "22.1");
  EXPECT_EQ(orca_version_code, "%%version_code%%");
  EXPECT_EQ(orca_build_number, "5.1");
  EXPECT_EQ(orca_build_date, "05/21/2022");
  EXPECT_EQ(orca_service_pack, "%%service_pack%%");
  EXPECT_EQ(orca_sp_date, "%%sp_date%%");
}

// Copies of the built library placed in temporary trees, each beside a copy of a small
// program that prints the root the library finds by walking up from its own location.
class LoomRoot : public TempDirTest {
protected:
  void SetUp() override {
    TempDirTest::SetUp();
    const char* saved = std::getenv("LOOM_ROOTDIR");
    mSaved = saved != nullptr;
    if (mSaved)
      mSavedValue = saved;
    unsetenv("LOOM_ROOTDIR");
  }
  void TearDown() override {
    if (mSaved)
      setenv("LOOM_ROOTDIR", mSavedValue.c_str(), 1);
    TempDirTest::TearDown();
  }

  // Runs the helper from a copy of program and library placed in `directory`; by its absolute
  // name, or by `command` run in the test directory.
  CommandRun rootFoundIn(const std::string& directory, const std::string& command = "") {
    const fs::path dir = at(directory);
    fs::create_directories(dir);
    const fs::path library = LOOM_LIBRARY_FILE;
    fs::copy_file(library, dir / LOOM_LIBRARY_SONAME);
    fs::copy_file(LOOM_ROOT_HELPER, dir / "helper");
    return runCommand(command.empty() ? (dir / "helper").string()
                                      : "cd '" + root() + "' && " + command);
  }

private:
  bool mSaved = false;
  std::string mSavedValue;
};

TEST_F(LoomRoot, EnvironmentIsTakenUnchecked) {
  setenv("LOOM_ROOTDIR", "/does/not\\exist", 1);
  EXPECT_EQ(util::GetLoomRootDir().string(), "/does/not/exist");
  setenv("LOOM_ROOTDIR", "", 1);
  EXPECT_EQ(util::GetLoomRootDir().string(), "");
}

TEST_F(LoomRoot, NearestAncestorNamedExactlyLoom) {
  const CommandRun nested = rootFoundIn("root/loom/bin/Loom/lib");
  EXPECT_EQ(nested.status, 0);
  EXPECT_EQ(nested.output, at("root/loom"));
  const CommandRun inside = rootFoundIn("other/loom");
  EXPECT_EQ(inside.status, 0);
  EXPECT_EQ(inside.output, at("other/loom"));
}

TEST_F(LoomRoot, LibraryFoundThroughARelativeOrLinkedSearchPath) {
  // The search path outranks the helper's own; the helper changes directory before it asks.
  const CommandRun relative =
      rootFoundIn("root/loom/lib", "cd root/loom/lib && LD_LIBRARY_PATH=. ./helper");
  EXPECT_EQ(relative.output, at("root/loom"));
  fs::create_directory_symlink(at("root/loom/lib"), at("alias"));
  EXPECT_EQ(runCommand("cd '" + root() + "' && LD_LIBRARY_PATH=alias alias/helper").output,
            at("root/loom"));
}

TEST_F(LoomRoot, NoRootEndsTheProcessWithTheMessage) {
  const CommandRun lost = rootFoundIn("root/Loom/lib");
  EXPECT_EQ(lost.status, 1);
  EXPECT_EQ(lost.output, "Error: LOOM_ROOTDIR is not set and failed to manually locate loom.");
}

} // namespace
