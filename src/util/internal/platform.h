// The thin layer between the library and the operating system.
#ifndef LOOM_UTIL_INTERNAL_PLATFORM_H
#define LOOM_UTIL_INTERNAL_PLATFORM_H

// Nothing outside src/util/internal calls the operating system directly.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

// A thread-local variable read with one load from the thread pointer, for variables of the
// library itself that hot paths read (no lookup call per access).
#define LOOM_INITIAL_EXEC_TLS __attribute__((tls_model("initial-exec")))

namespace util {
namespace platform {

// Hands a copy of a console text to an attached debugger. POSIX systems have no such
// channel, so there this writes nothing.
void debuggerOutput(const char* text);

// The full file name of the loaded module (shared library) that contains this code, absolute
// and with symbolic links resolved as they stood when it was loaded; empty when the platform
// cannot tell.
std::string currentModulePath();

// A shell command running with its standard output and standard error on one pipe, of which
// this process holds the read end.
struct CommandPipe {
  int readEnd = -1;
  std::int64_t child = -1;
};

// Starts "/bin/sh -c <command>", the text handed over unchanged, with descriptors 1 and 2 both
// on the pipe's write end; the child does not inherit the read end. False, with nothing left
// open, when the shell cannot be started.
bool startCommandPipe(const char* command, CommandPipe& pipe);
// Up to `size` bytes of what the command printed: the count, 0 at the end, -1 on an error.
// Interrupted reads are retried.
std::ptrdiff_t readCommandPipe(const CommandPipe& pipe, char* buffer, std::size_t size);
// Closes the read end, then waits for the shell, so that no zombie is left; a command still
// writing gets SIGPIPE rather than blocking the wait. Its exit status is not examined.
void closeCommandPipe(CommandPipe& pipe);

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

// The outcome of copyFileReplacing: copied, refused because the target is the source, or the
// step that failed (a short phrase) with the system's error number.
struct CopyOutcome {
  bool copied = false;
  bool sameFile = false;
  const char* failedStep = "";
  int error = 0;
};

// Copies the regular file `from` to `to`, replacing `to` whole or not at all. A symbolic link
// at `to` is followed; the file it leads to is replaced and the link stays. The copy is written
// to a new temporary file in the target's directory, synced and closed, then renamed over the
// target; on any failure the temporary is removed and the old target is as it was. A target
// that is the source (same device and inode) is refused before anything is written.
CopyOutcome copyFileReplacing(const char* from, const char* to);

// The outcome of a checked write: written, or the step that failed (a short phrase) with the
// system's error number.
struct WriteOutcome {
  bool written = false;
  const char* failedStep = "";
  int error = 0;
};

// "<step>: <the system's text for error>".
std::string describeFailure(const char* step, int error);

// Writes `data` into a new file of its own: at `path`, or where that name is taken, at the first
// free name with "-2", "-3", ... before the extension. `usedPath` receives the name. Nothing that
// exists is opened for writing; a file whose write or close failed is removed.
WriteOutcome writeNewFile(const std::string& path, const std::string& data, std::string& usedPath);

// Replaces the file at `path` whole with `data`: a temporary beside it, synced, closed and renamed
// over it, so a failure leaves the old content. A symbolic link at `path` is followed as by
// copyFileReplacing.
WriteOutcome replaceFileContent(const char* path, const std::string& data);

// Appends `data` to `path` (created when missing); every write and the close are checked.
WriteOutcome appendToFile(const char* path, const std::string& data);

// Makes `target` a symbolic link holding `linkText`, replacing a link or file there whole (a
// link made under a temporary name, renamed over it). A directory in the way is left alone and
// refused with EEXIST. 0 on success, else the system's error number.
int replaceWithSymlink(const char* linkText, const char* target);

// Whether the caller may create and change files in the directory (or write the file) at
// `path`, as the kernel decides it: permission bits for the effective user, a read-only
// mount, an immutable attribute.
bool writableByCaller(const char* path, bool directory);

// "<device>:<inode>" of the directory at `path`, the same for every name of it (links, bind
// mounts); empty when there is no directory there.
std::string directoryIdentity(const char* path);

// The calendar time of `t` in the local time zone (thread-safe).
std::tm localTime(std::time_t t);

// The operating system's numbers of this process and of the calling thread.
std::uint64_t processId();
std::uint64_t currentThreadId();

} // namespace platform
} // namespace util

#endif
