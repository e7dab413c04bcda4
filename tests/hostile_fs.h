#ifndef LOOM_TESTS_HOSTILE_FS_H
#define LOOM_TESTS_HOSTILE_FS_H

// File systems as users have them: a second device, a full disk, read-only and nested mounts,
// and failing system calls. For one source of a test program that exports its symbols
// (ENABLE_EXPORTS), so the library's calls below reach these first; they pass through unless
// a fault is planted.
#include "temp_dir.h"
#include <algorithm>
#include <atomic>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>
#include <random>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

namespace faults {

enum Call { Open, Read, Write, CopyRange, Fchmod, Fsync, Close, Rename, CallKinds };
const char* const kCallNames[] = {"open",   "read",  "write", "copy_file_range",
                                  "fchmod", "fsync", "close", "rename"};
// Call number `at` (from 0) of kind `call` fails with `error`; with error 0 it moves at most
// `shortTo` bytes. `call` CallKinds plants nothing: the run only counts the calls.
struct Plan {
  Call call;
  int at, error;
  long shortTo;
} gPlan;
std::atomic<bool> gArmed{false};
std::atomic<int> gCounts[CallKinds];

void plant(const Plan& plan) {
  gArmed = false;
  for (auto& count : gCounts)
    count = 0;
  gPlan = plan;
  gArmed = true;
}
void disarm() {
  gArmed = false;
}

// True when this call is to fail (errno set); a short transfer only lowers `length`.
bool planned(Call call, std::size_t* length = nullptr) {
  if (!gArmed || gCounts[call]++ != gPlan.at || call != gPlan.call)
    return false;
  if (gPlan.error == 0 && length != nullptr)
    *length = std::min(*length, static_cast<std::size_t>(gPlan.shortTo));
  errno = gPlan.error;
  return gPlan.error != 0;
}

} // namespace faults

#define LOOM_REAL(name, type)                                                                      \
  static const auto real = reinterpret_cast<type>(dlsym(RTLD_NEXT, #name))
// A system call that fails when planned and otherwise passes its arguments on; `length` is the
// transfer a short transfer lowers, or nullptr.
#define LOOM_FAULTY(kind, result, name, parameters, arguments, length)                             \
  result name parameters {                                                                         \
    LOOM_REAL(name, result(*) parameters);                                                         \
    return faults::planned(faults::kind, length) ? -1 : real arguments;                            \
  }
extern "C" {
int open(const char* path, int flags, ...) {
  LOOM_REAL(open, int (*)(const char*, int, ...));
  va_list args;
  va_start(args, flags);
  const mode_t mode = (flags & O_CREAT) != 0 ? va_arg(args, mode_t) : 0;
  va_end(args);
  return faults::planned(faults::Open) ? -1 : real(path, flags, mode);
}
LOOM_FAULTY(Read, ssize_t, read, (int fd, void* buffer, size_t n), (fd, buffer, n), &n)
LOOM_FAULTY(Write, ssize_t, write, (int fd, const void* buffer, size_t n), (fd, buffer, n), &n)
LOOM_FAULTY(CopyRange, ssize_t, copy_file_range,
            (int in, off64_t* inAt, int out, off64_t* outAt, size_t n, unsigned int flags),
            (in, inAt, out, outAt, n, flags), &n)
LOOM_FAULTY(Fchmod, int, fchmod, (int fd, mode_t mode), (fd, mode), nullptr)
LOOM_FAULTY(Fsync, int, fsync, (int fd), (fd), nullptr)
LOOM_FAULTY(Rename, int, rename, (const char* from, const char* to), (from, to), nullptr)
int close(int fd) { // as in the kernel, the descriptor is gone even when close fails
  LOOM_REAL(close, int (*)(int));
  const int result = real(fd);
  return faults::planned(faults::Close) ? -1 : result;
}
}

// Mounts live in a mount namespace of the test's own, unmounted at its end (and gone with the
// process if it dies first). They need root: a test asks mountsAvailable() and skips, saying
// what it did not check, when they are not.
class HostileFsTest : public TempDirTest {
protected:
  void SetUp() override {
    TempDirTest::SetUp();
    mMounts = geteuid() == 0 && unshare(CLONE_NEWNS) == 0 &&
              mount("none", "/", "none", MS_REC | MS_PRIVATE, nullptr) == 0;
  }
  void TearDown() override {
    faults::disarm();
    for (auto it = mMounted.rbegin(); it != mMounted.rend(); ++it)
      umount2(it->c_str(), MNT_DETACH);
    TempDirTest::TearDown();
  }
  bool mountsAvailable() const { return mMounts; }
  // A tmpfs of `size`, or `source` bound (read-only if asked), at `name`; the mount point.
  std::string mountTmpfs(const std::string& name, const char* size = "4m") {
    return mountAt(name, "tmpfs", "tmpfs", MS_NODEV, (std::string("size=") + size).c_str());
  }
  std::string bindMount(const std::string& source, const std::string& name, bool readOnly) {
    mountAt(name, source.c_str(), "none", MS_BIND, nullptr); // the type is not read
    return readOnly ? mountAt(name, "none", "none", MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr)
                    : at(name);
  }

private:
  std::string mountAt(const std::string& name, const char* source, const char* type,
                      unsigned long flags, const char* options) {
    boost::filesystem::create_directories(at(name));
    EXPECT_EQ(mount(source, at(name).c_str(), type, flags, options), 0) << name;
    mMounted.push_back(at(name)); // a remount is undone by the first unmount, the second fails
    return at(name);
  }
  bool mMounts = false;
  std::vector<std::string> mMounted;
};

void writeFile(const std::string& path, std::size_t size, unsigned seed) { // letters by seed
  std::mt19937 random(seed);
  std::string text(size, '\0');
  for (char& c : text)
    c = static_cast<char>('a' + random() % 26);
  std::ofstream(path, std::ios::binary) << text;
}
std::vector<std::string> namesIn(const std::string& directory) { // sorted
  std::vector<std::string> names;
  for (const auto& entry : boost::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

#endif
