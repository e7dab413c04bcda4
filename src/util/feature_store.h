#ifndef LOOM_UTIL_FEATURE_STORE_H
#define LOOM_UTIL_FEATURE_STORE_H

#include "util/export.h"
#include "util/loom_feature.h"

#include <string>
#include <unordered_map>
#include <vector>

// The process-wide store of feature values, filled by the host (typically from its command
// line) and read through the typed constants of util/loom_feature.h.
//
//   util::SetFeatureBoolean("reportDebugMessages", true);  // replaces any value
//   util::SetWeakFeatureInteger("fanoutPipeLength", 2);    // only if nothing is set yet
//   util::AddToFeatureList("BlockTypesWithInfrastructureOverhead", "FIFO");
//   int n = util::GetFeature(Features::FANOUT_PIPE_LENGTH); // 2, or the default 1
//
// Keys ignore letter case ("REPORTDEBUGMESSAGES" is "reportDebugMessages"); an entry keeps
// the case of the key that created it. A boolean or integer read of a value of another kind
// is reported through util::getMessageInterface() ("FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE",
// "FEATURE_DOES_NOT_HAVE_AN_INTEGER_VALUE", parameter "feature"). Reads of doubles and strings,
// and additions to lists and maps, throw boost::bad_any_cast on a value of another kind.
//
// Nothing is locked: set features before starting parallel work.

namespace util {

using FeatureList = std::vector<std::string>;
using FeatureMap = std::unordered_map<std::string, std::string>;

// Strong sets replace whatever the entry held.
LOOM_UTIL_API void SetFeatureBoolean(const std::string& key, bool value);
LOOM_UTIL_API void SetFeatureInteger(const std::string& key, int value);
LOOM_UTIL_API void SetFeatureDouble(const std::string& key, double value);
LOOM_UTIL_API void SetFeatureString(const std::string& key, const std::string& value);
LOOM_UTIL_API void SetFeature(const LoomFeature<bool>& feature, bool value);
LOOM_UTIL_API void SetFeature(const LoomFeature<int>& feature, int value);
LOOM_UTIL_API void SetFeature(const LoomFeature<double>& feature, double value);
LOOM_UTIL_API void SetFeature(const LoomFeature<const char*>& feature, const char* value);

// Weak sets store the value only when the key has no entry at all.
LOOM_UTIL_API void SetWeakFeatureBoolean(const std::string& key, bool value);
LOOM_UTIL_API void SetWeakFeatureInteger(const std::string& key, int value);
LOOM_UTIL_API void SetWeakFeatureDouble(const std::string& key, double value);
LOOM_UTIL_API void SetWeakFeatureString(const std::string& key, const std::string& value);

// Append to a list / set one pair of a map, creating it when the key has no entry.
LOOM_UTIL_API void AddToFeatureList(const std::string& key, const std::string& value);
LOOM_UTIL_API void AddToFeatureMap(const std::string& key, const std::string& mapKey,
                                   const std::string& value);

LOOM_UTIL_API void ClearFeatures();

LOOM_UTIL_API bool FeatureIsDefined(const std::string& key);

// The plain getters enter an empty value under a missing key first, so the key counts as
// defined afterwards (and reading it reports or throws). Booleans and integers accept bool,
// double and int values; doubles and strings only their own kind.
LOOM_UTIL_API bool GetFeatureBoolean(const std::string& key);
LOOM_UTIL_API int GetFeatureInteger(const std::string& key);
LOOM_UTIL_API double GetFeatureDouble(const std::string& key);
LOOM_UTIL_API std::string GetFeatureString(const std::string& key);

// The default when the key has no entry, else the plain getter's result.
LOOM_UTIL_API bool GetFeatureBooleanWithDefault(const std::string& key, bool defaultValue);
LOOM_UTIL_API int GetFeatureIntegerWithDefault(const std::string& key, int defaultValue);
LOOM_UTIL_API double GetFeatureDoubleWithDefault(const std::string& key, double defaultValue);
LOOM_UTIL_API std::string GetFeatureStringWithDefault(const std::string& key,
                                                      const std::string& defaultValue);

// By constant: the stored value when there is one (converted as by the plain getters), else
// the given default, else the constant's own. Nothing is entered into the store.
LOOM_UTIL_API bool GetFeature(const LoomFeature<bool>& feature);
LOOM_UTIL_API bool GetFeature(const LoomFeature<bool>& feature, bool defaultValue);
LOOM_UTIL_API int GetFeature(const LoomFeature<int>& feature);
LOOM_UTIL_API int GetFeature(const LoomFeature<int>& feature, int defaultValue);
LOOM_UTIL_API double GetFeature(const LoomFeature<double>& feature);
LOOM_UTIL_API double GetFeature(const LoomFeature<double>& feature, double defaultValue);
LOOM_UTIL_API std::string GetFeature(const LoomFeature<const char*>& feature);
LOOM_UTIL_API std::string GetFeature(const LoomFeature<const char*>& feature,
                                     const char* defaultValue);

// The stored list or map itself (valid until the entry is replaced or the store cleared), or
// the constant's default when there is no entry. An entry of another kind is warned about
// ("FEATURE_DOES_NOT_HAVE_LIST_VALUE" / "FEATURE_DOES_NOT_HAVE_STRUCT_VALUE") and the
// default returned.
LOOM_UTIL_API const FeatureList& GetFeature(const LoomFeature<FeatureList>& feature);
LOOM_UTIL_API const FeatureMap& GetFeature(const LoomFeature<FeatureMap>& feature);

} // namespace util

#endif
