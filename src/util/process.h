// Running a shell command and loading dynamic libraries.
#ifndef LOOM_UTIL_PROCESS_H
#define LOOM_UTIL_PROCESS_H

#include "util/export.h"

#include <string>

// Running a shell command and loading dynamic libraries. Failures come back in the result:
// an error text in place of the output, or a null handle or address.
//
//   std::string out = util::runCommandAndGetOutput("vsim -version"); // stderr included
//   void* lib = util::loadLibrary("libmodel.so");
//   auto* step = reinterpret_cast<void (*)()>(util::getLibrarySymbol(lib, "step"));

namespace util {

// Everything the command prints, exactly as printed: "/bin/sh -c <command>" runs with its
// standard error on the same pipe as its standard output, so pipelines, lists and background
// jobs are included, in the pipe's order. A null command is an empty one. "Failed to execute
// command [...]." when the shell cannot be started; "Failed to get command output [...]." when
// reading fails.
LOOM_UTIL_API std::string runCommandAndGetOutput(const char* command);

// The platform's loader: a handle, or null when the library cannot be loaded.
LOOM_UTIL_API void* loadLibrary(const char* filename);
// The address of an exported symbol, or null.
LOOM_UTIL_API void* getLibrarySymbol(void* library, const char* name);
LOOM_UTIL_API void unloadLibrary(void* library);

} // namespace util

#endif
