// Differential test of the float bit packers and of the variable-precision float references
// against tests/oracle/cases.py.
#include "util/amath_dataimpl.h"

#include "case_runner.h"

#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>

namespace {

using namespace simulation;

// A format's descriptor and three references of it: operands a and b, result d.
struct Format {
  Format(int wE, int wF, util::TempVarAllocator& alloc)
      : type("f", wE, wF, true), a(&type, alloc), b(&type, alloc), d(&type, alloc) {}
  VarFloatType type;
  VarFloatRef a, b, d;
};

TEST(FloatPackingOracle, EveryPatternValueAndProducerMatchesTheReferences) {
  util::TempVarAllocator alloc;
  WideTypedFormatVector ports(1);
  WideTypedFormat& port = ports[0];
  std::map<std::pair<int, int>, std::unique_ptr<Format>> formats;
  auto format = [&](const Operands& x) -> Format& {
    auto& f = formats[{std::stoi(x[0]), std::stoi(x[1])}];
    if (!f)
      f = std::make_unique<Format>(std::stoi(x[0]), std::stoi(x[1]), alloc);
    f->d.bindReset();
    return *f;
  };
  // Reads `in` into d (or, when null, writes d) along the path and returns the pattern
  // written: direct (a bare integer), port (a port of the format), ref (d bound to such a
  // port), native (the single or double packer on a built-in port).
  std::function<std::string(Format&, const std::string&, const mpz_class*)> transfer =
      [&](Format& f, const std::string& path, const mpz_class* in) {
        const int wE = f.type.getWE(), wF = f.type.getWF();
        mpfr_ptr x = f.d.getRef().mValue;
        const bool native = path == "native";
        native ? port.setSimPortType(wE == 8 ? SPT_SINGLE : SPT_DOUBLE) : port.setVarType(&f.type);
        VarFloatPacker* const packers[] = {&VarFloatPackerDefault::instance,
                                           &VFPackerSingle::instance, &VFPackerDouble::instance};
        VarFloatPacker& packer = *packers[native ? 1 + (wE == 11) : 0];
        mpz_set(port.mData, in ? in->get_mpz_t() : mpz_class(-12345).get_mpz_t()); // must go
        f.d.bindIO(port);
        if (path == "direct")
          in ? VarFloatPackerDefault::instance.unpackBits(x, wE, wF, port.mData)
             : VarFloatPackerDefault::instance.packBits(x, wE, wF, port.mData);
        else if (path == "ref")
          in ? f.d.read() : f.d.write();
        else
          in ? packer.unpackBits(x, &port) : packer.packBits(x, &port);
        if (in)
          return token(x) + " " + transfer(f, path, nullptr);
        // The double packer writes whichever NaN the platform's conversion gives.
        const bool nativeDouble = wE == 11 && wF == 52 && (native || path == "ref");
        return nativeDouble && std::isnan(IEEE_Double(port).mValue)
                   ? "nan*"
                   : mpz_class(port.mData).get_str(16);
      };
  Operations operations;
  for (const std::string path : {"direct", "port", "ref", "native"})
    for (const bool unpack : {true, false})
      operations[(unpack ? "unpack-" : "pack-") + path] = [&, path, unpack](const Operands& x) {
        VarFloatPacker::flushSubnormalsToZero(x[2] == "1");
        Format& f = format(x);
        const mpz_class in(unpack ? x[3] : "0", 16);
        if (!unpack)
          setToken(f.d.getRef().mValue, x[3]);
        return transfer(f, path, unpack ? &in : nullptr);
      };
  // Producers: d from a, and from b or a number when the operation has a second operand.
  auto produce = [&](auto apply, bool binary) {
    return [&, apply, binary](const Operands& x) {
      Format& f = format(x);
      setToken(f.a.getRef().mValue, x[2]);
      if (binary)
        setToken(f.b.getRef().mValue, x[3]);
      apply(f, x.size() > 3 ? x[3] : "");
      return token(f.d.getRef().mValue);
    };
  };
  const std::map<std::string, void (VarFloatRef::*)(const VarFloatRef&)> unary = {
      {"sqrt", &VarFloatRef::setSqrt},   {"exp", &VarFloatRef::setExp},
      {"log", &VarFloatRef::setLog},     {"sin", &VarFloatRef::setSin},
      {"cbrt", &VarFloatRef::setCbrt},   {"recip", &VarFloatRef::setRecip},
      {"round", &VarFloatRef::setRound}, {"rint", &VarFloatRef::setRint},
      {"floor", &VarFloatRef::setFloor}, {"ceil", &VarFloatRef::setCeil},
      {"trunc", &VarFloatRef::setTrunc}, {"abs", &VarFloatRef::setAbs},
      {"neg", &VarFloatRef::setNeg}};
  const std::map<std::string, void (VarFloatRef::*)(const VarFloatRef&, const VarFloatRef&)>
      binary = {{"add", &VarFloatRef::setAdd},     {"sub", &VarFloatRef::setSub},
                {"mult", &VarFloatRef::setMult},   {"div", &VarFloatRef::setDiv},
                {"hypot", &VarFloatRef::setHypot}, {"pow", &VarFloatRef::setPow},
                {"atan2", &VarFloatRef::setATan2}, {"dim", &VarFloatRef::setDim},
                {"mod", &VarFloatRef::setMod}};
  for (const auto& [name, set] : unary)
    operations[name] = produce([set = set](Format& f, auto&) { (f.d.*set)(f.a); }, false);
  for (const auto& [name, set] : binary)
    operations[name] = produce([set = set](Format& f, auto&) { (f.d.*set)(f.a, f.b); }, true);
  operations["ldexp"] = produce([](Format& f, auto& n) { f.d.setLdExp(f.a, std::stoi(n)); }, 0);
  operations["pown"] = produce([](Format& f, auto& n) { f.d.setPown(f.a, std::stoi(n)); }, 0);
  operations["scale"] = produce(
      [](Format& f, const std::string& s) {
        f.d.setScaleDouble(f.a, std::strtod(s.c_str(), nullptr));
      },
      false);
  checkOracleCases(FLOAT_PACKING_ORACLE_CASES, 500, operations);
  VarFloatPacker::flushSubnormalsToZero(true);
}

} // namespace
