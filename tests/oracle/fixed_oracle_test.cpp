// Differential test of the fixed-point reference operations against tests/oracle/cases.py.
#include "util/amath_dataimpl.h"

#include "case_runner.h"

#include <cstdlib>

namespace {

using namespace simulation;

TEST(FixedOracle, EveryOperationMatchesPythonIntegers) {
  util::TempVarAllocator alloc;
  WideTypedFormatVector ports(1);
  FixedRef d(&WideFixedType::legacy, alloc), a(&WideFixedType::legacy, alloc),
      b(&WideFixedType::legacy, alloc);
  std::string status; // saturate's result, before the clamped port's value
  // d from a and the second operand: b when it is an integer, else the text.
  auto from = [&](auto op) {
    return [&, op](const Operands& x) {
      const std::string y = x.size() > 1 ? x[1] : "";
      mpz_set_str(a.getRef(), x[0].c_str(), 10);
      mpz_set_str(b.getRef(), y.c_str(), 10);
      status.clear();
      op(y);
      const std::string result = status + d.toString(10);
      d.bindReset();
      return result;
    };
  };
  checkOracleCases(
      FIXED_ORACLE_CASES, 4000,
      {{"add", from([&](auto&) { d.setAdd(a, b); })},
       {"sub", from([&](auto&) { d.setSub(a, b); })},
       {"mult", from([&](auto&) { d.setMult(a, b); })},
       {"and", from([&](auto&) { d.setAnd(a, b); })},
       {"or", from([&](auto&) { d.setOr(a, b); })},
       {"xor", from([&](auto&) { d.setXor(a, b); })},
       {"dim", from([&](auto&) { d.setDim(a, b); })},
       {"divt", from([&](auto&) { d.setDiv(a, b, true); })},
       {"divf", from([&](auto&) { d.setDiv(a, b, false); })},
       {"mod", from([&](auto&) { d.setMod(a, b); })},
       {"abs", from([&](auto&) { d.setAbs(a); })},
       {"neg", from([&](auto&) { d.setNeg(a); })},
       {"sqrt", from([&](auto&) { d.setSqrt(a); })},
       {"not", from([&](auto& y) { d.setNot(a, std::stoi(y)); })},
       {"masklower", from([&](auto& y) { d.maskLower(a, unsigned(std::stoul(y))); })},
       {"setupper", from([&](auto& y) { d.setUpper(a, unsigned(std::stoul(y))); })},
       {"ldexp", from([&](auto& y) { d.setLdExp(a, std::stoi(y)); })},
       {"addi", from([&](auto& y) { d.setAdd(a, std::stoi(y)); })},
       {"subi", from([&](auto& y) { d.setSub(a, std::stoi(y)); })},
       {"addul", from([&](auto& y) { d.setAdd(a, std::stoul(y)); })},
       {"subul", from([&](auto& y) { d.setSub(a, std::stoul(y)); })},
       {"scale", from([&](auto& y) { d.setScaleDouble(a, std::strtod(y.c_str(), nullptr)); })},
       {"saturate", from([&](auto& y) {
          mpz_set(ports[0].mData, a.getRef());
          d.bindIO(ports[0]);
          status = std::to_string(d.saturate(std::stoi(y))) + " ";
        })}});
}

} // namespace
