// The feature register and the definitions of the built-in feature constants.
#include "util/loom_feature.h"

#include "util/internal/loom_feature_internal.h"

#include <fmt/format.h>

#include <algorithm>
#include <map>
#include <string_view>

namespace {

struct Registration {
  LoomFeatureType type;
  std::string defaultText;
  bool defaultNoted = false;
};
using RegisterTable = std::map<std::string, Registration, std::less<>>;

// Built on first use so that constants of any module, constructed in any order, find it.
// Never destroyed: a constant or a lookup during another module's exit must still work.
RegisterTable& registerTable() {
  static RegisterTable* table = new RegisterTable;
  return *table;
}

} // namespace

bool LoomFeatureRegister::add(const char* name, LoomFeatureType type) {
  LOOM_ASSERT_MSG(name != nullptr, "A feature needs a name");
  RegisterTable& table = registerTable();
  const auto it = table.find(std::string_view(name));
  if (it == table.end()) {
    table.emplace(name, Registration{type, std::string()});
    return true;
  }
  return it->second.type == type;
}

void LoomFeatureRegister::noteDefault(const char* name, const std::string& defaultText) {
  RegisterTable& table = registerTable();
  const auto it = table.find(std::string_view(name));
  if (it != table.end() && !it->second.defaultNoted) {
    it->second.defaultText = defaultText;
    it->second.defaultNoted = true;
  }
}

LoomFeatureType LoomFeatureRegister::lookup(const char* name) {
  if (name == nullptr)
    return LFT_UNDEFINED;
  const RegisterTable& table = registerTable();
  const auto it = table.find(std::string_view(name));
  return it == table.end() ? LFT_UNDEFINED : it->second.type;
}

std::string LoomFeatureRegister::toText(bool value) {
  return value ? "true" : "false";
}
std::string LoomFeatureRegister::toText(int value) {
  return std::to_string(value);
}
std::string LoomFeatureRegister::toText(double value) {
  return fmt::format("{}", value); // the shortest text that reads back as the same double
}
std::string LoomFeatureRegister::toText(const char* value) {
  return value != nullptr ? value : "";
}
std::string LoomFeatureRegister::toText(const std::vector<std::string>& value) {
  std::string text;
  for (std::size_t i = 0; i < value.size(); ++i)
    text += (i == 0 ? "" : ",") + value[i];
  return text;
}
std::string LoomFeatureRegister::toText(const std::unordered_map<std::string, std::string>& value) {
  const std::map<std::string, std::string> sorted(value.begin(), value.end());
  std::string text;
  for (const auto& pair : sorted)
    text += (&pair == &*sorted.begin() ? "" : ",") + pair.first + "=" + pair.second;
  return text;
}

namespace util {
namespace internal {

std::vector<RegisteredFeature> registeredFeatures() {
  std::vector<RegisteredFeature> features;
  for (const auto& entry : registerTable())
    features.push_back({entry.first, entry.second.type, entry.second.defaultText});
  return features;
}

} // namespace internal
} // namespace util

namespace Features {

// In table order; built before ordinary static constructors so that host code may read them
// from its own.
#define LOOM_FEATURE(NAME, TYPE, KEY, DEFAULT)                                                     \
  LOOM_UTIL_EARLY_INIT const LoomFeature<TYPE> NAME(KEY, DEFAULT);
#include "util/loom_features.def"

} // namespace Features
