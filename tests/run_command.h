#ifndef LOOM_TESTS_RUN_COMMAND_H
#define LOOM_TESTS_RUN_COMMAND_H

// Runs a shell command for a test, with standard error merged, and returns its exit status
// (-1 when it did not exit normally) and everything it printed.

#include <sys/wait.h>

#include <cstdio>
#include <string>

struct CommandRun {
  int status;
  std::string output;
};

inline CommandRun runCommand(const std::string& command) {
  CommandRun run{-1, {}};
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (pipe == nullptr)
    return run;
  char buffer[512];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

#endif
