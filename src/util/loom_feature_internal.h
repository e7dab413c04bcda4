#ifndef LOOM_UTIL_LOOM_FEATURE_INTERNAL_H
#define LOOM_UTIL_LOOM_FEATURE_INTERNAL_H

// The feature register as the feature store lists it; not part of the installed interface.

#include "util/loom_feature.h"

#include <string>
#include <vector>

namespace util {
namespace internal {

struct RegisteredFeature {
  std::string name;
  LoomFeatureType type;
  std::string defaultText;
};

// Every registered key, in byte order of the keys.
std::vector<RegisteredFeature> registeredFeatures();

} // namespace internal
} // namespace util

#endif
