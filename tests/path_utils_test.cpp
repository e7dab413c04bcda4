#include "util/path_utils.h"

#include "temp_dir.h"

#include <boost/filesystem.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <functional>
#include <map>
#include <random>
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

// Runs `check` in a death-test child without root's privileges (root is never refused a
// directory); the child prints what `check` found wrong and exits with 0 only when nothing was.
[[noreturn]] void asUnprivileged(const std::function<std::string()>& check) {
  if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
    std::fputs("could not drop privileges", stderr);
    _exit(2);
  }
  const std::string failure = check();
  std::fputs(failure.c_str(), stderr);
  _exit(failure.empty() ? 0 : 1);
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

TEST_F(FileOps, CopyNeverWritesOntoItsOwnSource) {
  makeFile("a.txt", "precious");
  fs::create_directory(at("sub"));
  fs::create_hard_link(at("a.txt"), at("hard.txt"));
  fs::create_symlink(at("a.txt"), at("soft.txt"));
  for (const std::string target : {"./a.txt", "sub/../a.txt", "hard.txt", "soft.txt"}) {
    EXPECT_FALSE(CopyFile(Path("a.txt"), Path(target))) << target;
    EXPECT_EQ(readFile("a.txt"), "precious") << target;
    EXPECT_THAT(warnings(), HasSubstr("Message: Source and destination are the same file: " +
                                      Path(target).string() + "\n"));
  }
  // A tree installed by links before: that entry is refused, the others are copied.
  fs::create_directories(at("src"));
  makeFile("src/x.txt", "X");
  makeFile("src/y.txt", "Y");
  fs::create_directories(at("dst"));
  fs::create_symlink(at("src/x.txt"), at("dst/x.txt"));
  EXPECT_FALSE(CopyDirectory(Path("src"), Path("dst")));
  EXPECT_EQ(readFile("src/x.txt"), "X");
  EXPECT_EQ(readFile("dst/y.txt"), "Y");
}

TEST_F(FileOps, CopyDirectoryRecreatesLinksToDirectoriesInsteadOfFollowingThem) {
  fs::create_directories(at("src/sub"));
  makeFile("src/sub/f", "F");
  fs::create_directory_symlink(".", at("src/self")); // a cycle
  fs::create_directory_symlink("sub", at("src/alias"));
  EXPECT_TRUE(CopyDirectory(Path("src"), Path("dst")));
  EXPECT_EQ(fs::read_symlink(at("dst/self")), ".");
  EXPECT_EQ(readFile("dst/alias/f"), "F"); // through the copied link to the copied directory
  EXPECT_TRUE(CopyDirectory(Path("src"), Path("dst"))); // again, over the links made before
  EXPECT_EQ(fs::read_symlink(at("dst/alias")), "sub");
}

TEST_F(FileOps, PathsThatCannotBeLookedAtAreReportedNotThrown) {
  const std::string tooLong = std::string(300, 'n') + "/out";
  EXPECT_FALSE(MakeDirectory(tooLong.c_str(), true));
  EXPECT_THAT(warnings(), HasSubstr("File name too long"));
  CreateAndValidateOutputDirectory(tooLong.c_str(), onError, onWarning, 0, true);
  ASSERT_EQ(gReports.size(), 2u);
  EXPECT_EQ(gReports[0].id, "IO_ERR_COULD_NOT_CREATE_DIR");
  EXPECT_THAT(gReports[0].parameters["details"], HasSubstr("File name too long"));
  EXPECT_EQ(gReports[1].id, "IO_ERR_DIR_DOES_NOT_EXIST");
  EXPECT_FALSE(Path(tooLong).isWritable());
  EXPECT_FALSE(Path(tooLong).hasSpaceAvailable(0));
  EXPECT_FALSE(CopyDirectory(Path(tooLong), Path("copy")));

  // A parent that may not be searched, and a directory that may not be listed.
  fs::create_directories(at("locked/inner"));
  fs::permissions(at("locked"), fs::no_perms);
  fs::create_directories(at("unlisted/inner"));
  fs::permissions(at("unlisted"), fs::owner_write | fs::owner_exe | fs::others_exe);
  fs::permissions(root(), fs::all_all); // the child writes its warnings file here
  fs::remove("file_util_warnings.txt");
  EXPECT_EXIT(asUnprivileged([this] {
                std::string wrong;
                gReports.clear();
                CreateAndValidateOutputDirectory("locked/out", onError, onWarning, 0, true);
                if (gReports.size() != 2 || gReports[0].id != "IO_ERR_COULD_NOT_CREATE_DIR" ||
                    gReports[0].parameters["details"] != "Error code [13]: Permission denied" ||
                    gReports[1].id != "IO_ERR_DIR_DOES_NOT_EXIST")
                  wrong += "validation reported otherwise; ";
                if (MakeDirectory("locked/out", false))
                  wrong += "MakeDirectory succeeded; ";
                if (FindDirectoryInParents("unlisted", "locked/a/b").string() != "unlisted")
                  wrong += "the search upwards did not pass the locked directory; ";
                if (CopyDirectory(Path("locked/inner"), Path("copy")))
                  wrong += "copy from a locked directory succeeded; ";
                if (CopyDirectory(Path("unlisted"), Path("copy2")) ||
                    warnings() != "Error copying directory <unlisted> to <copy2>. Message: "
                                  "Permission denied\n")
                  wrong += "copy from an unlisted directory: " + warnings();
                return wrong;
              }),
              ExitedWithCode(0), "^$");
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

// The absolute, lexically normal text of `path`, by the file-system library's own rules (after
// collapsing runs of separators, which the library would take for a network name).
std::string normalAbsolute(const fs::path& path) {
  std::string text = path.string();
  for (std::string::size_type at; (at = text.find("//")) != std::string::npos;)
    text.erase(at, 1);
  text = fs::absolute(text).lexically_normal().string();
  for (;;) {
    if (text.size() >= 2 && text.compare(text.size() - 2, 2, "/.") == 0)
      text.resize(text.size() - 2);
    else if (text.size() > 1 && text.back() == '/')
      text.pop_back();
    else if (text.compare(0, 3, "/..") == 0 && (text.size() == 3 || text[3] == '/'))
      text.erase(0, 3); // the root is its own parent
    else
      return text.empty() ? "/" : text;
  }
}

class RelativePaths : public TempDirTest {};

TEST_F(RelativePaths, SpellingsOfOneDirectoryAgree) {
  std::string up; // from the working directory to the root
  for (const auto& part : fs::path(root()).relative_path())
    up += part == "." ? "" : "../";
  const std::vector<std::array<std::string, 3>> rows = {{"out/x.v", "out/", "x.v"},
                                                        {"out/x.v", ".", "out/x.v"},
                                                        {"out/x.v", "./out", "x.v"},
                                                        {"./out//x.v", "out/.", "x.v"},
                                                        {"/abs/x.v", "out", up + "../abs/x.v"},
                                                        {"out/x.v", root(), "out/x.v"},
                                                        {root() + "/out/x.v", "out/sub/..", "x.v"}};
  for (const auto& row : rows)
    EXPECT_EQ(CreateRelativePath(row[0].c_str(), row[1].c_str()), row[2])
        << row[0] << " relative to " << row[1];
}

TEST_F(RelativePaths, JoiningTheBaseWithTheResultLeadsToTheTarget) {
  std::mt19937 random(17);
  const char* const parts[] = {"a", "b", "c", ".", "..", ""}; // "" doubles a separator
  const auto randomPath = [&] {
    std::string text = random() % 3 == 0 ? "/" : "";
    for (unsigned i = 0, n = 1 + random() % 5; i < n; ++i)
      text += std::string(i > 0 ? "/" : "") + parts[random() % 6];
    return random() % 4 == 0 ? text + "/" : text;
  };
  for (int i = 0; i < 2000; ++i) {
    const std::string target = randomPath(), base = randomPath();
    const std::string relative = CreateRelativePath(target.c_str(), base.c_str());
    ASSERT_EQ(normalAbsolute(fs::path(normalAbsolute(base)) / relative), normalAbsolute(target))
        << target << " relative to " << base << " gave " << relative;
  }
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
  EXPECT_EQ(GetCurrentLibraryDirectory(), fs::canonical(LOOM_LIBRARY_DIR).string());
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
