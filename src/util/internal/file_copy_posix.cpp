// Atomic file copies and whole-file replacement on POSIX systems.
#include "util/internal/platform.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace util {
namespace platform {

namespace {

// Repeats a call that a signal interrupted before it did anything.
template <typename Call> auto retryInterrupted(Call call) {
  for (;;) {
    const auto result = call();
    if (result >= 0 || errno != EINTR)
      return result;
  }
}

// An open descriptor closed when it goes out of scope, for the paths that have already failed.
class Descriptor {
public:
  explicit Descriptor(int fd) : mFd(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (mFd >= 0)
      ::close(mFd);
  }
  int get() const { return mFd; }
  // Closes now and says whether the kernel took everything written: a deferred write error
  // (network file systems, quotas) shows here. After EINTR the descriptor is gone all the same
  // on Linux, and the data was synced before, so only other errors count.
  bool close() {
    const int fd = mFd;
    mFd = -1;
    return ::close(fd) == 0 || errno == EINTR;
  }

private:
  int mFd;
};

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos)
    return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// A name beside `target` that is unlikely to exist: a hidden file named after the target, the
// process and a counter. The caller creates it exclusively and tries again when it exists.
std::string temporaryName(const std::string& target) {
  static std::atomic<unsigned long> counter{0};
  const std::size_t slash = target.rfind('/');
  // Cut so that the name with its suffix stays within the 255 bytes a directory entry may have.
  const std::string base = target.substr(slash == std::string::npos ? 0 : slash + 1, 200);
  const auto stamp =
      static_cast<unsigned long>(std::chrono::steady_clock::now().time_since_epoch().count());
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, ".%lx.%lx.tmp", static_cast<unsigned long>(getpid()),
                (counter++ << 20) ^ (stamp & 0xfffff));
  return directoryOf(target) + "/." + base + suffix;
}

// Creates a new temporary file beside `target` (exclusively, trying other names while they
// exist); its descriptor, or -1 with errno set. `temporary` receives its name.
int createTemporaryBeside(const std::string& target, mode_t mode, std::string& temporary) {
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temporary = temporaryName(target);
    fd = retryInterrupted(
        [&] { return open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode); });
    if (fd < 0 && errno != EEXIST)
      break;
  }
  return fd;
}

// Follows symbolic links at `path` to the name that a write through it would replace; the last
// name may be absent (a new file, or the destination of a dangling link). 0 or an error number.
int followLinks(std::string& path) {
  for (int hops = 0;; ++hops) {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
      return errno == ENOENT ? 0 : errno;
    if (!S_ISLNK(st.st_mode))
      return 0;
    if (hops == 40)
      return ELOOP;
    std::vector<char> text(PATH_MAX);
    const ssize_t length = readlink(path.c_str(), text.data(), text.size());
    if (length < 0)
      return errno;
    if (static_cast<std::size_t>(length) == text.size())
      return ENAMETOOLONG;
    const std::string destination(text.data(), static_cast<std::size_t>(length));
    path = destination[0] == '/' ? destination : directoryOf(path) + "/" + destination;
  }
}

// Moves the rest of `in` to `out`. The in-kernel copy is tried first; where the kernel cannot
// copy between the two files (another file system, an old kernel, a special file) a read/write
// loop takes over from where it stopped, and it also reads to the real end of files whose size
// the kernel does not report. Short transfers are continued. 0 or an error number, with `step`.
int transfer(int in, int out, const char*& step) {
  for (;;) {
    const ssize_t copied = copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
    if (copied > 0)
      continue;
    if (copied == 0 || errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP)
      break;
    if (errno != EINTR) {
      step = "copy the data";
      return errno;
    }
  }
  std::vector<char> buffer(std::size_t{1} << 16);
  for (;;) {
    const ssize_t got = retryInterrupted([&] { return read(in, buffer.data(), buffer.size()); });
    if (got == 0)
      return 0;
    if (got < 0) {
      step = "read the source";
      return errno;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t put = retryInterrupted(
          [&] { return write(out, buffer.data() + done, static_cast<std::size_t>(got - done)); });
      if (put <= 0) {
        step = "write the copy";
        return put < 0 ? errno : EIO;
      }
      done += put;
    }
  }
}

// Writes all of `data`, continuing short writes. 0 or an error number.
int writeAll(int fd, const std::string& data) {
  for (std::size_t done = 0; done < data.size();) {
    const ssize_t put =
        retryInterrupted([&] { return write(fd, data.data() + done, data.size() - done); });
    if (put <= 0)
      return put < 0 ? errno : EIO;
    done += static_cast<std::size_t>(put);
  }
  return 0;
}

// `path` with "-<n>" before its extension (the part after the last dot of the file name).
std::string numbered(const std::string& path, int n) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  const std::size_t at = dot != std::string::npos && (slash == std::string::npos || dot > slash + 1)
                             ? dot
                             : path.size();
  return path.substr(0, at) + "-" + std::to_string(n) + path.substr(at);
}

// A failed step and its errno; no step when every step succeeded.
struct Failure {
  const char* step = nullptr;
  int error = 0;
};

// The outcome a writer reports for `failure`.
WriteOutcome outcomeOf(const Failure& failure) {
  WriteOutcome outcome;
  outcome.written = failure.step == nullptr;
  if (!outcome.written) {
    outcome.failedStep = failure.step;
    outcome.error = failure.error;
  }
  return outcome;
}

// Writes `data` whole into `out` and closes it.
Failure writeAndClose(Descriptor& out, const std::string& data) {
  if (const int error = writeAll(out.get(), data))
    return {"write the file", error};
  if (!out.close())
    return {"close the file", errno};
  return {};
}

// What each step of a replacement is called in a report.
struct ReplaceSteps {
  const char* create;
  const char* sync;
  const char* close;
  const char* rename;
};

// Gives `target` the content `fill` writes into a new temporary file beside it (created with
// `mode`): synced, closed and then renamed over the target, so that readers see the old
// content or the new, never a part. `beforeRename` is the last step that may still fail. On
// failure the temporary is removed and the target is as it was.
template <typename Fill, typename Last>
Failure replaceThroughTemporary(const std::string& target, mode_t mode, const ReplaceSteps& steps,
                                Fill fill, Last beforeRename) {
  std::string temporary;
  const int fd = createTemporaryBeside(target, mode, temporary);
  if (fd < 0)
    return {steps.create, errno};
  Descriptor out(fd);
  Failure failure = fill(out.get());
  if (failure.step == nullptr && retryInterrupted([&] { return fsync(out.get()); }) != 0)
    failure = {steps.sync, errno};
  if (failure.step == nullptr && !out.close())
    failure = {steps.close, errno};
  if (failure.step == nullptr)
    failure = beforeRename();
  if (failure.step == nullptr &&
      retryInterrupted([&] { return rename(temporary.c_str(), target.c_str()); }) != 0)
    failure = {steps.rename, errno};
  if (failure.step != nullptr)
    unlink(temporary.c_str());
  return failure;
}

} // namespace

CopyOutcome copyFileReplacing(const char* from, const char* to) {
  CopyOutcome outcome;
  const auto fail = [&outcome](const char* step, int error) {
    outcome.failedStep = step;
    outcome.error = error;
    return outcome;
  };
  // Non-blocking, so that a FIFO named as the source cannot hang the open; it is refused below.
  Descriptor in(retryInterrupted([&] { return open(from, O_RDONLY | O_CLOEXEC | O_NONBLOCK); }));
  if (in.get() < 0)
    return fail("open the source", errno);
  struct stat source {};
  if (fstat(in.get(), &source) != 0)
    return fail("open the source", errno);
  if (!S_ISREG(source.st_mode))
    return fail("open the source", S_ISDIR(source.st_mode) ? EISDIR : EINVAL);

  std::string target = to;
  if (const int error = followLinks(target))
    return fail("follow the target's links", error);
  struct stat existing {};
  if (stat(target.c_str(), &existing) == 0) {
    if (existing.st_dev == source.st_dev && existing.st_ino == source.st_ino) {
      outcome.sameFile = true;
      return outcome;
    }
    if (S_ISDIR(existing.st_mode))
      return fail("replace the target", EISDIR);
  }

  const ReplaceSteps steps{"create a temporary file beside the target", "sync the copy to disk",
                           "close the copy", "rename the copy over the target"};
  const Failure failure = replaceThroughTemporary(
      target, 0600, steps,
      [&](int out) -> Failure {
        const char* step = "";
        if (const int error = transfer(in.get(), out, step))
          return {step, error};
        if (retryInterrupted([&] { return fchmod(out, source.st_mode & 07777); }) != 0)
          return {"set the copy's permissions", errno};
        return {};
      },
      [&]() -> Failure {
        if (!in.close())
          return {"close the source", errno};
        return {};
      });
  if (failure.step != nullptr)
    return fail(failure.step, failure.error);
  outcome.copied = true;
  return outcome;
}

int replaceWithSymlink(const char* linkText, const char* target) {
  struct stat existing {};
  if (lstat(target, &existing) == 0 && S_ISDIR(existing.st_mode))
    return EEXIST;
  std::string temporary;
  int made = -1;
  for (int attempt = 0; attempt < 100 && made != 0; ++attempt) {
    temporary = temporaryName(target);
    made = symlink(linkText, temporary.c_str());
    if (made != 0 && errno != EEXIST)
      return errno;
  }
  if (made != 0)
    return EEXIST;
  if (retryInterrupted([&] { return rename(temporary.c_str(), target); }) != 0) {
    const int error = errno;
    unlink(temporary.c_str());
    return error;
  }
  return 0;
}

bool writableByCaller(const char* path, bool directory) {
  // A directory must also be searchable for a file in it to be created.
  return faccessat(AT_FDCWD, path, directory ? W_OK | X_OK : W_OK, AT_EACCESS) == 0;
}

std::string describeFailure(const char* step, int error) {
  return std::string(step) + ": " + std::strerror(error);
}

WriteOutcome writeNewFile(const std::string& path, const std::string& data, std::string& usedPath) {
  int fd = -1;
  for (int n = 1; n <= 10000 && fd < 0; ++n) {
    usedPath = n == 1 ? path : numbered(path, n);
    fd = retryInterrupted(
        [&] { return open(usedPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666); });
    if (fd < 0 && errno != EEXIST)
      break;
  }
  if (fd < 0)
    return outcomeOf({"create the file", errno});
  // The file is this call's own (made exclusively), so a failed one can go: no half report
  // is left to be taken for a whole one.
  Descriptor out(fd);
  const Failure failure = writeAndClose(out, data);
  if (failure.step != nullptr)
    unlink(usedPath.c_str());
  return outcomeOf(failure);
}

WriteOutcome replaceFileContent(const char* path, const std::string& data) {
  std::string target = path;
  if (const int error = followLinks(target))
    return outcomeOf({"follow the file's links", error});
  const ReplaceSteps steps{"create a temporary file", "sync the file to disk", "close the file",
                           "rename the file into place"};
  return outcomeOf(replaceThroughTemporary(
      target, 0666, steps,
      [&](int out) -> Failure {
        if (const int error = writeAll(out, data))
          return {"write the file", error};
        return {};
      },
      [] { return Failure{}; }));
}

WriteOutcome appendToFile(const char* path, const std::string& data) {
  Descriptor out(retryInterrupted(
      [&] { return open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666); }));
  if (out.get() < 0)
    return outcomeOf({"open the file", errno});
  return outcomeOf(writeAndClose(out, data));
}

} // namespace platform
} // namespace util
