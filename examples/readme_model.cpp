// The model snippet of README.md, kept compiling and running by the build.
#include "util/amath_dataimpl.h"

#include <cstdio>

using namespace simulation;

int main() {
  util::TempVarAllocator alloc;   // one per model
  WideTypedFormatVector ports(2); // in, out: fixed-point ports
  BIGNUM_SetLong(ports[0], 300);  // the testbench drives the input
  for (int step = 0; step < 3; ++step) {
    FixedRef in(&WideFixedType::legacy, alloc), acc(&WideFixedType::legacy, alloc);
    in.bindIO(ports[0]);   // works on the port's integer in place
    acc.setMult(in, in);   // acc = in * in
    acc.setLdExp(acc, -4); // arithmetic shift right by 4 (floor)
    acc.bindIO(ports[1]);
    acc.setValue(in);          // out = in ...
    acc.saturate(8);           // ... clamped to unsigned 8 bits: 255
    alloc.resetAvailability(); // the next step reuses the same temporaries
  }
  std::printf("out = %lld\n", static_cast<long long>(BIGNUM_GetLong(ports[1])));
  return BIGNUM_GetLong(ports[1]) == 255 ? 0 : 1;
}
