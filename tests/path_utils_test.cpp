#include "hostile_fs.h"
#include "util/path_utils.h"
#include <array>
#include <chrono>
#include <fmt/format.h>
#include <gmock/gmock.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/statvfs.h>
#include <thread>

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

class FileOps : public HostileFsTest {
protected:
  static std::string read(const std::string& name = "file_util_warnings.txt") {
    return contentOf(name);
  }
  // A directory that may not be written, by its relative name: a read-only mount where mounts
  // are available, else mode 0500 (which binds every user but root).
  std::string unwritable(const std::string& name) {
    fs::create_directories(at(name + ".d"));
    if (mountsAvailable()) {
      bindMount(at(name + ".d"), name, true);
      return name;
    }
    fs::permissions(at(name + ".d"), fs::owner_read | fs::owner_exe);
    return name + ".d";
  }
};

TEST_F(FileOps, MakeRemoveAndRenameReportFailures) {
  std::ofstream("file") << "x";
  EXPECT_FALSE(MakeDirectory(at("a/b").c_str(), false)); // no parents unless asked
  EXPECT_FALSE(DirExists(at("a")));
  EXPECT_TRUE(MakeDirectory(at("a/b").c_str(), true));
  EXPECT_TRUE(DirExists(at("a/b")));
  EXPECT_TRUE(MakeDirectory("a\\c", false));
  EXPECT_TRUE(DirExists("a/c"));
  EXPECT_TRUE(MakeDirectory("a", false)); // there already
  EXPECT_FALSE(MakeDirectory("", true));
  EXPECT_FALSE(FileExists("a"));
  EXPECT_FALSE(DirExists(static_cast<const char*>(nullptr)));
  // Remove and Rename throw on failure, as their callers expect.
  Rename(Path("file"), Path("g"));
  EXPECT_FALSE(FileExists("file"));
  EXPECT_TRUE(FileExists(Path("g")));
  EXPECT_TRUE(Remove(Path("g")));
  EXPECT_FALSE(Remove("g"));
  EXPECT_THROW(Remove(Path("a")), fs::filesystem_error); // not empty
  EXPECT_THROW(Rename(Path("nothing"), Path("x")), fs::filesystem_error);
}

TEST_F(FileOps, ValidationReportsCreationFailureThenMissingDirectory) {
  std::ofstream("file") << "x";
  EXPECT_EQ(validate("file/sub"), "error IO_ERR_COULD_NOT_CREATE_DIR details=Error code [20]: "
                                  "Not a directory path=file/sub\n"
                                  "error IO_ERR_DIR_DOES_NOT_EXIST path=file/sub\n");
  EXPECT_EQ(validate("file"), "error IO_ERR_FILE_WHEN_EXPECTED_DIR path=file\n");
  EXPECT_EQ(validate("new\\deep/dir"), "");
  EXPECT_EQ(validate(""), "");
  EXPECT_TRUE(DirExists("new/deep/dir"));
  CreateAndValidateOutputDirectory("file/sub", nullptr, nullptr, 0, true); // no callbacks
}

TEST_F(FileOps, ValidationChecksWritabilityAsTheKernelDoesAndSpace) {
  const std::string ro = unwritable("ro");
  gAvailable = 0;
  EXPECT_TRUE(Path(".").hasSpaceAvailable(0));
  const std::string space = " IO_ERR_INSUFFICIENT_DISK_SPACE path=" + ro + " required=100\n";
  const std::string notWritable = "error IO_ERR_DIR_NOT_WRITABLE path=" + ro + "\n";
  EXPECT_EQ(validate(ro, false), notWritable + "warning" + space);
  EXPECT_EQ(validate(ro, true), notWritable + "error" + space);
  EXPECT_EQ(validate("."), "error IO_ERR_INSUFFICIENT_DISK_SPACE path=. required=100\n");
  gAvailable = 100 << 20; // just enough
  EXPECT_EQ(validate("."), "");
  gAvailable = -1;
  // "Writable" is what the kernel allows the caller, not the owner's mode bits.
  fs::create_directory(at("theirs")); // root's 0755 directory, seen by another user
  if (geteuid() != 0)
    fs::permissions(at("theirs"), fs::owner_read | fs::owner_exe);
  EXPECT_EXIT(
      {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
          _exit(2);
        _exit(validate("theirs") == "error IO_ERR_DIR_NOT_WRITABLE path=theirs\n" ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
  if (!mountsAvailable())
    GTEST_SKIP() << "not root: read-only mounts and immutable directories not checked";
  fs::create_directory(at("mine"));
  fs::permissions(at("mine"), fs::owner_read | fs::owner_exe);
  EXPECT_EQ(validate("mine"), ""); // root writes there whatever the bits say
  fs::create_directory(mountTmpfs("t", "200m") + "/fixed"); // room for the space check
  const int fd = open(at("t/fixed").c_str(), O_RDONLY | O_DIRECTORY), flags = FS_IMMUTABLE_FL;
  ASSERT_EQ(ioctl(fd, FS_IOC_SETFLAGS, &flags), 0);
  close(fd);
  EXPECT_EQ(validate("t/fixed"), "error IO_ERR_DIR_NOT_WRITABLE path=t/fixed\n");
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
  for (const char* notMade : {"dst", "a/b", "a/y"})
    EXPECT_FALSE(DirExists(notMade)) << notMade;
  EXPECT_TRUE(CopyDirectory(Path("a"), Path("ab/new"))); // a sibling with a common prefix is fine
  EXPECT_EQ(read("ab/new/x/y/f"), "F");
  // A file that cannot be copied fails its directory and those above; the rest is copied.
  fs::create_symlink(at("nowhere"), at("a/x/dangling"));
  EXPECT_FALSE(CopyDirectory(Path("a/x"), Path("c1")));
  EXPECT_FALSE(CopyDirectory(Path("a"), Path("c2")));
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
  // A link at the target to another file: that file is replaced, the link stays.
  std::ofstream("other.txt") << "old";
  fs::create_symlink("../other.txt", at("sub/via.txt"));
  EXPECT_TRUE(CopyFile(Path("a.txt"), Path("sub/via.txt")));
  EXPECT_EQ(read("other.txt"), "precious");
  EXPECT_EQ(fs::read_symlink(at("sub/via.txt")), "../other.txt");
  // A tree installed by links before: that entry is refused, the others are copied.
  fs::create_directories(at("src"));
  std::ofstream("src/x.txt") << "X";
  std::ofstream("src/y.txt") << "Y";
  fs::create_directories(at("dst"));
  fs::create_symlink(at("src/x.txt"), at("dst/x.txt"));
  EXPECT_FALSE(CopyDirectory(Path("src"), Path("dst")));
  EXPECT_EQ(read("src/x.txt"), "X");
  EXPECT_EQ(read("dst/y.txt"), "Y");
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
  EXPECT_EQ(namesIn(at("dst")), (std::vector<std::string>{"alias", "self", "sub"})); // nothing else
  fs::remove(at("dst/alias")), fs::create_directory(at("dst/alias")); // a directory there instead
  EXPECT_FALSE(CopyDirectory(Path("src"), Path("dst")));
  EXPECT_EQ(read(), "Error copying link <src/alias> to <dst/alias>. Message: File exists\n");
}

TEST_F(FileOps, PathsThatCannotBeLookedAtAreReportedNotThrown) {
  const std::string tooLong = std::string(300, 'n') + "/out", path = " path=" + tooLong + "\n";
  const std::string details = "Error code [36]: File name too long";
  EXPECT_EQ(validate(tooLong), "error IO_ERR_COULD_NOT_CREATE_DIR details=" + details + path +
                                   "error IO_ERR_DIR_DOES_NOT_EXIST" + path);
  EXPECT_FALSE(Path(tooLong).isWritable());
  EXPECT_FALSE(Path(tooLong).hasSpaceAvailable(0));
  EXPECT_FALSE(CopyDirectory(Path(tooLong), Path("copy")));
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
        if (MakeDirectory("locked/out", false))
          wrong += "MakeDirectory in a locked directory succeeded; ";
        if (CopyDirectory(Path("locked/inner"), Path("c")))
          wrong += "copy from a locked directory succeeded; ";
        if (FindDirectoryInParents("unlisted", "locked/a/b").string() != "unlisted")
          wrong += "the search upwards did not pass the locked directory; ";
        if (CopyDirectory(Path("unlisted"), Path("copy2")))
          wrong += "copy from an unlisted directory succeeded; ";
        if (read() != "Error copying directory <unlisted> to <copy2>. Message: Permission denied\n")
          wrong += "copy from an unlisted directory reported: " + read();
        std::fputs(wrong.c_str(), stderr);
        _exit(wrong.empty() ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "^$");
}

// A copy onto an existing target, on the same disk (the in-kernel copy) and onto another (the
// read/write loop), first as it is, then with one fault planted at a time: a failure at any
// system call is reported and leaves the old target byte for byte, with no other name left
// behind; a signal, a short transfer or a kernel that cannot copy between the files is none.
TEST_F(FileOps, EveryFailedCallIsReportedAndLeavesTheOldTarget) {
  writeFile("src", 150000, 1);
  fs::permissions(at("src"), fs::owner_read | fs::owner_write | fs::group_read);
  const std::string copy = contentOf("src");
  fs::create_directory(at("local"));
  std::vector<std::string> directories = {at("local")}; // and, with mounts, another device
  if (mountsAvailable())
    directories.push_back(mountTmpfs("other"));
  for (const std::string& directory : directories) {
    const std::string target = directory + "/dst";
    writeFile(target, 90300, 2);
    const std::string old = contentOf(target);
    const std::vector<std::string> names = namesIn(directory);
    faults::plant({faults::CallKinds, 0, 0, 0}); // a run that counts the calls
    ASSERT_TRUE(CopyFile(Path("src"), Path(target)));
    faults::disarm();
    EXPECT_EQ(fs::status(target).permissions(), fs::status(at("src")).permissions());
    std::vector<faults::Plan> plans;
    for (int error : {EXDEV, ENOSYS, EINVAL, EOPNOTSUPP})
      plans.push_back({faults::CopyRange, 0, error, 0});
    for (int call = 0; call < faults::CallKinds; ++call)
      for (int at = 0; at < faults::gCounts[call]; ++at)
        for (const auto& [error, shortTo] : {std::pair{EIO, 0L}, {EINTR, 0L}, {0, 1000L}})
          plans.push_back({faults::Call(call), at, error, shortTo});
    for (const faults::Plan& plan : plans) {
      const std::string where = std::string(faults::kCallNames[plan.call]) + " #" +
                                std::to_string(plan.at) + ", errno " + std::to_string(plan.error) +
                                ", in " + directory;
      writeFile(target, 90300, 2);
      faults::plant(plan);
      const bool copied = CopyFile(Path("src"), Path(target));
      faults::disarm();
      const bool failure = plan.error == EIO;
      EXPECT_EQ(copied, !failure) << where;
      EXPECT_TRUE(contentOf(target) == (failure ? old : copy)) << where;
      EXPECT_EQ(namesIn(directory), names) << where;
      if (failure) {
        EXPECT_THAT(read(), HasSubstr("Input/output error: \"src\", \"" + target)) << where;
      }
    }
  }
  if (!mountsAvailable())
    GTEST_SKIP() << "not root: faults in copies to another file system not checked";
}

// Another thread swaps the target between a file and a link to the source, each swap one
// rename: whatever a copy finds, the source is never written.
TEST_F(FileOps, ATargetSwappedForALinkToTheSourceNeverDamagesIt) {
  writeFile("src", 4096, 1);
  const std::string precious = contentOf("src");
  std::atomic<bool> stop{false};
  std::thread swapper([&] {
    for (bool link = true; !stop; link = !link) {
      boost::system::error_code ec;
      fs::remove(at("next"), ec);
      link ? fs::create_symlink(at("src"), at("next"), ec) : void(std::ofstream(at("next")) << "x");
      fs::rename(at("next"), at("dst"), ec);
    }
  });
  int copies = 0;
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (; std::chrono::steady_clock::now() < end && fs::file_size(at("src")) == 4096; ++copies)
    CopyFile(Path("src"), Path("dst"));
  stop = true;
  swapper.join();
  EXPECT_TRUE(contentOf("src") == precious);
  EXPECT_GT(copies, 20); // the race was run, not skipped
}

TEST_F(FileOps, AFullDiskLeavesTheOldTargetAsItWas) {
  if (!mountsAvailable())
    GTEST_SKIP() << "not root: copies onto a full disk not checked";
  const std::string disk = mountTmpfs("full", "256k");
  writeFile(disk + "/dst", 90300, 2);
  const std::string old = contentOf(disk + "/dst");
  writeFile("src", 200000, 1); // does not fit beside the old target
  EXPECT_FALSE(CopyFile(Path("src"), Path(disk + "/dst")));
  EXPECT_TRUE(contentOf(disk + "/dst") == old);
  EXPECT_EQ(namesIn(disk), std::vector<std::string>{"dst"});
  EXPECT_THAT(read(), HasSubstr("No space left on device"));
}

TEST_F(FileOps, CopyDirectoryRefusesItsOwnTreeMountedUnderAnotherName) {
  if (!mountsAvailable())
    GTEST_SKIP() << "not root: a tree mounted inside itself not checked";
  fs::create_directories(at("tree/sub"));
  bindMount(at("tree"), "tree/mnt", false);
  EXPECT_FALSE(CopyDirectory(Path("tree/mnt"), Path("tree/copy")));
  EXPECT_EQ(read(), "Destination directory <tree/copy> lies inside source directory <tree/mnt>\n");
  EXPECT_FALSE(fs::exists(at("tree/copy")));
}

TEST_F(FileOps, MakeDirectoryWritesEveryFailureToTheWarningsFile) {
  std::ofstream("file") << "x";
  fs::create_symlink(at("nowhere"), at("dangling"));
  std::vector<std::array<std::string, 2>> rows = {
      {"file", "Path exists but it is a file not a directory"},
      {"missing/dir", "Error code [2]: No such file or directory"},
      {"dangling", "Error code [17]: File exists"},
      {std::string(300, 'n') + "/out", "Error code [36]: File name too long"},
      {unwritable("ro") + "/dir", mountsAvailable() ? "Error code [30]: Read-only file system"
                                                    : "Error code [13]: Permission denied"}};
  for (const auto& [dir, details] : rows) {
    fs::remove(at("file_util_warnings.txt"));
    EXPECT_FALSE(MakeDirectory(dir.c_str(), false)) << dir;
    EXPECT_EQ(read(), "Error creating directory <" + dir +
                          ">. Please check that the parent directory is writable. Details: " +
                          details + "\n");
  }
}

TEST_F(FileOps, AWarningThatCannotBeWrittenLeavesThePreviousOneAndGoesToStandardError) {
  if (!mountsAvailable())
    GTEST_SKIP() << "not root: warnings on a full or read-only disk not checked";
  const std::string disk = mountTmpfs("disk", "64k");
  for (const std::string& dir : {root(), disk}) {
    fs::current_path(dir);
    EXPECT_FALSE(CopyDirectory(Path("gone"), Path("x"))); // the warning to keep
  }
  writeFile(disk + "/filler", 1 << 20, 3); // cut where the disk is full
  const std::string view = bindMount(disk, "view", true);
  const std::pair<std::string, const char*> rows[] = {
      {disk, "write the file: No space left on device"},
      {view, "create a temporary file: Read-only file system"},
      {root(), "close the file: Input/output error"}};
  for (const auto& [dir, reason] : rows) {
    SCOPED_TRACE(dir);
    fs::current_path(dir);
    testing::internal::CaptureStderr();
    if (dir == root())
      faults::plant({faults::Close, 0, EIO, 0});
    EXPECT_FALSE(CopyDirectory(Path("lost"), Path("x")));
    faults::disarm();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("Could not write file_util_warnings.txt (") + reason +
                  "); the warning was: Source directory <lost> is invalid\n");
    EXPECT_EQ(read(), "Source directory <gone> is invalid\n");
    for (const std::string& name : namesIn(dir))
      EXPECT_EQ(name.rfind(".file_util_warnings.txt", 0), std::string::npos) << name;
  }
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
