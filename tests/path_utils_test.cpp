#include "temp_dir.h"
#include "util/path_utils.h"
#include <dlfcn.h>
#include <fstream>
#include <gmock/gmock.h>
#include <random>
#include <sstream>
#include <sys/statvfs.h>
#include <unistd.h>

// While not negative, every volume reports this many bytes free for the caller. The file-system
// library's space query calls statvfs64; this definition in the test program takes its place.
static long long gAvailable = -1;
extern "C" int statvfs64(const char* path, struct statvfs64* buf) {
  using Real = int (*)(const char*, struct statvfs64*);
  static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "statvfs64"));
  const int rc = real(path, buf);
  if (rc == 0 && gAvailable >= 0)
    buf->f_bavail = gAvailable / buf->f_frsize;
  return rc;
}

using namespace util::io;
namespace fs = boost::filesystem;
using ::testing::HasSubstr;
using Parameters = std::map<std::string, std::string>;

// The reports of one validation, one a line: kind, id and parameters.
std::string gReports;
template <char Kind> void report(const std::string& id, const Parameters& parameters) {
  gReports += (Kind == 'e' ? "error " : "warning ") + id;
  for (const auto& [key, value] : parameters)
    gReports += " " + key + "=" + value;
  gReports += "\n";
}
std::string validate(const std::string& directory, bool diskSpaceIsError = true) {
  gReports.clear();
  CreateAndValidateOutputDirectory(directory.c_str(), report<'e'>, report<'w'>, 0,
                                   diskSpaceIsError);
  return gReports;
}

class FileOps : public TempDirTest {
protected:
  static std::string read(const std::string& name = "file_util_warnings.txt") {
    std::stringstream text;
    text << std::ifstream(name).rdbuf();
    return text.str();
  }
};

TEST_F(FileOps, MakeRemoveRenameAndCopyReportFailures) {
  std::ofstream("file") << "x";
  EXPECT_FALSE(MakeDirectory(at("a/b").c_str(), false) || DirExists(at("a")));
  EXPECT_TRUE(MakeDirectory(at("a/b").c_str(), true) && DirExists(at("a/b")) &&
              MakeDirectory("a\\c", false) && DirExists("a/c") && MakeDirectory("a", false));
  EXPECT_FALSE(MakeDirectory("file", true) || MakeDirectory("", true) || FileExists("a") ||
               DirExists(static_cast<const char*>(nullptr)));
  EXPECT_TRUE(CopyFile(Path("file"), Path("dst")) && read("dst") == "x");
  // Remove and Rename throw on failure, as their callers expect.
  Rename(Path("file"), Path("g"));
  EXPECT_TRUE(!FileExists("file") && FileExists(Path("g")) && Remove(Path("g")) && !Remove("g"));
  EXPECT_THROW(Remove(Path("a")), fs::filesystem_error); // not empty
  EXPECT_THROW(Rename(Path("nothing"), Path("x")), fs::filesystem_error);
  EXPECT_FALSE(CopyFile(Path("missing"), Path("dst")));
  EXPECT_THAT(read(), ::testing::StartsWith("Error copying file from <missing> to <dst>. "));
}

TEST_F(FileOps, ValidationReportsCreationFailureThenMissingDirectory) {
  std::ofstream("file") << "x";
  EXPECT_EQ(validate("file/sub") + validate("file"),
            "error IO_ERR_COULD_NOT_CREATE_DIR details=Error code [20]: Not a directory "
            "path=file/sub\nerror IO_ERR_DIR_DOES_NOT_EXIST path=file/sub\n"
            "error IO_ERR_FILE_WHEN_EXPECTED_DIR path=file\n");
  EXPECT_EQ(validate("new\\deep/dir") + validate(""), "");
  EXPECT_TRUE(DirExists("new/deep/dir"));
  CreateAndValidateOutputDirectory("file/sub", nullptr, nullptr, 0, true); // no callbacks
}

TEST_F(FileOps, ValidationChecksWritabilityAndSpace) {
  fs::create_directory(at("ro"));
  fs::permissions(at("ro"), fs::owner_read | fs::owner_exe);
  gAvailable = 0;
  EXPECT_TRUE(Path(".").hasSpaceAvailable(0));
  const std::string space = " IO_ERR_INSUFFICIENT_DISK_SPACE path=ro required=100\n";
  EXPECT_EQ(validate("ro", false), "error IO_ERR_DIR_NOT_WRITABLE path=ro\nwarning" + space);
  EXPECT_EQ(validate("ro", true), "error IO_ERR_DIR_NOT_WRITABLE path=ro\nerror" + space);
  EXPECT_EQ(validate("."), "error IO_ERR_INSUFFICIENT_DISK_SPACE path=. required=100\n");
  gAvailable = 100 << 20; // just enough
  EXPECT_EQ(validate("."), "");
  gAvailable = -1;
}

TEST_F(FileOps, CopyDirectoryRefusesMissingSourcesAndItsOwnSubtree) {
  fs::create_directories(at("a/x/y"));
  std::ofstream("a/x/y/f") << "F";
  std::ofstream("file") << "x";
  const std::string inside = "> lies inside source directory <";
  const std::string rows[][3] = {
      {"missing", "dst", "Source directory <missing> is invalid"},
      {"a", "file", "Destination directory <file> could not be found/created"},
      {"a/", "a/./x/../y", "Destination directory <a/./x/../y" + inside + "a/>"}};
  for (const auto& r : rows) {
    EXPECT_FALSE(CopyDirectory(Path(r[0]), Path(r[1]))) << r[1];
    EXPECT_EQ(read(), r[2] + "\n");
  }
  EXPECT_FALSE(DirExists("dst") || DirExists("a/b") || DirExists("a/y"));
  EXPECT_TRUE(CopyDirectory(Path("a"), Path("ab/new"))); // a sibling with a common prefix is fine
  EXPECT_EQ(read("ab/new/x/y/f"), "F");
  // A file that cannot be copied fails its directory and those above; the rest is copied.
  fs::create_symlink(at("nowhere"), at("a/x/dangling"));
  EXPECT_FALSE(CopyDirectory(Path("a/x"), Path("c1")) || CopyDirectory(Path("a"), Path("c2")));
  EXPECT_EQ(read("c1/y/f"), "F");
  EXPECT_THAT(read(), HasSubstr("Error copying file from <a/x/dangling> to <c2/x/dangling>"));
}

TEST_F(FileOps, CopyNeverWritesOntoItsOwnSource) {
  std::ofstream("a.txt") << "precious";
  fs::create_directory(at("sub"));
  fs::create_hard_link(at("a.txt"), at("hard.txt"));
  fs::create_symlink(at("a.txt"), at("soft.txt"));
  for (const std::string target : {"./a.txt", "sub/../a.txt", "hard.txt", "soft.txt"}) {
    EXPECT_FALSE(CopyFile(Path("a.txt"), Path(target))) << target;
    EXPECT_EQ(read("a.txt"), "precious") << target;
    EXPECT_THAT(read(), HasSubstr("Message: Source and destination are the same file: " +
                                  Path(target).string() + "\n"));
  }
  // A tree installed by links before: that entry is refused, the others are copied.
  fs::create_directories(at("src"));
  std::ofstream("src/x.txt") << "X";
  std::ofstream("src/y.txt") << "Y";
  fs::create_directories(at("dst"));
  fs::create_symlink(at("src/x.txt"), at("dst/x.txt"));
  EXPECT_FALSE(CopyDirectory(Path("src"), Path("dst")));
  EXPECT_EQ(read("src/x.txt") + read("dst/y.txt"), "XY");
}

TEST_F(FileOps, CopyDirectoryRecreatesLinksToDirectoriesInsteadOfFollowingThem) {
  fs::create_directories(at("src/sub"));
  std::ofstream("src/sub/f") << "F";
  fs::create_directory_symlink(".", at("src/self")); // a cycle
  fs::create_directory_symlink("sub", at("src/alias"));
  EXPECT_TRUE(CopyDirectory(Path("src"), Path("dst")));
  EXPECT_EQ(fs::read_symlink(at("dst/self")), ".");
  EXPECT_EQ(read("dst/alias/f"), "F"); // through the copied link to the copied directory
  EXPECT_TRUE(CopyDirectory(Path("src"), Path("dst"))); // again, over the links made before
  EXPECT_EQ(fs::read_symlink(at("dst/alias")), "sub");
  fs::remove(at("dst/alias"));
  fs::create_directory(at("dst/alias")); // a real directory in the link's place fails that entry
  EXPECT_FALSE(CopyDirectory(Path("src"), Path("dst")));
  EXPECT_EQ(read(), "Error copying link <src/alias> to <dst/alias>. Message: File exists\n");
}

TEST_F(FileOps, PathsThatCannotBeLookedAtAreReportedNotThrown) {
  const std::string tooLong = std::string(300, 'n') + "/out", path = " path=" + tooLong + "\n";
  const std::string details = "Error code [36]: File name too long";
  EXPECT_FALSE(MakeDirectory(tooLong.c_str(), true));
  EXPECT_EQ(read(), "Error creating directory <" + tooLong +
                        ">. Please check that the parent directory is writable. Details: " +
                        details + "\n");
  EXPECT_EQ(validate(tooLong), "error IO_ERR_COULD_NOT_CREATE_DIR details=" + details + path +
                                   "error IO_ERR_DIR_DOES_NOT_EXIST" + path);
  EXPECT_FALSE(Path(tooLong).isWritable() || Path(tooLong).hasSpaceAvailable(0) ||
               CopyDirectory(Path(tooLong), Path("copy")));
  // A parent that may not be searched, and a directory that may not be listed, checked in a
  // child without root's privileges (root is never refused a directory).
  fs::create_directories(at("locked/inner"));
  fs::permissions(at("locked"), fs::no_perms);
  fs::create_directories(at("unlisted/inner"));
  fs::permissions(at("unlisted"), fs::owner_write | fs::owner_exe | fs::others_exe);
  fs::permissions(root(), fs::all_all); // the child writes its warnings file here
  fs::remove("file_util_warnings.txt");
  EXPECT_EXIT(
      {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
          _exit(2);
        std::string wrong;
        if (validate("locked/out") != "error IO_ERR_COULD_NOT_CREATE_DIR details=Error code [13]: "
                                      "Permission denied path=locked/out\n"
                                      "error IO_ERR_DIR_DOES_NOT_EXIST path=locked/out\n")
          wrong += "validation reported " + gReports;
        if (MakeDirectory("locked/out", false) || CopyDirectory(Path("locked/inner"), Path("c")))
          wrong += "MakeDirectory or copy from a locked directory succeeded; ";
        if (FindDirectoryInParents("unlisted", "locked/a/b").string() != "unlisted")
          wrong += "the search upwards did not pass the locked directory; ";
        if (CopyDirectory(Path("unlisted"), Path("copy2")) ||
            read() != "Error copying directory <unlisted> to <copy2>. Message: Permission denied\n")
          wrong += "copy from an unlisted directory: " + read();
        std::fputs(wrong.c_str(), stderr);
        _exit(wrong.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "^$");
}

// The absolute normal text of `path`, lexically: runs of separators, "." and ".." resolved, the
// root its own parent.
std::string normalAbsolute(const std::string& path) {
  std::vector<std::string> parts;
  std::istringstream in(path[0] == '/' ? path : fs::current_path().string() + "/" + path);
  for (std::string part; std::getline(in, part, '/');)
    if (part == "..")
      parts.resize(parts.empty() ? 0 : parts.size() - 1);
    else if (!part.empty() && part != ".")
      parts.push_back(part);
  std::string text;
  for (const auto& part : parts)
    text += "/" + part;
  return text.empty() ? "/" : text;
}

class RelativePaths : public TempDirTest {};

TEST_F(RelativePaths, SpellingsOfOneDirectoryAgree) {
  const std::string rows[][3] = {{"out/x.v", "out/", "x.v"},
                                 {"./out//x.v", "out/.", "x.v"},
                                 {"out/x.v", root(), "out/x.v"},
                                 {"/x/y", "/x/y", ""},
                                 {root() + "/out/x.v", "out/sub/..", "x.v"},
                                 {"A/b", "a/b", "../../A/b"}}; // case matters
  for (const auto& row : rows)
    EXPECT_EQ(CreateRelativePath(row[0].c_str(), row[1].c_str()), row[2])
        << row[0] << " relative to " << row[1];
  char buffer[] = "xxxxxxxxx";
  CreateRelativePath("a/b", "a", buffer, 0); // no room: untouched
  CreateRelativePath("a/bbbbbbbb", "a", buffer, 8);
  EXPECT_EQ(std::string(buffer, 10), std::string("bbbbbbb\0x\0", 10)); // cut at 7, terminated
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
    ASSERT_EQ(normalAbsolute(normalAbsolute(base) + "/" + relative), normalAbsolute(target))
        << target << " relative to " << base << " gave " << relative;
  }
}

class ParentSearch : public TempDirTest {};

TEST_F(ParentSearch, LooksBesideTheStartThenUpwards) {
  fs::create_directories(at("top/loom"));
  fs::create_directories(at("top/mid/start/loom")); // a child of the start is not looked at
  fs::create_directories(at("top/mid/sibling"));
  EXPECT_EQ(FindDirectoryInParents("sibling", at("top/mid/start")).string(), at("top/mid/sibling"));
  EXPECT_EQ(FindDirectoryInParents("loom", at("top/mid/start")).string(), at("top/loom"));
  EXPECT_EQ(FindDirectoryInParents("top", "x/y").string(), "top"); // relative in, relative out
  EXPECT_EQ(GetCurrentLibraryDirectory(), fs::canonical(LOOM_LIBRARY_DIR).string());
  EXPECT_EXIT(FindDirectoryInParents("absent-dir", "a/b"), ::testing::ExitedWithCode(100),
              HasSubstr("Can't find directory absent-dir above a/b."));
}
