// The process-wide store of feature values and its typed readers and writers.
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

// Sets a feature from the text "key=value", as a host takes it from its command line. The
// value's type is the registered key's (keys matched ignoring case, as the store does; the keys
// the library reads by name count as registered booleans): bool from true/false/1/0/on/off
// (any case), int and double in C notation, text as it stands, a list from comma-separated
// items, a map from comma-separated "k=v" pairs. An unregistered key is stored as text.
// Spaces around the key and around a typed value are ignored.
//
// A value that does not parse as its type changes nothing and is reported through
// getMessageInterface()->error with the id the getters use for that kind
// ("FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE", "FEATURE_DOES_NOT_HAVE_AN_INTEGER_VALUE",
// "FEATURE_DOES_NOT_HAVE_A_DOUBLE_VALUE", "FEATURE_DOES_NOT_HAVE_STRUCT_VALUE"; parameters
// "feature" and "value"); text without "=" or without a key reports
// "FEATURE_ASSIGNMENT_NOT_UNDERSTOOD" (parameter "feature": the whole text). True when stored.
//
//   util::SetFeatureFromText("fanoutPipeLength=3");     // an int, because the key is
//   util::SetWeakFeatureFromText("FLIPMEMS=on");         // "flipMems", unless already set
LOOM_UTIL_API bool SetFeatureFromText(const std::string& assignment);
// The weak twin: stores only when the key has no entry (a bad value is reported all the same).
LOOM_UTIL_API bool SetWeakFeatureFromText(const std::string& assignment);

enum class FeatureSetting { Default, Weak, Strong };

// One row of ListFeatures. Values are in the text form of LoomFeatureRegister::toText.
struct FeatureInfo {
  std::string key;          // as registered, else as first stored
  LoomFeatureType type;     // the registered type; for other keys the stored value's kind
  std::string defaultValue; // the registered default; empty for other keys
  std::string value;        // the stored value, or the default when nothing is stored
  FeatureSetting setting;   // Default: nothing stored
};

// Every registered key, every key the library reads by name, and every other key in the
// store, ordered by key ignoring case: enough for a host's --help.
LOOM_UTIL_API std::vector<FeatureInfo> ListFeatures();

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
