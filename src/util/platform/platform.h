#ifndef LOOM_UTIL_PLATFORM_PLATFORM_H
#define LOOM_UTIL_PLATFORM_PLATFORM_H

// The thin layer between the library and the operating system. Nothing outside
// src/util/platform calls the operating system directly.

#include <cstdint>
#include <cstdio>
#include <string>

namespace util {
namespace platform {

// Hands a copy of a console text to an attached debugger. POSIX systems have no such
// channel, so there this writes nothing.
void debuggerOutput(const char* text);

// The full file name of the loaded module (shared library) that contains this code, absolute
// and with symbolic links resolved as they stood when it was loaded; empty when the platform
// cannot tell.
std::string currentModulePath();

// A pipe reading what the shell command prints (popen with "r"); null when it cannot start.
FILE* openReadPipe(const char* commandLine);
void closePipe(FILE* pipe);

// The module loader: open by file name (null on failure), look up a symbol, close.
void* openLibrary(const char* filename);
void* librarySymbol(void* library, const char* name);
void closeLibrary(void* library);

// Standard output at descriptor level: a duplicate of it (-1 on failure), pointing it at an
// open file, pointing it back at a duplicate, and closing a descriptor.
int duplicateStdout();
bool redirectStdoutTo(FILE* file);
bool restoreStdout(int savedDescriptor);
void closeDescriptor(int descriptor);

// The operating system's numbers of this process and of the calling thread.
std::uint64_t processId();
std::uint64_t currentThreadId();

} // namespace platform
} // namespace util

#endif
