#include "util/platform/platform.h"

#include <dlfcn.h>
#include <stdio.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace util {
namespace platform {

void debuggerOutput(const char* /*text*/) {}

std::string currentModulePath() {
  Dl_info info{};
  // Any function of this library names the module it was loaded from.
  if (dladdr(reinterpret_cast<void*>(&currentModulePath), &info) == 0 || info.dli_fname == nullptr)
    return std::string();
  return info.dli_fname;
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
