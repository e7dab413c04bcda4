#include "alloc_counter.h" // counts every allocation of the process
#include "util/feature_store.h"
#include "util/messages.h"
#include "util/string_utils.h"
#include <boost/any.hpp>
#include <cmath>
#include <gmock/gmock.h>
#include <sstream>

using namespace ::testing;
using namespace util;
namespace F = Features;
using Cast = boost::bad_any_cast;

// The host's message interface for the test's length: records "<kind> <id> <key>[=<value>]; ",
// the id without its "FEATURE_DOES_NOT_HAVE_".
class FeatureStore : public Test, public MessageInterface {
protected:
  void SetUp() override { setMessageInterface(this); } // every test leaves the store empty
  void TearDown() override { setMessageInterface(nullptr), ClearFeatures(); }
  void add(const char* kind, const std::string& id, const MessageParameters& p) {
    const bool usual = id.rfind("FEATURE_DOES_NOT_HAVE_", 0) == 0;
    mLog += std::string(kind) + " " + (usual ? id.substr(22) : id) + " " + p.at("feature") +
            (p.count("value") != 0 ? "=" + p.at("value") : "") + "; ";
  }
  void error(const std::string& id, const MessageParameters& p) override { add("E", id, p); }
  void warning(const std::string& id, const MessageParameters& p) override { add("W", id, p); }
  void info(const std::string& id, const MessageParameters& p) override { add("I", id, p); }
  void debug(const std::string& id, const MessageParameters& p) override { add("D", id, p); }
  std::string mLog;
};

TEST_F(FeatureStore, ConstantsReadStoredValuesElseTheirDefaultsWithoutAllocating) {
  ClearFeatures(); // creates the store: the reads below must not allocate
  std::ostringstream read;
  for (int filled = 0; filled < 2; ++filled) { // an empty store, then one with comparisons
    const long before = alloc_counter::count.load();
    const bool b = GetFeature(F::ATB_LOG_BUS_OUT, filled != 0);
    const int i = GetFeature(F::FANOUT_PIPE_LENGTH, 9);
    const double d = GetFeature(F::SANDWICH_FIFO_THRESHOLD, 2.5);
    const bool noList = GetFeature(F::BLOCK_TYPES_WITH_INFRASTRUCTURE_OVERHEAD).empty();
    EXPECT_EQ(alloc_counter::count.load() - before, 0);
    read << b << i << d << noList << GetFeature(F::DEVICE_CORE_VOLTAGE, "0.9V") << " ";
    SetFeatureInteger("FANOUTPIPELENGTH", 3);     // keys ignore letter case
    SetWeakFeatureInteger("fanoutpipelength", 4); // a weak set never replaces an entry
    SetFeature(F::SANDWICH_FIFO_THRESHOLD, 0.25);
    SetFeature(F::DEVICE_CORE_VOLTAGE, "0.8V");
    SetFeature(F::ATB_LOG_BUS_OUT, false);
  }
  SetWeakFeatureString("new", "w");
  SetFeatureString("fanoutPipeLength", "x"); // a strong set replaces another kind
  read << GetFeatureString("NEW") << GetFeatureString("FanoutPipeLength")
       << GetFeature(F::FLIP_MEMS);
  // Booleans and integers convert numbers: doubles truncate toward zero and saturate beyond int;
  // NaN reads as 0 but is not 0.0.
  for (double d :
       {0.5, -2.7, 0.0, 2147483647.9, 2147483648.0, -2147483648.9, -2147483649.0, std::nan("")}) {
    SetFeatureDouble("d", d);
    read << " " << GetFeatureInteger("d") << GetFeatureBoolean("d");
  }
  SetFeatureBoolean("t", true);
  SetFeatureInteger("i", -5);
  SetFeatureDouble("fanoutPipeLength", 2.9);
  read << " " << GetFeatureInteger("t") << GetFeatureBoolean("i")
       << GetFeature(F::FANOUT_PIPE_LENGTH);
  EXPECT_EQ(read.str(), "092.510.9V 030.2510.8V wx0 01 -21 00 21474836471 21474836471 "
                        "-21474836481 -21474836481 01 112");
  EXPECT_EQ(mLog, "");
}

// Boolean and integer reads report a wrong kind to the host; double and string reads throw.
TEST_F(FeatureStore, WrongKindsAreReportedToTheHostInterface) {
  SetFeatureInteger("deviceCoreVoltage", 1);
  SetFeatureInteger("sandwichFIFOThreshold", 1);
  EXPECT_THROW(GetFeature(F::DEVICE_CORE_VOLTAGE), Cast);
  EXPECT_THROW(GetFeature(F::SANDWICH_FIFO_THRESHOLD), Cast);
  SetFeatureString("flipMems", "1");
  AddToFeatureList("fanoutPipeLength", "x");
  EXPECT_FALSE(GetFeatureBoolean("FLIPMEMS") || GetFeature(F::FLIP_MEMS));
  EXPECT_EQ(GetFeatureInteger("flipmems") + GetFeature(F::FANOUT_PIPE_LENGTH), 0);
  EXPECT_EQ(mLog, "E A_BOOLEAN_VALUE FLIPMEMS; E A_BOOLEAN_VALUE flipMems; E AN_INTEGER_VALUE "
                  "flipmems; E AN_INTEGER_VALUE fanoutPipeLength; ");
}

TEST_F(FeatureStore, PlainGettersEnterAnEmptyValue) {
  EXPECT_TRUE(GetFeatureBooleanWithDefault("new", true));
  EXPECT_EQ(GetFeatureIntegerWithDefault("new", 5) + GetFeatureDoubleWithDefault("new", .5), 5.5);
  EXPECT_EQ(GetFeatureStringWithDefault("new", "dflt"), "dflt");
  EXPECT_FALSE(FeatureIsDefined("new") || GetFeatureBoolean("new"));
  SetWeakFeatureBoolean("new", true);
  EXPECT_EQ(GetFeatureIntegerWithDefault("new", 5), 0); // the empty value is read
  EXPECT_THROW(GetFeatureStringWithDefault("new", "x"), Cast);
  EXPECT_THROW(GetFeatureDouble("other"), Cast); // enters an empty value under "other"
  EXPECT_THROW(AddToFeatureList("other", "x"), Cast);
  EXPECT_EQ(mLog, "E A_BOOLEAN_VALUE new; E AN_INTEGER_VALUE new; ");
}

TEST_F(FeatureStore, ListsGrowInOrderAndFallBackToTheDefault) {
  const auto& list = F::BLOCK_TYPES_WITH_INFRASTRUCTURE_OVERHEAD;
  AddToFeatureList(list.mName, "a");
  AddToFeatureList("blocktypeswithinfrastructureoverhead", "b");
  AddToFeatureList(list.mName, "a");
  EXPECT_EQ(GetFeature(list), (FeatureList{"a", "b", "a"}));
  SetFeatureBoolean(list.mName, true);
  EXPECT_THROW(AddToFeatureList(list.mName, "c"), Cast);
  // The default is read in place, and the failed add changed nothing.
  EXPECT_TRUE(&GetFeature(list) == &list.mDefault && GetFeatureBoolean(list.mName));
  EXPECT_EQ(mLog, "W LIST_VALUE BlockTypesWithInfrastructureOverhead; ");
}

TEST_F(FeatureStore, MapsKeepOnePairPerExactMapKey) {
  static const LoomFeature<FeatureMap> options("storeTestOptions", {{"d", "v"}});
  AddToFeatureMap("storeTestOptions", "mode", "1");
  AddToFeatureMap("STORETESTOPTIONS", "mode", "2");
  AddToFeatureMap("storeTestOptions", "MODE", "3");
  EXPECT_EQ(GetFeature(options), (FeatureMap{{"mode", "2"}, {"MODE", "3"}}));
  SetFeatureInteger("storeTestOptions", 1);
  EXPECT_THROW(AddToFeatureMap("storeTestOptions", "a", "b"), Cast);
  EXPECT_EQ(&GetFeature(options), &options.mDefault);
  EXPECT_EQ(mLog, "W STRUCT_VALUE storeTestOptions; ");
}

// The registered type and spelling of a key named in any case; text for an unknown key.
TEST_F(FeatureStore, TextAssignmentsTakeTheRegisteredTypeAndRefuseWhatDoesNotParse) {
  static const LoomFeature<FeatureMap> pairs("textTestPairs", {});
  for (const char* text :
       {"FLIPMEMS=On", " fanoutPipeLength = +3 ", "sandwichFIFOThreshold=2.5e-1",
        "deviceCoreVoltage= 0.9 V", "BlockTypesWithInfrastructureOverhead=a, b,,c",
        "texttestpairs=y=2, x = 1", "enableAbbreviationLog=1", "my.mode=fast"})
    EXPECT_TRUE(SetFeatureFromText(text)) << text;
  for (const char* text : {"fanoutPipeLength=3x", "fanoutPipeLength=2147483648", "flipMems=yes",
                           "sandwichFIFOThreshold=nan", "textTestPairs=x", "=5", "noAssignment"})
    EXPECT_FALSE(SetFeatureFromText(text)) << text;
  EXPECT_FALSE(SetWeakFeatureFromText("FanoutPipeLength=7")); // an entry is there already
  EXPECT_TRUE(SetWeakFeatureFromText("atbWavBus=off"));
  EXPECT_TRUE(GetFeature(F::FLIP_MEMS) && GetFeatureBoolean("ENABLEABBREVIATIONLOG"));
  EXPECT_FALSE(GetFeature(F::ATB_WAV_BUS));
  EXPECT_EQ(GetFeature(F::FANOUT_PIPE_LENGTH), 3);
  EXPECT_EQ(GetFeature(F::SANDWICH_FIFO_THRESHOLD), 0.25);
  EXPECT_EQ(GetFeature(F::DEVICE_CORE_VOLTAGE), " 0.9 V"); // text as it stands
  EXPECT_EQ(GetFeature(F::BLOCK_TYPES_WITH_INFRASTRUCTURE_OVERHEAD), (FeatureList{"a", "b", "c"}));
  EXPECT_EQ(GetFeature(pairs), (FeatureMap{{"x", "1"}, {"y", "2"}}));
  EXPECT_EQ(GetFeatureString("MY.MODE"), "fast");
  EXPECT_EQ(mLog, "E AN_INTEGER_VALUE fanoutPipeLength=3x; E AN_INTEGER_VALUE "
                  "fanoutPipeLength=2147483648; E A_BOOLEAN_VALUE flipMems=yes; E A_DOUBLE_VALUE "
                  "sandwichFIFOThreshold=nan; E STRUCT_VALUE textTestPairs=x; E "
                  "FEATURE_ASSIGNMENT_NOT_UNDERSTOOD =5; E FEATURE_ASSIGNMENT_NOT_UNDERSTOOD "
                  "noAssignment; ");
}

TEST_F(FeatureStore, ListingShowsEveryKnownKeyWithItsDefaultValueAndSetting) {
  static const LoomFeature<FeatureMap> pairs("listTestPairs", {{"y", "2"}, {"x", "1"}});
  SetWeakFeatureFromText("REPORTDEBUGMESSAGES=on");
  SetWeakFeatureDouble("SANDWICHFIFOTHRESHOLD", 5);
  EXPECT_TRUE(SetFeatureFromText("sandwichfifothreshold=0.1")); // strong replaces weak
  AddToFeatureList("zzHostList", "a"), AddToFeatureList("zzHostList", "b");
  const std::vector<FeatureInfo> rows = ListFeatures();
  std::map<std::string, std::string> shown; // key: "<type> <default> <value> <setting>"
  for (const FeatureInfo& r : rows)
    shown[r.key] = std::to_string(r.type) + " " + r.defaultValue + " " + r.value + " " +
                   "DWS"[static_cast<int>(r.setting)];
  EXPECT_EQ(shown.size(), rows.size()); // a stored key shows in its registered key's row
  EXPECT_EQ(shown["reportDebugMessages"], "1 false true W");
  EXPECT_EQ(shown["sandwichFIFOThreshold"], "3 -1 0.1 S");
  EXPECT_EQ(shown["enableAbbreviationLog"], "1 false false D");
  EXPECT_EQ(shown["ProfilingLogDirectory"], "4   D");
  EXPECT_EQ(shown["listTestPairs"], "6 x=1,y=2 x=1,y=2 D");
  EXPECT_EQ(shown["zzHostList"], "5  a,b S");
  for (std::size_t i = 1; i < rows.size(); ++i)
    EXPECT_LT(toUpper(rows[i - 1].key), toUpper(rows[i].key));
}

TEST_F(FeatureStore, NullTextIsAnInternalRestriction) {
  const auto report = HasSubstr("A text feature value must not be null");
  EXPECT_EXIT(SetFeature(F::DEVICE_CORE_VOLTAGE, nullptr), ExitedWithCode(100), report);
  EXPECT_EXIT(GetFeature(F::DEVICE_CORE_VOLTAGE, nullptr), ExitedWithCode(100), report);
}

TEST(FeatureStoreDefaultInterface, WrongBooleanEndsTheProcessWithTheRawReport) {
  SetFeatureString("flipMems", "1");
  EXPECT_EXIT(GetFeature(F::FLIP_MEMS), ExitedWithCode(1),
              StrEq("\nERROR:FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE{feature='flipMems';}\n"));
  ClearFeatures();
}
