#ifndef LOOM_TESTS_RUN_COMMAND_H
#define LOOM_TESTS_RUN_COMMAND_H

// Runs a shell command with standard error merged: its exit status (-1 when it did not exit
// normally) and everything it printed.
#include <cstdio>
#include <string>
#include <sys/wait.h>

struct CommandRun {
  int status = -1;
  std::string output;
};

inline CommandRun runCommand(const std::string& command) {
  CommandRun run;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
      run.output.append(buffer, n);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return run;
}

#endif
