// The feature register as the feature store sees it, and the keys read by name.
#ifndef LOOM_UTIL_INTERNAL_LOOM_FEATURE_INTERNAL_H
#define LOOM_UTIL_INTERNAL_LOOM_FEATURE_INTERNAL_H

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

// Keys the library reads by name, without a constant; both are booleans, false by default.
inline constexpr char kAbbreviationLogKey[] = "enableAbbreviationLog";
inline constexpr char kProfilingFlushRegionsKey[] = "ProfilingLogFlushRegions";

} // namespace internal
} // namespace util

#endif
