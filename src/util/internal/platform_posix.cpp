// The operating-system layer on POSIX systems: processes, libraries, files, time.
#include "util/internal/platform.h"

#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <link.h>
#include <spawn.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace util {
namespace platform {

void debuggerOutput(const char* /*text*/) {}

namespace {

// The loader records a library under the name it was found by, which is relative when a search
// directory was ("LD_LIBRARY_PATH=."), and wrong after the host changes directory. So the name
// is resolved once, while the library loads, into an absolute path without symbolic links.
char gModulePath[PATH_MAX];
bool gModulePathKnown = false;

void resolveModulePath() {
  Dl_info info{};
  link_map* module = nullptr;
  // Any function of this library names the module it was loaded from.
  if (dladdr1(reinterpret_cast<void*>(&resolveModulePath), &info, reinterpret_cast<void**>(&module),
              RTLD_DL_LINKMAP) == 0 ||
      module == nullptr)
    return;
  // Linked into the program itself: the loader knows it only as argv[0].
  const char* name = module->l_name[0] != '\0' ? module->l_name : "/proc/self/exe";
  if (realpath(name, gModulePath) != nullptr)
    gModulePathKnown = true;
}

__attribute__((constructor)) void resolveModulePathAtLoad() {
  resolveModulePath();
}

} // namespace

std::string currentModulePath() {
  if (!gModulePathKnown)
    resolveModulePath(); // asked for by another module's constructor before ours ran
  return gModulePathKnown ? std::string(gModulePath) : std::string();
}

bool startCommandPipe(const char* command, CommandPipe& pipe) {
  int ends[2];
  // Close-on-exec from the start, so that no child started meanwhile by another thread holds
  // an end open. The dup2 actions clear the flag on 1 and 2 (also when an end already is one
  // of them), and the originals close at exec.
  if (pipe2(ends, O_CLOEXEC) != 0)
    return false;
  posix_spawn_file_actions_t actions;
  int error = posix_spawn_file_actions_init(&actions);
  if (error == 0) {
    if ((error = posix_spawn_file_actions_adddup2(&actions, ends[1], STDOUT_FILENO)) == 0)
      error = posix_spawn_file_actions_adddup2(&actions, ends[1], STDERR_FILENO);
    // "--": a command that begins with a dash is still the command, not an option of the shell.
    char* argv[] = {const_cast<char*>("sh"), const_cast<char*>("-c"), const_cast<char*>("--"),
                    const_cast<char*>(command), nullptr};
    pid_t child = -1;
    if (error == 0)
      error = posix_spawn(&child, "/bin/sh", &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error == 0) {
      close(ends[1]);
      pipe.readEnd = ends[0];
      pipe.child = child;
      return true;
    }
  }
  close(ends[0]);
  close(ends[1]);
  return false;
}

std::ptrdiff_t readCommandPipe(const CommandPipe& pipe, char* buffer, std::size_t size) {
  ssize_t n;
  while ((n = read(pipe.readEnd, buffer, size)) < 0 && errno == EINTR) {
  }
  return n;
}

void closeCommandPipe(CommandPipe& pipe) {
  if (pipe.readEnd >= 0)
    close(pipe.readEnd);
  if (pipe.child > 0) {
    int status;
    while (waitpid(static_cast<pid_t>(pipe.child), &status, 0) < 0 && errno == EINTR) {
    }
  }
  pipe = CommandPipe();
}

void* openLibrary(const char* filename) {
  return dlopen(filename, RTLD_NOW | RTLD_LOCAL);
}

void* librarySymbol(void* library, const char* name) {
  return dlsym(library, name);
}

void closeLibrary(void* library) {
  dlclose(library);
}

std::string directoryIdentity(const char* path) {
  struct stat st {};
  if (stat(path, &st) != 0 || !S_ISDIR(st.st_mode))
    return std::string();
  return std::to_string(static_cast<std::uint64_t>(st.st_dev)) + ":" +
         std::to_string(static_cast<std::uint64_t>(st.st_ino));
}

std::uint64_t processId() {
  return static_cast<std::uint64_t>(getpid());
}

std::uint64_t currentThreadId() {
  return static_cast<std::uint64_t>(syscall(SYS_gettid));
}

int duplicateStdout() {
  return dup(STDOUT_FILENO);
}

bool redirectStdoutTo(FILE* file) {
  return dup2(fileno(file), STDOUT_FILENO) >= 0;
}

bool restoreStdout(int savedDescriptor) {
  return dup2(savedDescriptor, STDOUT_FILENO) >= 0;
}

void closeDescriptor(int descriptor) {
  close(descriptor);
}

std::tm localTime(std::time_t t) {
  std::tm local{};
  localtime_r(&t, &local);
  return local;
}

} // namespace platform
} // namespace util
