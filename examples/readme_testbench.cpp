// The testbench snippet of README.md, kept compiling and running by the build: doubles drive a
// (5,10) float input port; the model writes a fixed-point output port, read back as a double.
#include "util/amath_dataimpl.h"

#include <cstdio>

using namespace simulation;

int main() {
  util::TempVarAllocator alloc;
  VarFloatType half("half", 5, 10, false);
  WideTypedFormatVector ports(2); // in: (5,10) float; out: signed 12 bits, 8 below the point
  ports[0].setVarType(&half);
  double stimulus = 0, result = 0;
  int failures = 0;
  for (const double x : {3.14159, 10.0}) {
    // Testbench: the double goes in through the conversions (rounded once to 11 bits, packed).
    stimulus = x;
    DoubleRef d(&SysDoubleType::builtIn, alloc);
    d.bind(stimulus);
    VarFloatRef in(&half, alloc);
    in.bindIO(ports[0]);
    in.setValue(d);
    in.write();

    // Model: out = in * 2^8 to the nearest integer, saturated to signed 12 bits. Width and
    // binary point are the generated code's own; the descriptor carries neither.
    VarFloatRef scaled(&half, alloc);
    FixedRef out(&WideFixedType::legacy, alloc);
    in.read();
    scaled.setLdExp(in, 8);
    out.bindIO(ports[1]);
    out.setValue(scaled);
    const int side = out.saturate(-12); // clamps the bound port: 0 inside, 1 above, -1 below

    // Testbench: the fixed output read back as a double.
    DoubleRef r(&SysDoubleType::builtIn, alloc);
    r.bind(result);
    r.setValue(out);
    r.setLdExp(r, -8);
    alloc.resetAvailability();
    std::printf("%g -> in 0x%04llx -> out %.8f (side %d)\n", x,
                static_cast<unsigned long long>(BIGNUM_GetLong(ports[0])), result, side);
    failures += result != (x < 4 ? 3.140625 : 2047 / 256.0) || side != (x < 4 ? 0 : 1);
  }
  return failures;
}
