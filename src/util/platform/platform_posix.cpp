#include "util/platform/platform.h"

#include <dlfcn.h>
#include <limits.h>
#include <link.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/syscall.h>
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

FILE* openReadPipe(const char* commandLine) {
  return popen(commandLine, "r");
}

void closePipe(FILE* pipe) {
  pclose(pipe);
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

} // namespace platform
} // namespace util
