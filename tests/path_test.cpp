#include "util/path.h"

#include "temp_dir.h"

#include <boost/filesystem.hpp>
#include <gtest/gtest.h>

#include <fstream>

namespace {

using util::io::Path;
namespace fs = boost::filesystem;

TEST(PathNormalForm, KeepsPrefixesTurnsBackslashesAndCollapsesRuns) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"C:\\a\\\\b\\", "C:/a/b/"},
      {"\\\\srv\\x", "\\\\srv/x"},
      {"\\\\?\\C:\\x", "\\\\?/C:/x"},
      {"//a//b", "/a/b"},
      {"a/./b", "a/./b"},
      {"a/../b", "a/../b"},
      {"\\\\", "\\\\"},
      {"\\", "/"},
      {"///", "/"},
      {" a /B ", " a /B "},
      {"", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Path(c.in).string(), c.out) << c.in;
    EXPECT_STREQ(Path(std::string(c.in)).c_str(), c.out) << c.in;
  }
  EXPECT_EQ(Path(static_cast<const char*>(nullptr)).string(), "");
}

TEST(PathDecomposition, SplitsOnEitherSeparator) {
  const struct {
    const char* text;
    const char* directory;
    const char* filename;
    const char* extension;
    const char* baseName;
  } cases[] = {
      {"", "", "", "", ""},
      {"/", "", "", "", ""},
      {"/a", "/", "a", "", "a"},
      {"a", "", "a", "", "a"},
      {".bashrc", "", ".bashrc", "bashrc", ""},
      {"a.b/c", "a.b", "c", "", "c"},
      {"a/b.c.d", "a", "b.c.d", "d", "b.c"},
      {"C:", "", "C:", "", "C:"},
      {"C:/", "C:", "", "", ""},
      {"C:/a", "C:", "a", "", "a"},
      {"a/b/", "a/b", "", "", ""},
      {"\\\\srv\\share\\f.txt", "\\\\srv/share", "f.txt", "txt", "f"},
      {"\\\\", "\\", "", "", ""},
  };
  for (const auto& c : cases) {
    const Path p(c.text);
    EXPECT_EQ(p.getDirectory(), c.directory) << c.text;
    EXPECT_EQ(p.getFilename(), c.filename) << c.text;
    EXPECT_EQ(p.getExtension(), c.extension) << c.text;
    EXPECT_EQ(p.getBaseName(), c.baseName) << c.text;
  }
}

TEST(PathDecomposition, SetExtensionReplacesOnlyAnExistingOne) {
  const struct {
    const char* text;
    const char* ext;
    const char* result;
  } cases[] = {
      {"a/b.c.d", "v", "a/b.c.v"},    {"a/b", "v", "a/b"},
      {"a.b/c", "v", "a.b/c"},        {"x.sv", ".v", "x..v"},
      {".bashrc", "zshrc", ".zshrc"}, {"f.", "txt", "f.txt"},
  };
  for (const auto& c : cases) {
    Path p(c.text);
    p.setExtension(c.ext);
    EXPECT_EQ(p.string(), c.result) << c.text;
  }
}

TEST(PathComposition, JoinsWithOneSlashWhateverTheSecondPart) {
  EXPECT_EQ(Path("a/").join("b").string(), "a/b");
  EXPECT_EQ(Path("a").join("/b").string(), "a/b");
  EXPECT_EQ(Path("a").join(Path()).string(), "a");
  EXPECT_EQ(Path().join("b").string(), "b");
  EXPECT_EQ(Path("\\\\").join("srv").string(), "\\\\srv");
  EXPECT_EQ(Path("a").join(std::string("b\\c")).string(), "a/b/c");
  EXPECT_EQ(Path("C:\\").join("x").string(), "C:/x");
}

TEST(PathClassification, UsesDriveAndLongPathRules) {
  EXPECT_TRUE(Path().isRelative());
  EXPECT_TRUE(Path("/usr/lib").isRelative());
  EXPECT_TRUE(Path("\\\\srv\\x").isRelative());
  EXPECT_TRUE(Path("a").isRelative());
  EXPECT_TRUE(Path("C:x").isAbsolute());
  EXPECT_TRUE(Path("C:").isAbsolute());
  EXPECT_TRUE(Path("\\\\?\\C:\\x").isAbsolute());
}

TEST(PathComparison, IsByteForByte) {
  EXPECT_FALSE(Path("a/b") == Path("a/b/"));
  EXPECT_FALSE(Path("A/b") == Path("a/b"));
  EXPECT_TRUE(Path("a\\b") == Path("a/b"));
  EXPECT_TRUE(Path("A") < Path("a"));
  EXPECT_TRUE(Path("a") < Path("a/"));
  EXPECT_TRUE(Path("a/\xC3") < Path("a/\xC4")); // bytes compare unsigned
  EXPECT_TRUE(Path("a/b") < Path("a/\xC3"));
  Path empty;
  EXPECT_TRUE(empty.empty() && empty.isEmpty());
}

class PathFileSystem : public TempDirTest {};

TEST_F(PathFileSystem, StatusQueriesFollowLinksAndDanglingLinksDoNotExist) {
  fs::create_directory(at("dir"));
  std::ofstream(at("file")) << "x";
  fs::create_symlink(at("missing"), at("dangling"));
  fs::create_symlink(at("dir"), at("dirlink"));
  EXPECT_TRUE(Path(at("dir")).isDirectory());
  EXPECT_FALSE(Path(at("dir")).isFile());
  EXPECT_TRUE(Path(at("file")).isFile());
  EXPECT_TRUE(Path(at("file")).exists());
  EXPECT_TRUE(Path(at("dirlink")).isDirectory());
  EXPECT_FALSE(Path(at("dangling")).exists());
  EXPECT_FALSE(Path(at("nothing/below")).exists());
  EXPECT_FALSE(Path(at("file/below")).exists()); // not a directory on the way: not found
}

TEST_F(PathFileSystem, WritabilityReadsOwnerBitsAndSpaceNeedsADirectory) {
  fs::create_directory(at("rw"));
  fs::create_directory(at("ro"));
  fs::permissions(at("ro"), fs::owner_read | fs::owner_exe); // 0500
  std::ofstream(at("file")) << "x";
  EXPECT_TRUE(Path(at("rw")).isWritable());
  EXPECT_FALSE(Path(at("ro")).isWritable()); // also as root: the bits decide
  EXPECT_TRUE(Path(at("file")).isWritable());
  EXPECT_FALSE(Path(at("absent")).isWritable());

  EXPECT_TRUE(Path(at("rw")).hasSpaceAvailable(0));
  EXPECT_FALSE(Path(at("file")).hasSpaceAvailable(0));
  EXPECT_FALSE(Path(at("rw")).hasSpaceAvailable(std::uint64_t(1) << 43)); // 8 EiB
  EXPECT_FALSE(Path(at("rw")).hasSpaceAvailable(UINT64_MAX));             // bytes overflow 64 bits
}

TEST_F(PathFileSystem, AbsoluteAndRelativeFormsResolveWhatExists) {
  fs::create_directories(at("a/b"));
  fs::create_symlink(at("a/b"), at("link"));
  EXPECT_EQ(Path("a/b").getAbsolutePath().string(), at("a/b"));
  EXPECT_EQ(Path("link/new/x").getAbsolutePath().string(), at("a/b/new/x"));
  EXPECT_EQ(Path("a/./b/../b").getAbsolutePath().string(), at("a/b"));
  EXPECT_EQ(Path(at("a/b/c/d")).relativeTo(Path(at("a"))).string(), "b/c/d");
  EXPECT_EQ(Path(at("a")).relativeTo(Path(at("a/b"))).string(), "..");
  EXPECT_EQ(Path("link/f").relativeTo(Path(at("a"))).string(), "b/f");
  EXPECT_EQ(Path(at("a")).relativeTo(Path(at("a"))).string(), ".");
}

} // namespace
