#ifndef LOOM_TESTS_ORACLE_CASE_RUNNER_H
#define LOOM_TESTS_ORACLE_CASE_RUNNER_H

// Runs the cases tests/oracle/cases.py wrote, "<operation> <operands...> = <expected>": each
// operation gets its operands and returns the library's result in the script's notation. Each
// needs `minimum` cases, so that a script that stopped producing a family fails too.

#include <gmpxx.h>
#include <gtest/gtest.h>
#include <mpfr.h>

#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using Operands = std::vector<std::string>;
using Operations = std::map<std::string, std::function<std::string(const Operands&)>>;

inline void checkOracleCases(const char* path, long minimum, const Operations& operations) {
  std::ifstream cases(path);
  ASSERT_TRUE(cases.good()) << "missing " << path;
  std::map<std::string, long> checked;
  long failures = 0;
  for (std::string line, op; std::getline(cases, line);) {
    std::istringstream in(line.substr(0, line.find(" = ")));
    in >> op;
    const auto run = operations.find(op);
    const std::string got =
        run == operations.end() ? "?" : run->second({std::istream_iterator<std::string>(in), {}});
    ++checked[op];
    if ((line.find(" = ") == std::string::npos || got != line.substr(line.find(" = ") + 3)) &&
        ++failures <= 20)
      ADD_FAILURE() << line << "\n  library gave: " << got;
  }
  EXPECT_EQ(failures, 0);
  for (const auto& operation : operations)
    EXPECT_GE(checked[operation.first], minimum) << operation.first;
}

// The values with a space between each; empty ones at the end leave no trace.
template <typename... T> std::string join(const T&... values) {
  std::ostringstream out;
  ((out << values << ' '), ...);
  std::string text = out.str();
  return text.erase(text.find_last_not_of(' ') + 1);
}

// Exact float values: nan, inf, -inf, 0, -0, or [-]<odd hexadecimal integer>p<exponent>.
inline std::string token(mpfr_srcptr x) {
  const std::string sign = mpfr_signbit(x) ? "-" : "";
  if (mpfr_nan_p(x) || !mpfr_regular_p(x))
    return mpfr_nan_p(x) ? "nan" : sign + (mpfr_inf_p(x) ? "inf" : "0");
  mpz_class m;
  const long e = mpfr_get_z_2exp(m.get_mpz_t(), x);
  const auto zeros = mpz_scan1(m.get_mpz_t(), 0);
  m = abs(m) >> zeros;
  return sign + m.get_str(16) + "p" + std::to_string(e + long(zeros));
}

// x = the token's value, rounded once to x's precision, to nearest.
inline void setToken(mpfr_ptr x, const std::string& t) {
  const std::size_t p = t.find('p');
  if (p != std::string::npos)
    mpfr_set_z_2exp(x, mpz_class(t.substr(0, p), 16).get_mpz_t(), std::stol(t.substr(p + 1)),
                    MPFR_RNDN);
  else if (t == "nan")
    mpfr_set_nan(x);
  else
    t.back() == 'f' ? mpfr_set_inf(x, t[0] == '-' ? -1 : 1)
                    : mpfr_set_zero(x, t[0] == '-' ? -1 : 1);
}

#endif
