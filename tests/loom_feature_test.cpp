#include "run_command.h"
#include "util/feature_store.h"
#include "util/loom_feature.h"
#include <fstream>
#include <gmock/gmock.h>
#include <regex>

using namespace ::testing;

struct RegisterAccess : LoomFeatureRegister { // reaches the protected add as a subclass may
  using LoomFeatureRegister::add;
};

TEST(FeatureRegister, LookupIsExactAndAddRefusesOnlyAnotherType) {
  EXPECT_EQ(LoomFeatureRegister::lookup("reportDebugMessages"), LFT_BOOL);
  for (const char* unknown :
       {"REPORTDEBUGMESSAGES", "reportDebugMessage", "", static_cast<const char*>(nullptr)})
    EXPECT_EQ(LoomFeatureRegister::lookup(unknown), LFT_UNDEFINED) << unknown;
  std::string key = "registerTestKey";
  EXPECT_TRUE(RegisterAccess::add(key.c_str(), LFT_DOUBLE));
  key = "overwritten"; // the register copied the text
  EXPECT_TRUE(RegisterAccess::add("registerTestKey", LFT_DOUBLE) &&
              !RegisterAccess::add("registerTestKey", LFT_INT));
  EXPECT_EQ(LoomFeatureRegister::lookup("registerTestKey"), LFT_DOUBLE);
#ifdef __clang__ // names the instance and gives a check over two lines its last line
  const std::string where = "LoomFeature<int>::LoomFeature at src/util/loom_feature.h:82] ";
#else
  const std::string where = "LoomFeature<T>::LoomFeature at src/util/loom_feature.h:81] ";
#endif
  EXPECT_EXIT(LoomFeature<int>("reportDebugMessages", 0), ExitedWithCode(100),
              StrEq("Error: Compiler Internal Restriction: 'LoomFeatureRegister::add(mName, "
                    "LoomFeatureTypeName<T>::mType)'. Feature already exists with a different "
                    "type! [" +
                    where));
}

// Helpers whose globals declare a library key: a clash must stop them before their main runs.
TEST(FeatureRegister, HostGlobalClashEndsStaticInitialisation) {
  EXPECT_THAT(runCommand(FEATURE_CLASH_HELPER).text(),
              AllOf(StartsWith("100 Error: Compiler Internal Restriction: "),
                    HasSubstr("Feature already exists with a different type!")));
  EXPECT_EQ(runCommand(FEATURE_SAME_TYPE_HELPER).text(), "0 main reached\n");
}

// The README's table of the library's features, written from their documentation: each key is
// registered with its type and listed with its default.
TEST(FeatureTable, EveryDocumentedKeyHasItsTypeAndDefault) {
  const char* const typeNames[] = {"undefined", "bool", "int", "double", "text", "list", "map"};
  std::map<std::string, util::FeatureInfo> listed;
  for (const util::FeatureInfo& feature : util::ListFeatures())
    listed[feature.key] = feature;
  const std::regex row(R"re(\| [^|]+ \| "(\w+)" \| (\w+) \| (.*) \|)re");
  std::ifstream readme(LOOM_README);
  int rows = 0;
  bool inTable = false;
  for (std::string line; std::getline(readme, line);) {
    std::smatch cells;
    if (line.rfind("### ", 0) == 0)
      inTable = line == "### Feature constants";
    if (!inTable || !std::regex_match(line, cells, row))
      continue;
    ++rows;
    const util::FeatureInfo& feature = listed[cells[1]]; // an unlisted key has no type
    EXPECT_EQ(typeNames[feature.type], cells[2]) << cells[1];
    EXPECT_EQ(feature.defaultValue, cells[3] == "(empty)" ? "" : cells[3].str()) << cells[1];
  }
  EXPECT_EQ(rows, 88); // the 86 constants and the two keys read by name
}
