// Shell commands and dynamic libraries.
#include "util/process.h"

#include "util/internal/platform.h"

#include <cstddef>

namespace util {

std::string runCommandAndGetOutput(const char* command) {
  const char* text = command != nullptr ? command : "";
  // The error texts show the command as callers know it, with " 2>&1" after it, although the
  // shell gets the text alone: standard error is joined to the pipe by descriptor.
  const auto failure = [text](const char* what) {
    return std::string(what) + " [" + text + " 2>&1].";
  };
  platform::CommandPipe pipe;
  if (!platform::startCommandPipe(text, pipe))
    return failure("Failed to execute command");
  std::string output;
  bool failed = false;
  try {
    // Read in blocks rather than lines, so that bytes after a NUL in the output survive.
    char buffer[4096];
    for (;;) {
      const std::ptrdiff_t n = platform::readCommandPipe(pipe, buffer, sizeof buffer);
      if (n <= 0) {
        failed = n < 0;
        break;
      }
      output.append(buffer, static_cast<std::size_t>(n));
    }
  } catch (...) {
    failed = true;
  }
  platform::closeCommandPipe(pipe);
  return failed ? failure("Failed to get command output") : output;
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
