#ifndef LOOM_TESTS_TEMP_DIR_H
#define LOOM_TESTS_TEMP_DIR_H

// A fresh temporary directory per test, also the working directory while the test runs.
#include <boost/filesystem.hpp>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>

// The whole content of a file; empty when it cannot be read.
inline std::string contentOf(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

class TempDirTest : public ::testing::Test {
protected:
  void SetUp() override {
    namespace fs = boost::filesystem;
    mPrevious = fs::current_path();
    mRoot = fs::temp_directory_path() / fs::unique_path("loom-test-%%%%-%%%%-%%%%");
    fs::create_directories(mRoot);
    fs::current_path(mRoot = fs::canonical(mRoot));
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
