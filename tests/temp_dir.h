#ifndef LOOM_TESTS_TEMP_DIR_H
#define LOOM_TESTS_TEMP_DIR_H

// A fresh temporary directory per test, also the working directory while the test runs.
#include <boost/filesystem.hpp>
#include <gtest/gtest.h>
#include <string>

class TempDirTest : public ::testing::Test {
protected:
  void SetUp() override {
    mPrevious = boost::filesystem::current_path();
    mRoot = boost::filesystem::temp_directory_path() /
            boost::filesystem::unique_path("loom-test-%%%%-%%%%-%%%%");
    boost::filesystem::create_directories(mRoot);
    boost::filesystem::current_path(mRoot = boost::filesystem::canonical(mRoot));
  }
  void TearDown() override {
    namespace fs = boost::filesystem;
    fs::current_path(mPrevious);
    boost::system::error_code ec; // read-only directories made by a test must not stop this
    for (fs::recursive_directory_iterator it(mRoot, ec), end; !ec && it != end; it.increment(ec))
      if (fs::is_directory(it->symlink_status()))
        fs::permissions(it->path(), fs::owner_all, ec);
    fs::remove_all(mRoot, ec);
  }
  std::string at(const std::string& relative) const { return (mRoot / relative).string(); }
  std::string root() const { return mRoot.string(); }

private:
  boost::filesystem::path mPrevious, mRoot;
};

#endif
