#include "run_command.h"
#include "util/loom_feature.h"
#include <gmock/gmock.h>

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
  const LoomFeature<bool> again("reportDebugMessages", true); // the same type is accepted
  EXPECT_EQ(LoomFeatureRegister::lookup("registerTestKey"), LFT_DOUBLE);
  EXPECT_EXIT(LoomFeature<int>("reportDebugMessages", 0), ExitedWithCode(100),
              StrEq("Error: Compiler Internal Restriction: 'LoomFeatureRegister::add(mName, "
                    "LoomFeatureTypeName<T>::mType)'. Feature already exists with a different "
                    "type! [LoomFeature<T>::LoomFeature at src/util/loom_feature.h:80] "));
}

// Helpers whose globals declare a library key: a clash must stop them before their main runs.
TEST(FeatureRegister, HostGlobalClashEndsStaticInitialisation) {
  EXPECT_THAT(runCommand(FEATURE_CLASH_HELPER).text(),
              AllOf(StartsWith("100 Error: Compiler Internal Restriction: "),
                    HasSubstr("Feature already exists with a different type!")));
  EXPECT_EQ(runCommand(FEATURE_SAME_TYPE_HELPER).text(), "0 main reached\n");
}
