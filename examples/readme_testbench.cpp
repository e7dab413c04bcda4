// The testbench snippet of README.md, kept compiling and running by the build: doubles drive a
// (5,10) float input port; the model writes a fixed-point output port, read back as a double.
#include "util/amath_dataimpl.h"

#include <cstdio>

using namespace simulation;

// The model under test: out = in * 2^8 to the nearest integer, saturated to signed 12 bits.
// Width and binary point are the generated code's own; the descriptors carry neither.
static int step(WideTypedFormatVector& ports, VarFloatType& half, util::TempVarAllocator& alloc) {
  VarFloatRef in(&half, alloc), scaled(&half, alloc);
  FixedRef out(&WideFixedType::legacy, alloc);
  in.bindIO(ports[0]);
  in.read();
  scaled.setLdExp(in, 8);
  out.bindIO(ports[1]);
  out.setValue(scaled);
  return out.saturate(-12); // clamps the bound port: 0 inside, 1 above, -1 below
}

int main() {
  util::TempVarAllocator alloc;
  VarFloatType half("half", 5, 10, false);
  WideTypedFormatVector ports(2); // in: (5,10) float; out: signed 12 bits, 8 below the point
  ports[0].setVarType(&half);
  const FloatFormatInfo format = half.describe();
  std::printf("half: bias %ld, largest %g, smallest normal %g\n", format.bias, format.maxFinite,
              format.minNormal);
  const struct {
    double x, expected;
    int side;
  } cases[] = {{3.14159, 3.140625, 0}, {10.0, 2047 / 256.0, 1}, {-20.0, -8.0, -1}};
  int failures = 0;
  for (const auto& c : cases) {
    VarFloatRef stimulus(&half, alloc);
    FixedRef result(&WideFixedType::legacy, alloc);
    stimulus.bindIO(ports[0]);
    stimulus.writeDouble(c.x); // rounded once to 11 bits, packed into the port
    const int side = step(ports, half, alloc);
    result.bindIO(ports[1]);
    const double y = result.toDouble(8); // the output's 8 fraction bits
    std::printf("%g -> in %s -> out %s\n", c.x, stimulus.debugText().c_str(),
                result.debugText(8).c_str());
    failures += y != c.expected || side != c.side;
    // After the first step the allocator hands out only what it already has.
    failures += &c != cases && alloc.stats().growthSinceReset != 0;
    alloc.resetAvailability();
  }
  return failures;
}
