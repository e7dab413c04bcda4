// A log file in front of the four message channels, and redirection of standard output.
#ifndef LOOM_UTIL_LOG_FILE_H
#define LOOM_UTIL_LOG_FILE_H

#include "util/export.h"

#include <cstdio>
#include <string>

//   loom_open_log_file("build/compile.log"); // every channel text also goes to the file
//   ...
//   loom_close_log_file();
//
//   {
//     util::RedirectConsoleOutput capture("tool_output.txt"); // printf, std::cout, children
//     std::system("loom-sim --version");
//   } // standard output is back where it was

// Opens (creates or truncates) the log file and puts it before every channel's handler; an
// empty path does nothing; an open log file is closed first. A file that cannot be opened
// ends the process through aster_error_printf.
LOOM_UTIL_API void loom_open_log_file(std::string path);
// Closes the log file and gives the channels their earlier handlers back.
LOOM_UTIL_API void loom_close_log_file();

namespace util {

// Sends the process's standard output (the descriptor, so also child processes and any
// library) into a file for the object's lifetime. A file that cannot be opened leaves
// everything as it was. Redirections nest when destroyed in reverse order. The first failure
// to write standard output into the file (a full disk) is reported once on the warning
// channel, with the path and the reason, when isActive() or the destructor finds it.
class LOOM_UTIL_API RedirectConsoleOutput {
public:
  RedirectConsoleOutput() : RedirectConsoleOutput("redirected_output.txt") {}
  explicit RedirectConsoleOutput(const char* path);
  ~RedirectConsoleOutput();
  RedirectConsoleOutput(const RedirectConsoleOutput&) = delete;
  RedirectConsoleOutput& operator=(const RedirectConsoleOutput&) = delete;

  // Whether output still reaches the file: flushes standard output, and is false from the
  // first write into the file that failed.
  bool isActive() const;

private:
  bool checkWrites() const;

  int mSavedStdout = -1;
  FILE* mFile = nullptr;
  bool mActive = false;
  mutable bool mFailed = false;
  std::string mPath;
};

} // namespace util

#endif
