#include "util/feature_store.h"

#include "util/messages.h"

#include <boost/any.hpp>

#include <climits>
#include <cmath>
#include <locale>
#include <map>
#include <string_view>
#include <utility>

namespace util {
namespace {

// Orders keys by their upper-case form under the global locale in force at the time of the
// comparison. Transparent, so a constant's key is looked up without building a string.
struct CaseInsensitiveLess {
  using is_transparent = void;

  bool operator()(std::string_view a, std::string_view b) const {
    const std::locale global;
    const auto& ctype = std::use_facet<std::ctype<char>>(global);
    const std::size_t n = a.size() < b.size() ? a.size() : b.size();
    for (std::size_t i = 0; i < n; ++i) {
      const auto ua = static_cast<unsigned char>(ctype.toupper(a[i]));
      const auto ub = static_cast<unsigned char>(ctype.toupper(b[i]));
      if (ua != ub)
        return ua < ub;
    }
    return a.size() < b.size();
  }
};

using Store = std::map<std::string, boost::any, CaseInsensitiveLess>;

// Never destroyed: code running during the process's exit (another module's static
// destructors, the profiling reports) may still read features.
Store& store() {
  static Store* theStore = new Store;
  return *theStore;
}

const boost::any* find(std::string_view key) {
  const Store& s = store();
  const auto it = s.find(key);
  return it == s.end() ? nullptr : &it->second;
}

// The plain getters' look-up: a missing key gets an empty value first.
const boost::any& findOrInsert(const std::string& key) {
  Store& s = store();
  auto it = s.find(key);
  if (it == s.end())
    it = s.emplace(key, boost::any()).first;
  return it->second;
}

template <typename V> void setStrong(std::string_view key, V&& value) {
  Store& s = store();
  const auto it = s.find(key);
  if (it == s.end())
    s.emplace(std::string(key), boost::any(std::forward<V>(value)));
  else
    it->second = boost::any(std::forward<V>(value));
}

template <typename V> void setWeak(const std::string& key, V&& value) {
  Store& s = store();
  if (s.find(key) == s.end())
    s.emplace(key, boost::any(std::forward<V>(value)));
}

void report(bool isError, const char* id, std::string_view key) {
  const MessageParameters parameters{{"feature", std::string(key)}};
  if (isError)
    getMessageInterface()->error(id, parameters);
  else
    getMessageInterface()->warning(id, parameters);
}

bool toBoolean(const boost::any& value, std::string_view key) {
  if (const bool* b = boost::any_cast<bool>(&value))
    return *b;
  if (const double* d = boost::any_cast<double>(&value))
    return *d != 0.0;
  if (const int* i = boost::any_cast<int>(&value))
    return *i != 0;
  report(true, "FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE", key);
  return false;
}

// Doubles truncate toward zero; beyond the range of int they saturate, and NaN gives 0,
// rather than converting with undefined behaviour.
int doubleToInt(double d) {
  if (std::isnan(d))
    return 0;
  if (d >= 2147483648.0)
    return INT_MAX;
  if (d <= -2147483649.0)
    return INT_MIN;
  return static_cast<int>(d);
}

int toInteger(const boost::any& value, std::string_view key) {
  if (const bool* b = boost::any_cast<bool>(&value))
    return *b ? 1 : 0;
  if (const double* d = boost::any_cast<double>(&value))
    return doubleToInt(*d);
  if (const int* i = boost::any_cast<int>(&value))
    return *i;
  report(true, "FEATURE_DOES_NOT_HAVE_AN_INTEGER_VALUE", key);
  return 0;
}

double toDouble(const boost::any& value) {
  return boost::any_cast<double>(value);
}

std::string toString(const boost::any& value) {
  return boost::any_cast<const std::string&>(value);
}

const char* checkedText(const char* text) {
  LOOM_ASSERT_MSG(text != nullptr, "A text feature value must not be null");
  return text;
}

} // namespace

void SetFeatureBoolean(const std::string& key, bool value) {
  setStrong(key, value);
}
void SetFeatureInteger(const std::string& key, int value) {
  setStrong(key, value);
}
void SetFeatureDouble(const std::string& key, double value) {
  setStrong(key, value);
}
void SetFeatureString(const std::string& key, const std::string& value) {
  setStrong(key, value);
}

void SetFeature(const LoomFeature<bool>& feature, bool value) {
  setStrong(feature.mName, value);
}
void SetFeature(const LoomFeature<int>& feature, int value) {
  setStrong(feature.mName, value);
}
void SetFeature(const LoomFeature<double>& feature, double value) {
  setStrong(feature.mName, value);
}
void SetFeature(const LoomFeature<const char*>& feature, const char* value) {
  setStrong(feature.mName, std::string(checkedText(value)));
}

void SetWeakFeatureBoolean(const std::string& key, bool value) {
  setWeak(key, value);
}
void SetWeakFeatureInteger(const std::string& key, int value) {
  setWeak(key, value);
}
void SetWeakFeatureDouble(const std::string& key, double value) {
  setWeak(key, value);
}
void SetWeakFeatureString(const std::string& key, const std::string& value) {
  setWeak(key, value);
}

void AddToFeatureList(const std::string& key, const std::string& value) {
  Store& s = store();
  const auto it = s.find(key);
  if (it == s.end())
    s.emplace(key, boost::any(FeatureList{value}));
  else
    boost::any_cast<FeatureList&>(it->second).push_back(value);
}

void AddToFeatureMap(const std::string& key, const std::string& mapKey, const std::string& value) {
  Store& s = store();
  const auto it = s.find(key);
  if (it == s.end())
    s.emplace(key, boost::any(FeatureMap{{mapKey, value}}));
  else
    boost::any_cast<FeatureMap&>(it->second)[mapKey] = value;
}

void ClearFeatures() {
  store().clear();
}

bool FeatureIsDefined(const std::string& key) {
  return find(key) != nullptr;
}

bool GetFeatureBoolean(const std::string& key) {
  return toBoolean(findOrInsert(key), key);
}
int GetFeatureInteger(const std::string& key) {
  return toInteger(findOrInsert(key), key);
}
double GetFeatureDouble(const std::string& key) {
  return toDouble(findOrInsert(key));
}
std::string GetFeatureString(const std::string& key) {
  return toString(findOrInsert(key));
}

bool GetFeatureBooleanWithDefault(const std::string& key, bool defaultValue) {
  return FeatureIsDefined(key) ? GetFeatureBoolean(key) : defaultValue;
}
int GetFeatureIntegerWithDefault(const std::string& key, int defaultValue) {
  return FeatureIsDefined(key) ? GetFeatureInteger(key) : defaultValue;
}
double GetFeatureDoubleWithDefault(const std::string& key, double defaultValue) {
  return FeatureIsDefined(key) ? GetFeatureDouble(key) : defaultValue;
}
std::string GetFeatureStringWithDefault(const std::string& key, const std::string& defaultValue) {
  return FeatureIsDefined(key) ? GetFeatureString(key) : defaultValue;
}

bool GetFeature(const LoomFeature<bool>& feature) {
  return GetFeature(feature, feature.mDefault);
}
bool GetFeature(const LoomFeature<bool>& feature, bool defaultValue) {
  const boost::any* value = find(feature.mName);
  return value != nullptr ? toBoolean(*value, feature.mName) : defaultValue;
}

int GetFeature(const LoomFeature<int>& feature) {
  return GetFeature(feature, feature.mDefault);
}
int GetFeature(const LoomFeature<int>& feature, int defaultValue) {
  const boost::any* value = find(feature.mName);
  return value != nullptr ? toInteger(*value, feature.mName) : defaultValue;
}

double GetFeature(const LoomFeature<double>& feature) {
  return GetFeature(feature, feature.mDefault);
}
double GetFeature(const LoomFeature<double>& feature, double defaultValue) {
  const boost::any* value = find(feature.mName);
  return value != nullptr ? toDouble(*value) : defaultValue;
}

std::string GetFeature(const LoomFeature<const char*>& feature) {
  return GetFeature(feature, feature.mDefault);
}
std::string GetFeature(const LoomFeature<const char*>& feature, const char* defaultValue) {
  const boost::any* value = find(feature.mName);
  return value != nullptr ? toString(*value) : std::string(checkedText(defaultValue));
}

const FeatureList& GetFeature(const LoomFeature<FeatureList>& feature) {
  const boost::any* value = find(feature.mName);
  if (value == nullptr)
    return feature.mDefault;
  if (const FeatureList* list = boost::any_cast<FeatureList>(value))
    return *list;
  report(false, "FEATURE_DOES_NOT_HAVE_LIST_VALUE", feature.mName);
  return feature.mDefault;
}

const FeatureMap& GetFeature(const LoomFeature<FeatureMap>& feature) {
  const boost::any* value = find(feature.mName);
  if (value == nullptr)
    return feature.mDefault;
  if (const FeatureMap* map = boost::any_cast<FeatureMap>(value))
    return *map;
  report(false, "FEATURE_DOES_NOT_HAVE_STRUCT_VALUE", feature.mName);
  return feature.mDefault;
}

} // namespace util
