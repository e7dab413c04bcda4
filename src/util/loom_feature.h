// Typed feature constants and the process-wide register of their keys.
#ifndef LOOM_UTIL_LOOM_FEATURE_H
#define LOOM_UTIL_LOOM_FEATURE_H

#include "util/assert_handler.h"
#include "util/export.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// Features are named, typed tuning options of the compiler back end. Code reads one through
// a typed constant, Features::<NAME>, which carries the key and the built-in default; values
// set at run time live in the feature store (util/feature_store.h).
//
// Every LoomFeature<T> registers its key and value type when it is constructed. A key
// declared anywhere in the process with two different value types is an internal
// restriction, reported during static initialisation. Host programs declare their own
// constants the same way:
//
//   const LoomFeature<int> MY_UNROLL_LIMIT("myUnrollLimit", 8);

enum LoomFeatureType : std::int32_t {
  LFT_UNDEFINED = 0, // only returned by LoomFeatureRegister::lookup
  LFT_BOOL = 1,
  LFT_INT = 2,
  LFT_DOUBLE = 3,
  LFT_STRING = 4,      // LoomFeature<const char*>
  LFT_STRING_LIST = 5, // LoomFeature<std::vector<std::string>>
  LFT_STRING_MAP = 6,  // LoomFeature<std::unordered_map<std::string, std::string>>
};

template <typename T> struct LoomFeatureTypeName;
template <> struct LoomFeatureTypeName<bool> { static constexpr LoomFeatureType mType = LFT_BOOL; };
template <> struct LoomFeatureTypeName<int> { static constexpr LoomFeatureType mType = LFT_INT; };
template <> struct LoomFeatureTypeName<double> {
  static constexpr LoomFeatureType mType = LFT_DOUBLE;
};
template <> struct LoomFeatureTypeName<const char*> {
  static constexpr LoomFeatureType mType = LFT_STRING;
};
template <> struct LoomFeatureTypeName<std::vector<std::string>> {
  static constexpr LoomFeatureType mType = LFT_STRING_LIST;
};
template <> struct LoomFeatureTypeName<std::unordered_map<std::string, std::string>> {
  static constexpr LoomFeatureType mType = LFT_STRING_MAP;
};

template <typename T> struct LoomFeature;

// The process-wide record of which key has which value type. Keys match exactly (case
// matters here, unlike in the store). The table comes into being with its first use, so
// constants may be declared in any static initialiser of the process.
class LOOM_UTIL_API LoomFeatureRegister {
public:
  // LFT_UNDEFINED when the key was never registered.
  static LoomFeatureType lookup(const char* name);

  // A value as util::ListFeatures shows it: true/false, decimal numbers (doubles as short as
  // they read back exactly), text as it is, list items joined by ",", map pairs "k=v" sorted
  // by key and joined by ",".
  static std::string toText(bool value);
  static std::string toText(int value);
  static std::string toText(double value);
  static std::string toText(const char* value);
  static std::string toText(const std::vector<std::string>& value);
  static std::string toText(const std::unordered_map<std::string, std::string>& value);

protected:
  // False only when the key is registered already with another type; the key is copied.
  static bool add(const char* name, LoomFeatureType type);
  // The default listed for a registered key: the first one noted is kept.
  static void noteDefault(const char* name, const std::string& defaultText);

  template <typename T> friend struct LoomFeature;
};

template <typename T> struct LoomFeature {
  LoomFeature(const char* name, const T& defaultValue) : mName(name), mDefault(defaultValue) {
    LOOM_ASSERT_MSG(LoomFeatureRegister::add(mName, LoomFeatureTypeName<T>::mType),
                    "Feature already exists with a different type!");
    LoomFeatureRegister::noteDefault(mName, LoomFeatureRegister::toText(defaultValue));
  }

  const char* mName; // a string literal
  T mDefault;
};

namespace Features {

#define LOOM_FEATURE(NAME, TYPE, KEY, DEFAULT) LOOM_UTIL_API extern const LoomFeature<TYPE> NAME;
#include "util/loom_features.def"

} // namespace Features

#endif
