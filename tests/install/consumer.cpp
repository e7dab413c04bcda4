// Uses a little of every kind of interface: a word kernel, a reference with its allocator, a
// feature, a path and the version banner.
#include "util/amath_dataimpl.h"
#include "util/feature_store.h"
#include "util/path.h"
#include "util/version.h"

#include <cstdio>

int main(int argc, char**) {
  using namespace simulation;
  if (argc > 1) // a check inlined from an installed header: width 0 is a restriction
    return static_cast<int>(AMAdd(1, 1, 0));
  util::TempVarAllocator alloc;
  FixedRef a(&WideFixedType::legacy, alloc);
  a.setValue(200);
  a.setAdd(a, static_cast<int>(AMAdd(200, 100, 8))); // 44
  util::SetFeatureInteger("fanoutPipeLength", 3);
  const bool ok = a.isEqual(244) && util::GetFeature(Features::FANOUT_PIPE_LENGTH) == 3 &&
                  util::io::Path("a\\b").string() == "a/b" &&
                  util::GetOrcaVersionString() == "Meridian Version 22.1 (Release Build #5.1)";
  std::printf("%s\n", ok ? "consumer ok" : "consumer FAILED");
  return ok ? 0 : 1;
}
