#ifndef LOOM_TESTS_RUN_COMMAND_H
#define LOOM_TESTS_RUN_COMMAND_H

// Runs a shell command, standard error merged: exit status (-1 if it did not exit) and output.
#include <cstdio>
#include <string>
#include <sys/wait.h>

struct CommandRun {
  int status = -1;
  std::string output;
  std::string text() const { return std::to_string(status) + " " + output; }
};

inline CommandRun runCommand(const std::string& command) {
  CommandRun run;
  if (FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    for (int c; (c = std::fgetc(pipe)) != EOF;)
      run.output += static_cast<char>(c);
    const int status = pclose(pipe);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  return run;
}

#endif
