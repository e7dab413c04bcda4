#include "util/process.h"

#include "util/platform/platform.h"

#include <cstdio>

namespace util {

std::string runCommandAndGetOutput(const char* command) {
  const std::string commandLine = std::string(command != nullptr ? command : "") + " 2>&1";
  FILE* pipe = platform::openReadPipe(commandLine.c_str());
  if (pipe == nullptr)
    return "Failed to execute command [" + commandLine + "].";
  std::string output;
  try {
    // Read in blocks rather than lines, so that bytes after a NUL in the output survive.
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      output.append(buffer, n);
  } catch (...) {
    platform::closePipe(pipe);
    return "Failed to get command output [" + commandLine + "].";
  }
  platform::closePipe(pipe);
  return output;
}

void* loadLibrary(const char* filename) {
  return filename != nullptr ? platform::openLibrary(filename) : nullptr;
}

void* getLibrarySymbol(void* library, const char* name) {
  return library != nullptr && name != nullptr ? platform::librarySymbol(library, name) : nullptr;
}

void unloadLibrary(void* library) {
  if (library != nullptr)
    platform::closeLibrary(library);
}

} // namespace util
