#include "util/path_utils.h"

#include "temp_dir.h"

#include <boost/filesystem.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

// While set, every volume reports no space available to the caller. The file-system
// library's space query calls statvfs64; this definition in the test program takes its place.
static bool gNoSpace = false;
extern "C" int statvfs64(const char* path, struct statvfs64* buf) {
  using Real = int (*)(const char*, struct statvfs64*);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "statvfs64"));
  const int rc = real(path, buf);
  if (rc == 0 && gNoSpace)
    buf->f_bavail = 0;
  return rc;
}

namespace {

using namespace util::io;
namespace fs = boost::filesystem;
using ::testing::ExitedWithCode;
using ::testing::HasSubstr;

std::string readFile(const std::string& name) {
  std::ifstream in(name);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The callbacks are plain functions: they record into this list.
struct Report {
  std::string kind, id;
  std::map<std::string, std::string> parameters;
  bool operator==(const Report& o) const {
    return kind == o.kind && id == o.id && parameters == o.parameters;
  }
};
std::vector<Report> gReports;
void onError(const std::string& id, const std::map<std::string, std::string>& p) {
  gReports.push_back({"error", id, p});
}
void onWarning(const std::string& id, const std::map<std::string, std::string>& p) {
  gReports.push_back({"warning", id, p});
}

class FileOps : public TempDirTest {
protected:
  void SetUp() override {
    TempDirTest::SetUp();
    gReports.clear();
  }
  void TearDown() override {
    gNoSpace = false;
    TempDirTest::TearDown();
  }
  void makeFile(const std::string& name, const std::string& text = "x") {
    std::ofstream(at(name)) << text;
  }
  // The last-message text, as output-directory validation passes it on: validating a
  // directory below a regular file fails creation and reports the text as "details".
  std::string lastMessage() {
    makeFile("blocker");
    gReports.clear();
    CreateAndValidateOutputDirectory("blocker/x", onError, onWarning, 0, true);
    const std::string details = gReports.empty() ? "" : gReports[0].parameters["details"];
    gReports.clear();
    return details;
  }
  std::string warnings() { return readFile("file_util_warnings.txt"); }
};

TEST_F(FileOps, MakeDirectoryCreatesWithAndWithoutAncestors) {
  EXPECT_FALSE(MakeDirectory(at("a/b").c_str(), false));
  EXPECT_FALSE(DirExists(at("a")));
  EXPECT_TRUE(MakeDirectory(at("a/b").c_str(), true));
  EXPECT_TRUE(DirExists(at("a/b")));
  EXPECT_TRUE(MakeDirectory("a\\c", false)); // normal form: a/c
  EXPECT_TRUE(DirExists("a/c"));
  EXPECT_TRUE(MakeDirectory(at("a").c_str(), false)); // exists already
  EXPECT_FALSE(DirExists(static_cast<const char*>(nullptr)));
}

TEST_F(FileOps, MakeDirectoryLeavesTheMostUsefulExplanation) {
  makeFile("file");
  EXPECT_FALSE(MakeDirectory(at("file").c_str(), true));
  EXPECT_FALSE(MakeDirectory("", true));
  // The blocker inside lastMessage() produces the error-code text, which it reports.
  EXPECT_THAT(lastMessage(), ::testing::MatchesRegex("Error code \\[[0-9]+\\]: .+"));
  CreateAndValidateOutputDirectory("", onError, onWarning, 0, true);
  EXPECT_TRUE(gReports.empty());
}

TEST_F(FileOps, ValidationReportsCreationFailureThenMissingDirectory) {
  makeFile("file");
  CreateAndValidateOutputDirectory("file/sub", onError, onWarning, 7, true);
  ASSERT_EQ(gReports.size(), 2u);
  EXPECT_EQ(gReports[0].id, "IO_ERR_COULD_NOT_CREATE_DIR");
  EXPECT_EQ(gReports[0].parameters.at("path"), "file/sub");
  EXPECT_THAT(gReports[0].parameters.at("details"), HasSubstr("Error code ["));
  EXPECT_EQ(gReports[0].parameters.size(), 2u);
  EXPECT_EQ(gReports[1], (Report{"error", "IO_ERR_DIR_DOES_NOT_EXIST", {{"path", "file/sub"}}}));

  gReports.clear();
  CreateAndValidateOutputDirectory("file", onError, onWarning, 0, true);
  EXPECT_EQ(gReports,
            (std::vector<Report>{{"error", "IO_ERR_FILE_WHEN_EXPECTED_DIR", {{"path", "file"}}}}));

  gReports.clear();
  CreateAndValidateOutputDirectory("new\\deep/dir", onError, onWarning, 0, true);
  EXPECT_TRUE(gReports.empty());
  EXPECT_TRUE(DirExists("new/deep/dir"));
}

TEST_F(FileOps, ValidationChecksWritabilityAndSpace) {
  fs::create_directory(at("ro"));
  fs::permissions(at("ro"), fs::owner_read | fs::owner_exe);
  gNoSpace = true;
  CreateAndValidateOutputDirectory("ro", onError, onWarning, 0, false);
  EXPECT_EQ(gReports, (std::vector<Report>{{"error", "IO_ERR_DIR_NOT_WRITABLE", {{"path", "ro"}}},
                                           {"warning",
                                            "IO_ERR_INSUFFICIENT_DISK_SPACE",
                                            {{"path", "ro"}, {"required", "100"}}}}));
  gReports.clear();
  CreateAndValidateOutputDirectory("ro", onError, onWarning, 0, true);
  ASSERT_EQ(gReports.size(), 2u);
  EXPECT_EQ(gReports[1].kind, "error");
  EXPECT_EQ(gReports[1].id, "IO_ERR_INSUFFICIENT_DISK_SPACE");

  gNoSpace = false;
  gReports.clear();
  fs::create_directory(at("ok"));
  CreateAndValidateOutputDirectory(at("ok").c_str(), nullptr, nullptr, 0, true); // no callbacks
  CreateAndValidateOutputDirectory(at("ok").c_str(), onError, onWarning, 0, true);
  EXPECT_TRUE(gReports.empty());
}

TEST_F(FileOps, CopyFileOverwritesAndWarnsOnFailure) {
  makeFile("src", "new");
  makeFile("dst", "old");
  EXPECT_TRUE(CopyFile(at("src"), at("dst")));
  EXPECT_EQ(readFile(at("dst")), "new");
  EXPECT_FALSE(CopyFile(at("missing"), at("dst")));
  EXPECT_THAT(warnings(), ::testing::StartsWith("Error copying file from <" + at("missing") +
                                                "> to <" + at("dst") + ">. Message: "));
  EXPECT_FALSE(CopyFile(at("missing2"), at("dst")));
  const std::string text = warnings(); // only the last warning stays
  EXPECT_THAT(text, HasSubstr("missing2"));
  EXPECT_EQ(text.find("missing>"), std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1);
}

TEST_F(FileOps, CopyDirectoryCopiesTreesAndSkipsFailingFiles) {
  fs::create_directories(at("src/sub/deeper"));
  makeFile("src/a", "A");
  makeFile("src/sub/b", "B");
  makeFile("src/sub/deeper/c", "C");
  fs::create_symlink(at("nowhere"), at("src/dangling")); // copying it fails, the rest goes on
  EXPECT_FALSE(CopyDirectory(at("src"), at("dst")));
  EXPECT_EQ(readFile(at("dst/a")), "A");
  EXPECT_EQ(readFile(at("dst/sub/b")), "B");
  EXPECT_EQ(readFile(at("dst/sub/deeper/c")), "C");
  EXPECT_THAT(warnings(), HasSubstr("Error copying file from <"));

  fs::remove(at("src/dangling"));
  EXPECT_TRUE(CopyDirectory(at("src"), at("dst2")));
  EXPECT_EQ(readFile(at("dst2/sub/deeper/c")), "C");
  // A file failing inside a subdirectory makes that subdirectory's copy fail.
  fs::create_symlink(at("nowhere"), at("src/sub/deeper/dangling"));
  EXPECT_FALSE(CopyDirectory(at("src/sub"), at("dst3")));
  EXPECT_EQ(readFile(at("dst3/deeper/c")), "C");
}

TEST_F(FileOps, CopyDirectoryStopsAtAFailingSubdirectory) {
  fs::create_directories(at("src/bad"));
  for (int i = 0; i < 8; ++i)
    makeFile("src/f" + std::to_string(i));
  fs::create_directories(at("dst"));
  makeFile("dst/bad"); // the subdirectory cannot be created over this file
  // The copy stops where the iteration meets "bad": files listed before it are copied,
  // those after it are not.
  std::vector<std::string> before, after;
  bool seen = false;
  for (fs::directory_iterator it(at("src")), end; it != end; ++it) {
    const std::string name = it->path().filename().string();
    if (name == "bad")
      seen = true;
    else
      (seen ? after : before).push_back(name);
  }
  EXPECT_FALSE(CopyDirectory(at("src"), at("dst")));
  for (const auto& name : before)
    EXPECT_TRUE(FileExists(at("dst/" + name))) << name;
  for (const auto& name : after)
    EXPECT_FALSE(FileExists(at("dst/" + name))) << name;
  EXPECT_EQ(warnings(),
            "Destination directory <" + at("dst/bad") + "> could not be found/created\n");
}

TEST_F(FileOps, CopyDirectoryRefusesMissingSourcesAndItsOwnSubtree) {
  EXPECT_FALSE(CopyDirectory(at("missing"), at("dst")));
  EXPECT_EQ(warnings(), "Source directory <" + at("missing") + "> is invalid\n");
  EXPECT_FALSE(DirExists(at("dst")));

  fs::create_directories(at("a/x"));
  EXPECT_FALSE(CopyDirectory(at("a"), at("a/b")));
  EXPECT_EQ(warnings(), "Destination directory <" + at("a/b") + "> lies inside source directory <" +
                            at("a") + ">\n");
  EXPECT_FALSE(DirExists(at("a/b")));
  EXPECT_FALSE(CopyDirectory(Path("a"), Path("a/./x/../y")));
  EXPECT_FALSE(CopyDirectory(at("a"), at("a")));
  EXPECT_TRUE(CopyDirectory(at("a"), at("ab"))); // a sibling with a common prefix is fine
}

TEST_F(FileOps, WarningsFileThatCannotBeOpenedGoesToStandardError) {
  fs::create_directory(at("file_util_warnings.txt")); // a directory in the file's place
  ::testing::internal::CaptureStderr();
  EXPECT_FALSE(CopyFile(at("missing"), at("dst")));
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "Could not open file_util_warnings.txt for writing.");
}

TEST_F(FileOps, RemoveAndRename) {
  makeFile("f");
  Rename(at("f"), at("g"));
  EXPECT_FALSE(FileExists(at("f")));
  EXPECT_TRUE(FileExists(Path(at("g"))));
  EXPECT_TRUE(Remove(at("g")));
  EXPECT_FALSE(Remove(at("g")));
  fs::create_directories(at("d/e"));
  EXPECT_THROW(Remove(at("d")), fs::filesystem_error); // not empty
  EXPECT_THROW(Rename(at("nothing"), at("x")), fs::filesystem_error);
}

TEST(PathStrings, RelativePathsComponentByComponent) {
  EXPECT_EQ(CreateRelativePath("a/b/c", "a/d"), "../b/c");
  EXPECT_EQ(CreateRelativePath("/x/y", "/x/y"), "");
  EXPECT_EQ(CreateRelativePath("/x/y", "/"), "x/y");
  EXPECT_EQ(CreateRelativePath("A/b", "a/b"), "../../A/b"); // case matters

  char buffer[8];
  CreateRelativePath("a/bbbbbbbb/c", "a", buffer, sizeof buffer);
  EXPECT_STREQ(buffer, "bbbbbbb"); // cut at 7 characters and terminated
  buffer[0] = 'z';
  CreateRelativePath("a/b", "a", buffer, 0);
  EXPECT_EQ(buffer[0], 'z');
  const std::string longPath = "r/" + std::string(300, 'q');
  EXPECT_EQ(CreateRelativePath(longPath.c_str(), "r"), std::string(300, 'q')); // no cut
}

TEST(PathStrings, AbsolutePathsAndUris) {
  std::string result;
  GetAbsolutePath("base", "/x", result);
  EXPECT_EQ(result, "/x");
  GetAbsolutePath("base", "\\x", result);
  EXPECT_EQ(result, "\\x");
  GetAbsolutePath("base", "C:/x", result);
  EXPECT_EQ(result, "C:/x");
  GetAbsolutePath("base", "C:\\x", result);
  EXPECT_EQ(result, "C:\\x");
  GetAbsolutePath("base", "C:x", result);
  EXPECT_EQ(result, "base/C:x");
  GetAbsolutePath("base", "", result);
  EXPECT_EQ(result, "base/");

  EXPECT_EQ(ToURI(""), "file:///");
  EXPECT_EQ(ToURI("C:\\a b\\c"), "file:///C:/a b/c");
  EXPECT_EQ(ToURI(std::string("/x%20")), "file:////x%20");
}

TEST(LibraryLocation, IsTheDirectoryOfTheLoadedLibrary) {
  EXPECT_EQ(fs::canonical(GetCurrentLibraryDirectory()), fs::canonical(LOOM_LIBRARY_DIR));
}

class ParentSearch : public TempDirTest {};

TEST_F(ParentSearch, LooksBesideTheStartThenUpwards) {
  fs::create_directories(at("top/loom"));
  fs::create_directories(at("top/mid/start/loom")); // a child of the start is not looked at
  fs::create_directories(at("top/mid/sibling"));
  EXPECT_EQ(FindDirectoryInParents("sibling", at("top/mid/start")).string(), at("top/mid/sibling"));
  EXPECT_EQ(FindDirectoryInParents("loom", at("top/mid/start")).string(), at("top/loom"));
  // Relative starts end with the name relative to the working directory.
  EXPECT_EQ(FindDirectoryInParents("top", "x/y").string(), "top");
  EXPECT_EXIT(FindDirectoryInParents("absent-dir", "a/b"), ExitedWithCode(100),
              HasSubstr("'!currDir.isEmpty()'. Can't find directory absent-dir above a/b. "
                        "[util::io::FindDirectoryInParents at src/util/path_utils.cpp:"));
}

} // namespace
