// The state snippet of README.md, kept compiling and running by the build: a model keeps what
// lives from one step to the next (a delay line, an accumulator) in arrays it owns, and binds
// the step's references to their elements; temporaries live for one step only.
#include "util/amath_dataimpl.h"

#include <cstdio>

using namespace simulation;

// y[n] = x[n] + x[n-1] / 2 + y[n-1] / 4 on (8,23) floats with IEEE subnormals.
struct Model {
  Model() : delay(&format, 1, 2) { format.setGradualUnderflow(true); }
  VarFloatType format{"single-like", 8, 23, true};
  util::TempVarAllocator alloc;
  VarFloatRef::Array2D delay; // element 0: x[n-1], element 1: y[n-1]

  double step(double input) {
    VarFloatRef x(&format, alloc), xOld(&format, alloc), yOld(&format, alloc), y(&format, alloc),
        t(&format, alloc);
    delay.bindElem(xOld, 0, 0); // works on the array's element itself
    delay.bindElem(yOld, 0, 1);
    x.setDouble(input);
    t.setLdExp(xOld, -1);
    y.setAdd(x, t);
    t.setLdExp(yOld, -2);
    y.setAdd(y, t);
    xOld.setValue(x); // the state for the next step
    yOld.setValue(y);
    const double out = y.toDouble();
    alloc.resetAvailability(); // every temporary free again
    return out;
  }
};

int main() {
  Model model;
  const double inputs[] = {1, 0, 0, 0};
  const double expected[] = {1, 0.75, 0.1875, 0.046875};
  int failures = 0;
  for (int n = 0; n < 4; ++n) {
    const double y = model.step(inputs[n]);
    std::printf("y[%d] = %g\n", n, y);
    failures += y != expected[n];
    failures += n > 0 && model.alloc.stats().growthSinceReset != 0; // nothing new after step 0
  }
  return failures;
}
