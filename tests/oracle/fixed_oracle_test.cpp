// Differential test of the fixed-point reference operations against cases computed
// independently by tests/oracle/fixed_cases.py.
#include "util/amath_dataimpl.h"

#include "case_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

using namespace simulation;

class FixedOracle : public ::testing::Test {
protected:
  FixedOracle()
      : ports(1), d(&WideFixedType::legacy, alloc), a(&WideFixedType::legacy, alloc),
        b(&WideFixedType::legacy, alloc) {}

  static void set(FixedRef& r, const std::string& text) {
    ASSERT_EQ(mpz_set_str(r.getRef(), text.c_str(), 10), 0) << text;
  }
  static std::string str(const mpz_t& z) {
    std::string text(mpz_sizeinbase(z, 10) + 2, '\0');
    mpz_get_str(&text[0], 10, z);
    text.resize(std::strlen(text.c_str()));
    return text;
  }

  // Runs one case; returns what the library computed, in the script's notation.
  std::string run(const std::string& op, std::istringstream& in) {
    std::string x, y;
    in >> x;
    set(a, x);
    if (op == "abs" || op == "neg" || op == "sqrt") {
      if (op == "abs")
        d.setAbs(a);
      else if (op == "neg")
        d.setNeg(a);
      else
        d.setSqrt(a);
      return str(d.getRef());
    }
    in >> y;
    if (op == "add" || op == "sub" || op == "mult" || op == "and" || op == "or" || op == "xor" ||
        op == "dim" || op == "divt" || op == "divf" || op == "mod") {
      set(b, y);
      if (op == "add")
        d.setAdd(a, b);
      else if (op == "sub")
        d.setSub(a, b);
      else if (op == "mult")
        d.setMult(a, b);
      else if (op == "and")
        d.setAnd(a, b);
      else if (op == "or")
        d.setOr(a, b);
      else if (op == "xor")
        d.setXor(a, b);
      else if (op == "dim")
        d.setDim(a, b);
      else if (op == "divt" || op == "divf")
        d.setDiv(a, b, op == "divt");
      else
        d.setMod(a, b);
      return str(d.getRef());
    }
    if (op == "scale") {
      d.setScaleDouble(a, std::strtod(y.c_str(), nullptr));
      return str(d.getRef());
    }
    if (op == "saturate") {
      mpz_set(ports[0].mData, a.getRef());
      d.bindIO(ports[0]);
      const int result = d.saturate(std::stoi(y));
      const std::string port = str(ports[0].mData);
      d.bindReset();
      return std::to_string(result) + " " + port;
    }
    if (op == "addul" || op == "subul") {
      if (op == "addul")
        d.setAdd(a, std::stoul(y));
      else
        d.setSub(a, std::stoul(y));
      return str(d.getRef());
    }
    const long n = std::stol(y);
    if (op == "not")
      d.setNot(a, static_cast<int>(n));
    else if (op == "masklower")
      d.maskLower(a, static_cast<unsigned>(n));
    else if (op == "setupper")
      d.setUpper(a, static_cast<unsigned>(n));
    else if (op == "ldexp")
      d.setLdExp(a, static_cast<int>(n));
    else if (op == "addi")
      d.setAdd(a, static_cast<int>(n));
    else if (op == "subi")
      d.setSub(a, static_cast<int>(n));
    else
      return "unknown operation";
    return str(d.getRef());
  }

  util::TempVarAllocator alloc;
  WideTypedFormatVector ports;
  FixedRef d, a, b;
};

TEST_F(FixedOracle, EveryOperationMatchesPythonIntegers) {
  const auto checked =
      checkOracleCases(FIXED_ORACLE_CASES,
                       [&](const std::string& op, std::istringstream& in) { return run(op, in); });
  EXPECT_EQ(checked.size(), 23u);
  for (const auto& entry : checked)
    EXPECT_GE(entry.second, 1000) << entry.first;
}

} // namespace
