// The process-wide feature store: typed reads and writes, text assignments, listings.
#include "util/feature_store.h"

#include "util/internal/loom_feature_internal.h"
#include "util/messages.h"

#include <boost/any.hpp>

#include <algorithm>
#include <charconv>
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

struct Entry {
  boost::any value;
  bool weak = false; // entered by a weak set and not replaced since
};
using Store = std::map<std::string, Entry, CaseInsensitiveLess>;

// Never destroyed: code running during the process's exit (another module's static
// destructors, the profiling reports) may still read features.
Store& store() {
  static Store* theStore = new Store;
  return *theStore;
}

const boost::any* find(std::string_view key) {
  const Store& s = store();
  const auto it = s.find(key);
  return it == s.end() ? nullptr : &it->second.value;
}

// The plain getters' look-up: a missing key gets an empty value first.
const boost::any& findOrInsert(const std::string& key) {
  Store& s = store();
  auto it = s.find(key);
  if (it == s.end())
    it = s.emplace(key, Entry()).first;
  return it->second.value;
}

template <typename V> void setStrong(std::string_view key, V&& value) {
  Store& s = store();
  const auto it = s.find(key);
  if (it == s.end())
    s.emplace(std::string(key), Entry{boost::any(std::forward<V>(value)), false});
  else
    it->second = Entry{boost::any(std::forward<V>(value)), false};
}

// True when the value was stored.
template <typename V> bool setWeak(std::string_view key, V&& value) {
  Store& s = store();
  if (s.find(key) != s.end())
    return false;
  s.emplace(std::string(key), Entry{boost::any(std::forward<V>(value)), true});
  return true;
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

// --- features from text ---------------------------------------------------------------------

struct KnownKey {
  std::string name;
  LoomFeatureType type;
  std::string defaultText;
};

// The register, plus the keys the library reads by name without a constant.
std::vector<KnownKey> knownKeys() {
  std::vector<KnownKey> keys;
  for (auto& feature : internal::registeredFeatures())
    keys.push_back({std::move(feature.name), feature.type, std::move(feature.defaultText)});
  keys.push_back({internal::kAbbreviationLogKey, LFT_BOOL, "false"});
  keys.push_back({internal::kProfilingFlushRegionsKey, LFT_BOOL, "false"});
  return keys;
}

bool sameKey(std::string_view a, std::string_view b) {
  const CaseInsensitiveLess less;
  return !less(a, b) && !less(b, a);
}

// The known key the text names: spelled exactly, else ignoring case.
const KnownKey* resolve(const std::vector<KnownKey>& keys, std::string_view key) {
  for (const KnownKey& known : keys)
    if (known.name == key)
      return &known;
  for (const KnownKey& known : keys)
    if (sameKey(known.name, key))
      return &known;
  return nullptr;
}

std::string_view trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos)
    return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool parseBoolean(std::string_view text, bool& value) {
  for (const char* yes : {"true", "on", "1"})
    if (sameKey(text, yes))
      return value = true, true;
  for (const char* no : {"false", "off", "0"})
    if (sameKey(text, no))
      return value = false, true;
  return false;
}

// The whole text must be the number: from_chars reads no sign "+" and no spaces.
template <typename T> bool parseNumber(std::string_view text, T& value) {
  if (!text.empty() && text[0] == '+' && text.size() > 1 && text[1] != '-')
    text.remove_prefix(1);
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  return !text.empty() && result.ec == std::errc() && result.ptr == end;
}

std::vector<std::string_view> splitItems(std::string_view text) {
  std::vector<std::string_view> items;
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view item = trim(text.substr(0, comma));
    if (!item.empty())
      items.push_back(item);
    text = comma == std::string_view::npos ? std::string_view() : text.substr(comma + 1);
  }
  return items;
}

bool parseMap(std::string_view text, FeatureMap& map) {
  for (const std::string_view item : splitItems(text)) {
    const auto eq = item.find('=');
    const std::string_view key = trim(item.substr(0, eq));
    if (eq == std::string_view::npos || key.empty())
      return false;
    map[std::string(key)] = std::string(trim(item.substr(eq + 1)));
  }
  return true;
}

// The value the text stands for under `type`, or the id that reports why there is none.
const char* parseValue(LoomFeatureType type, const std::string& text, boost::any& value) {
  const std::string_view typed = trim(text);
  switch (type) {
  case LFT_BOOL: {
    bool b = false;
    return parseBoolean(typed, b) ? (value = b, nullptr) : "FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE";
  }
  case LFT_INT: {
    int i = 0;
    return parseNumber(typed, i) ? (value = i, nullptr) : "FEATURE_DOES_NOT_HAVE_AN_INTEGER_VALUE";
  }
  case LFT_DOUBLE: {
    double d = 0;
    return parseNumber(typed, d) && std::isfinite(d) ? (value = d, nullptr)
                                                     : "FEATURE_DOES_NOT_HAVE_A_DOUBLE_VALUE";
  }
  case LFT_STRING_LIST: {
    FeatureList list;
    for (const std::string_view item : splitItems(typed))
      list.emplace_back(item);
    value = std::move(list);
    return nullptr;
  }
  case LFT_STRING_MAP: {
    FeatureMap map;
    return parseMap(typed, map) ? (value = std::move(map), nullptr)
                                : "FEATURE_DOES_NOT_HAVE_STRUCT_VALUE";
  }
  default:
    value = text;
    return nullptr;
  }
}

bool setFromText(const std::string& assignment, bool weak) {
  const auto eq = assignment.find('=');
  const std::string key(trim(std::string_view(assignment).substr(0, eq)));
  if (eq == std::string::npos || key.empty()) {
    getMessageInterface()->error("FEATURE_ASSIGNMENT_NOT_UNDERSTOOD", {{"feature", assignment}});
    return false;
  }
  const std::vector<KnownKey> keys = knownKeys();
  const KnownKey* known = resolve(keys, key);
  const std::string& name = known != nullptr ? known->name : key;
  const std::string text = assignment.substr(eq + 1);
  boost::any value;
  if (const char* id = parseValue(known != nullptr ? known->type : LFT_STRING, text, value)) {
    getMessageInterface()->error(id, {{"feature", name}, {"value", text}});
    return false;
  }
  if (weak)
    return setWeak(name, std::move(value));
  setStrong(name, std::move(value));
  return true;
}

// --- listing ----------------------------------------------------------------------------------

LoomFeatureType kindOf(const boost::any& value) {
  const std::type_info& t = value.type();
  return t == typeid(bool)          ? LFT_BOOL
         : t == typeid(int)         ? LFT_INT
         : t == typeid(double)      ? LFT_DOUBLE
         : t == typeid(std::string) ? LFT_STRING
         : t == typeid(FeatureList) ? LFT_STRING_LIST
         : t == typeid(FeatureMap)  ? LFT_STRING_MAP
                                    : LFT_UNDEFINED;
}

std::string textOf(const boost::any& value) {
  switch (kindOf(value)) {
  case LFT_BOOL:
    return LoomFeatureRegister::toText(boost::any_cast<bool>(value));
  case LFT_INT:
    return LoomFeatureRegister::toText(boost::any_cast<int>(value));
  case LFT_DOUBLE:
    return LoomFeatureRegister::toText(boost::any_cast<double>(value));
  case LFT_STRING:
    return boost::any_cast<const std::string&>(value);
  case LFT_STRING_LIST:
    return LoomFeatureRegister::toText(boost::any_cast<const FeatureList&>(value));
  case LFT_STRING_MAP:
    return LoomFeatureRegister::toText(boost::any_cast<const FeatureMap&>(value));
  default:
    return std::string();
  }
}

} // namespace

bool SetFeatureFromText(const std::string& assignment) {
  return setFromText(assignment, false);
}
bool SetWeakFeatureFromText(const std::string& assignment) {
  return setFromText(assignment, true);
}

std::vector<FeatureInfo> ListFeatures() {
  const auto settingOf = [](const Entry& e) {
    return e.weak ? FeatureSetting::Weak : FeatureSetting::Strong;
  };
  std::vector<FeatureInfo> rows;
  std::vector<const Entry*> listed; // store entries already shown in a known key's row
  for (const KnownKey& known : knownKeys()) {
    FeatureInfo row{known.name, known.type, known.defaultText, known.defaultText,
                    FeatureSetting::Default};
    const auto it = store().find(known.name);
    if (it != store().end()) {
      row.value = textOf(it->second.value);
      row.setting = settingOf(it->second);
      listed.push_back(&it->second);
    }
    rows.push_back(std::move(row));
  }
  for (const auto& entry : store())
    if (std::find(listed.begin(), listed.end(), &entry.second) == listed.end())
      rows.push_back({entry.first, kindOf(entry.second.value), std::string(),
                      textOf(entry.second.value), settingOf(entry.second)});
  std::stable_sort(rows.begin(), rows.end(), [](const FeatureInfo& a, const FeatureInfo& b) {
    return CaseInsensitiveLess()(a.key, b.key);
  });
  return rows;
}

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
    s.emplace(key, Entry{boost::any(FeatureList{value}), false});
  else
    boost::any_cast<FeatureList&>(it->second.value).push_back(value);
}

void AddToFeatureMap(const std::string& key, const std::string& mapKey, const std::string& value) {
  Store& s = store();
  const auto it = s.find(key);
  if (it == s.end())
    s.emplace(key, Entry{boost::any(FeatureMap{{mapKey, value}}), false});
  else
    boost::any_cast<FeatureMap&>(it->second.value)[mapKey] = value;
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
