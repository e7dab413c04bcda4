#include "hostile_fs.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <dlfcn.h>
#include <fcntl.h>
#include <fstream>
#include <random>
#include <sched.h>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace faults {

const char* const kCallNames[CallKinds] = {"open",   "read",  "write", "copy_file_range",
                                           "fchmod", "fsync", "close", "rename"};

namespace {
std::atomic<bool> gArmed{false};
std::atomic<int> gCounts[CallKinds];
Call gCall = CallKinds;
int gAt = 0, gError = 0;
long gShortTo = 0;
} // namespace

void plant(Call call, int at, int error, long shortTo) {
  disarm();
  for (auto& count : gCounts)
    count = 0;
  gCall = call;
  gAt = at;
  gError = error;
  gShortTo = shortTo;
  gArmed = true;
}
int calls(Call call) {
  return gCounts[call];
}
void disarm() {
  gArmed = false;
}

// True when this call is to fail (errno set); a short transfer only lowers `length`.
static bool planned(Call call, std::size_t* length = nullptr) {
  if (!gArmed || gCounts[call]++ != gAt || call != gCall)
    return false;
  if (gError == 0 && length != nullptr)
    *length = std::min(*length, static_cast<std::size_t>(gShortTo));
  errno = gError;
  return gError != 0;
}

template <typename F> static F next(const char* name) {
  return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

} // namespace faults

using faults::planned;

extern "C" {
int open(const char* path, int flags, ...) {
  static const auto real = faults::next<int (*)(const char*, int, ...)>("open");
  mode_t mode = 0;
  if ((flags & O_CREAT) != 0) {
    va_list args;
    va_start(args, flags);
    mode = va_arg(args, mode_t);
    va_end(args);
  }
  return planned(faults::Open) ? -1 : real(path, flags, mode);
}
ssize_t read(int fd, void* buffer, size_t length) {
  static const auto real = faults::next<ssize_t (*)(int, void*, size_t)>("read");
  return planned(faults::Read, &length) ? -1 : real(fd, buffer, length);
}
ssize_t write(int fd, const void* buffer, size_t length) {
  static const auto real = faults::next<ssize_t (*)(int, const void*, size_t)>("write");
  return planned(faults::Write, &length) ? -1 : real(fd, buffer, length);
}
ssize_t copy_file_range(int in, off64_t* inOffset, int out, off64_t* outOffset, size_t length,
                        unsigned int flags) {
  static const auto real =
      faults::next<ssize_t (*)(int, off64_t*, int, off64_t*, size_t, unsigned)>("copy_file_range");
  return planned(faults::CopyRange, &length) ? -1
                                             : real(in, inOffset, out, outOffset, length, flags);
}
int fchmod(int fd, mode_t mode) {
  static const auto real = faults::next<int (*)(int, mode_t)>("fchmod");
  return planned(faults::Fchmod) ? -1 : real(fd, mode);
}
int fsync(int fd) {
  static const auto real = faults::next<int (*)(int)>("fsync");
  return planned(faults::Fsync) ? -1 : real(fd);
}
// As the kernel does, the descriptor is gone even when close reports an error.
int close(int fd) {
  static const auto real = faults::next<int (*)(int)>("close");
  const int result = real(fd);
  return planned(faults::Close) ? -1 : result;
}
int rename(const char* from, const char* to) {
  static const auto real = faults::next<int (*)(const char*, const char*)>("rename");
  return planned(faults::Rename) ? -1 : real(from, to);
}
}

void HostileFsTest::SetUp() {
  TempDirTest::SetUp();
  // Mounts private to this process: nothing of them reaches the machine's own table.
  mMounts = geteuid() == 0 && unshare(CLONE_NEWNS) == 0 &&
            mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

void HostileFsTest::TearDown() {
  faults::disarm();
  for (auto it = mMounted.rbegin(); it != mMounted.rend(); ++it)
    umount2(it->c_str(), MNT_DETACH);
  TempDirTest::TearDown();
}

std::string HostileFsTest::mountTmpfs(const std::string& name, const char* size) {
  boost::filesystem::create_directories(at(name));
  const std::string options = std::string("size=") + size;
  EXPECT_EQ(mount("tmpfs", at(name).c_str(), "tmpfs", 0, options.c_str()), 0) << name;
  mMounted.push_back(at(name));
  return at(name);
}

std::string HostileFsTest::bindMount(const std::string& source, const std::string& name,
                                     bool readOnly) {
  boost::filesystem::create_directories(at(name));
  EXPECT_EQ(mount(source.c_str(), at(name).c_str(), nullptr, MS_BIND, nullptr), 0) << name;
  mMounted.push_back(at(name));
  if (readOnly) {
    EXPECT_EQ(mount(nullptr, at(name).c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr),
              0)
        << name;
  }
  return at(name);
}

std::string contentOf(const std::string& path) {
  std::stringstream text;
  text << std::ifstream(path, std::ios::binary).rdbuf();
  return text.str();
}

void writeFile(const std::string& path, std::size_t size, unsigned seed) {
  std::mt19937 random(seed);
  std::string text(size, '\0');
  for (char& c : text)
    c = static_cast<char>('a' + random() % 26);
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> namesIn(const std::string& directory) {
  std::vector<std::string> names;
  for (const auto& entry : boost::filesystem::directory_iterator(directory))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}
