// A host program whose global declares a feature with a key the library already has, with the
// same type or (HOST_FEATURE_CLASH) another one.
#include "util/loom_feature.h"
#include <cstdio>

#ifdef HOST_FEATURE_CLASH
const LoomFeature<int> hostFeature("reportDebugMessages", 0);
#else
const LoomFeature<bool> hostFeature("reportDebugMessages", true);
#endif

int main() {
  std::puts("main reached");
}
