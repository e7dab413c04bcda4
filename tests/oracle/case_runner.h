#ifndef LOOM_TESTS_ORACLE_CASE_RUNNER_H
#define LOOM_TESTS_ORACLE_CASE_RUNNER_H

// Runs the cases of an oracle file whose lines read "<operation> <operands...> <expected...>":
// `run` consumes the operands from the stream and returns the library's result in the same
// notation, which must equal the rest of the line. Returns how many cases each operation had,
// so that a test can insist that the script really produced every family.

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <sstream>
#include <string>

template <typename Run> std::map<std::string, long> checkOracleCases(const char* path, Run run) {
  std::map<std::string, long> checked;
  std::ifstream cases(path);
  EXPECT_TRUE(cases.good()) << "missing " << path;
  long failures = 0;
  for (std::string line; std::getline(cases, line);) {
    if (line.empty())
      continue;
    std::istringstream in(line);
    std::string op;
    in >> op;
    const std::string actual = run(op, in);
    std::string expected;
    std::getline(in >> std::ws, expected);
    ++checked[op];
    if (actual != expected && ++failures <= 20)
      ADD_FAILURE() << line << "\n  library gave: " << actual;
  }
  EXPECT_EQ(failures, 0);
  return checked;
}

#endif
