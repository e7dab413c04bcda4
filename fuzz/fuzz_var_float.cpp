// Random cases of var-float reference operations, drawn from the input: operands and
// destinations of the one-limb precisions and beyond, in MPFR's exponent range or a narrowed
// one, checked against the same MPFR call (value, sign of zero, range-error flag).
#include "float_paths_check.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  auto word = [&] { // the input, eight bytes at a time (zeros once it is used up)
    std::uint64_t w = 0;
    for (int i = 0; i < 8; ++i, size -= size != 0)
      w = w << 8 | (size == 0 ? 0 : *data++);
    return w;
  };
  simulation::VarFloatType type("fuzz", 8, 23, true);
  util::TempVarAllocator alloc;
  simulation::VarFloatRef d(&type, alloc), a(&type, alloc), b(&type, alloc);
  float_paths::randomCase(word, alloc, d, a, b,
                          [](int got, int want, int range, int wantRange, auto) {
                            if (got != want || range != wantRange)
                              std::abort();
                          });
  return 0;
}
