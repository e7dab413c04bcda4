#include "util/feature_store.h"
#include "util/messages.h"

#include <boost/any.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

// Every allocation of the process is counted (operator new, and GMP's and MPFR's once
// alloc_counter::install() has routed them).
#include "alloc_counter.h"

namespace {
std::atomic<long>& gAllocations = alloc_counter::count;
} // namespace

namespace {

using util::FeatureList;
using util::FeatureMap;

struct Recorded {
  std::string kind, id;
  util::MessageParameters parameters;
  bool operator==(const Recorded& o) const {
    return kind == o.kind && id == o.id && parameters == o.parameters;
  }
};

struct RecordingInterface : util::MessageInterface {
  std::vector<Recorded> messages;
  void error(const std::string& id, const util::MessageParameters& p) override {
    messages.push_back({"error", id, p});
  }
  void warning(const std::string& id, const util::MessageParameters& p) override {
    messages.push_back({"warning", id, p});
  }
  void info(const std::string& id, const util::MessageParameters& p) override {
    messages.push_back({"info", id, p});
  }
  void debug(const std::string& id, const util::MessageParameters& p) override {
    messages.push_back({"debug", id, p});
  }
};

class FeatureStore : public ::testing::Test {
protected:
  void SetUp() override {
    util::ClearFeatures();
    util::setMessageInterface(&mSink);
  }
  void TearDown() override {
    util::setMessageInterface(nullptr);
    util::ClearFeatures();
  }
  RecordingInterface mSink;
};

TEST_F(FeatureStore, ConstantsReadStoredValuesElseTheirDefaults) {
  EXPECT_EQ(util::GetFeature(Features::FANOUT_PIPE_LENGTH), 1);
  util::SetFeatureInteger("fanoutPipeLength", 3);
  EXPECT_EQ(util::GetFeature(Features::FANOUT_PIPE_LENGTH), 3);
  EXPECT_EQ(util::GetFeature(Features::FANOUT_PIPE_LENGTH, 9), 3);
  util::ClearFeatures();
  EXPECT_EQ(util::GetFeature(Features::FANOUT_PIPE_LENGTH), 1);
  EXPECT_EQ(util::GetFeature(Features::FANOUT_PIPE_LENGTH, 9), 9);

  util::SetFeature(Features::SANDWICH_FIFO_THRESHOLD, 0.25);
  EXPECT_EQ(util::GetFeature(Features::SANDWICH_FIFO_THRESHOLD), 0.25);
  EXPECT_EQ(util::GetFeature(Features::SANDWICH_FIFO_SPARSITY_DSP), -1.0);
  EXPECT_EQ(util::GetFeature(Features::SANDWICH_FIFO_SPARSITY_DSP, 2.5), 2.5);

  util::SetFeature(Features::ATB_WAV_BUS, false);
  EXPECT_FALSE(util::GetFeature(Features::ATB_WAV_BUS));
  EXPECT_FALSE(util::GetFeature(Features::ATB_WAV_BUS, true));
  EXPECT_TRUE(util::GetFeature(Features::ATB_LOG_BUS_OUT));
  EXPECT_FALSE(util::GetFeature(Features::ATB_LOG_BUS_OUT, false));

  EXPECT_EQ(util::GetFeature(Features::DEVICE_CORE_VOLTAGE), "");
  EXPECT_EQ(util::GetFeature(Features::DEVICE_CORE_VOLTAGE, "0.9V"), "0.9V");
  util::SetFeature(Features::DEVICE_CORE_VOLTAGE, "0.8V");
  EXPECT_EQ(util::GetFeature(Features::DEVICE_CORE_VOLTAGE), "0.8V");
  EXPECT_EQ(util::GetFeatureString("deviceCoreVoltage"), "0.8V");

  util::SetFeature(Features::SIMULATION_DEBUG_LEVEL, 4);
  EXPECT_EQ(util::GetFeatureInteger("simulationDebugLevel"), 4);

  // Reading by constant enters nothing into the store.
  EXPECT_FALSE(util::GetFeature(Features::FLIP_MEMS));
  EXPECT_FALSE(util::FeatureIsDefined("flipMems"));
  EXPECT_TRUE(mSink.messages.empty());
}

TEST_F(FeatureStore, KeysIgnoreLetterCase) {
  util::SetFeatureBoolean("REPORTDEBUGMESSAGES", true);
  EXPECT_TRUE(util::GetFeature(Features::REPORT_DEBUG_MESSAGES));
  EXPECT_TRUE(util::FeatureIsDefined("reportdebugmessages"));
  util::SetFeatureBoolean("reportDebugMessages", false); // replaces the same entry
  EXPECT_FALSE(util::GetFeatureBoolean("ReportDebugMessages"));
  EXPECT_FALSE(util::FeatureIsDefined("reportDebugMessage"));
  EXPECT_FALSE(util::FeatureIsDefined("reportDebugMessagesX"));
}

TEST_F(FeatureStore, WeakSetsNeverReplaceAnEntry) {
  util::SetWeakFeatureInteger("k", 1);
  util::SetWeakFeatureInteger("K", 2);
  EXPECT_EQ(util::GetFeatureInteger("k"), 1);
  util::SetFeatureInteger("k", 2);
  EXPECT_EQ(util::GetFeatureInteger("k"), 2);

  util::SetWeakFeatureString("s", "first");
  util::SetWeakFeatureBoolean("s", true);
  util::SetWeakFeatureDouble("s", 1.5);
  EXPECT_EQ(util::GetFeatureString("s"), "first");
  util::SetWeakFeatureDouble("d", 1.5);
  util::SetWeakFeatureBoolean("b", true);
  EXPECT_EQ(util::GetFeatureDouble("d"), 1.5);
  EXPECT_TRUE(util::GetFeatureBoolean("b"));

  // A strong set replaces a value of another kind.
  util::SetFeatureString("k", "text");
  EXPECT_EQ(util::GetFeatureString("k"), "text");
  util::SetFeatureDouble("k", 0.0);
  EXPECT_FALSE(util::GetFeatureBoolean("k"));
}

TEST_F(FeatureStore, BooleanAndIntegerReadsConvertNumbers) {
  util::SetFeatureDouble("d", 0.5);
  EXPECT_TRUE(util::GetFeatureBoolean("d"));
  EXPECT_EQ(util::GetFeatureInteger("d"), 0);
  util::SetFeatureDouble("d", -2.7);
  EXPECT_EQ(util::GetFeatureInteger("d"), -2);
  util::SetFeatureBoolean("b", true);
  EXPECT_EQ(util::GetFeatureInteger("b"), 1);
  util::SetFeatureInteger("i", -5);
  EXPECT_TRUE(util::GetFeatureBoolean("i"));
  util::SetFeatureInteger("i", 0);
  EXPECT_FALSE(util::GetFeatureBoolean("i"));

  // Beyond int, doubles saturate; NaN reads as 0.
  util::SetFeatureDouble("d", 1e10);
  EXPECT_EQ(util::GetFeatureInteger("d"), INT_MAX);
  util::SetFeatureDouble("d", -1e10);
  EXPECT_EQ(util::GetFeatureInteger("d"), INT_MIN);
  util::SetFeatureDouble("d", 2147483647.9);
  EXPECT_EQ(util::GetFeatureInteger("d"), INT_MAX);
  util::SetFeatureDouble("d", -2147483648.9);
  EXPECT_EQ(util::GetFeatureInteger("d"), INT_MIN);
  util::SetFeatureDouble("d", std::nan(""));
  EXPECT_EQ(util::GetFeatureInteger("d"), 0);
  EXPECT_TRUE(util::GetFeatureBoolean("d")); // NaN is not 0.0

  util::SetFeatureDouble("d", 2.0);
  EXPECT_EQ(util::GetFeature(Features::FANOUT_PIPE_LENGTH), 1);
  util::SetFeatureDouble("fanoutPipeLength", 2.9);
  EXPECT_EQ(util::GetFeature(Features::FANOUT_PIPE_LENGTH), 2);
  EXPECT_TRUE(mSink.messages.empty());
}

TEST_F(FeatureStore, DoubleAndStringReadsAcceptOnlyTheirKind) {
  util::SetFeatureInteger("i", 7);
  EXPECT_THROW(util::GetFeatureDouble("i"), boost::bad_any_cast);
  EXPECT_THROW(util::GetFeatureString("i"), boost::bad_any_cast);
  util::SetFeatureInteger("deviceCoreVoltage", 1);
  EXPECT_THROW(util::GetFeature(Features::DEVICE_CORE_VOLTAGE), boost::bad_any_cast);
  util::SetFeatureInteger("sandwichFIFOThreshold", 1);
  EXPECT_THROW(util::GetFeature(Features::SANDWICH_FIFO_THRESHOLD), boost::bad_any_cast);
  util::SetFeatureString("s", "1.5");
  EXPECT_THROW(util::GetFeatureDouble("s"), boost::bad_any_cast);
  EXPECT_EQ(util::GetFeatureInteger("i"), 7); // unchanged
}

TEST_F(FeatureStore, WrongKindsAreReportedToTheHostInterface) {
  util::SetFeatureString("flipMems", "1");
  EXPECT_FALSE(util::GetFeatureBoolean("FLIPMEMS"));
  EXPECT_FALSE(util::GetFeature(Features::FLIP_MEMS));
  EXPECT_EQ(util::GetFeatureInteger("flipmems"), 0);
  util::AddToFeatureList("fanoutPipeLength", "x");
  EXPECT_EQ(util::GetFeature(Features::FANOUT_PIPE_LENGTH), 0);

  const std::vector<Recorded> expected{
      {"error", "FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE", {{"feature", "FLIPMEMS"}}},
      {"error", "FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE", {{"feature", "flipMems"}}},
      {"error", "FEATURE_DOES_NOT_HAVE_AN_INTEGER_VALUE", {{"feature", "flipmems"}}},
      {"error", "FEATURE_DOES_NOT_HAVE_AN_INTEGER_VALUE", {{"feature", "fanoutPipeLength"}}},
  };
  EXPECT_EQ(mSink.messages, expected);
}

TEST_F(FeatureStore, PlainGettersEnterAnEmptyValue) {
  EXPECT_TRUE(util::GetFeatureBooleanWithDefault("fresh", true));
  EXPECT_EQ(util::GetFeatureIntegerWithDefault("fresh", 5), 5);
  EXPECT_EQ(util::GetFeatureDoubleWithDefault("fresh", 0.5), 0.5);
  EXPECT_EQ(util::GetFeatureStringWithDefault("fresh", "dflt"), "dflt");
  EXPECT_FALSE(util::FeatureIsDefined("fresh"));
  EXPECT_TRUE(mSink.messages.empty());

  EXPECT_FALSE(util::GetFeatureBoolean("fresh"));
  EXPECT_TRUE(util::FeatureIsDefined("fresh"));
  ASSERT_EQ(mSink.messages.size(), 1u);
  EXPECT_EQ(mSink.messages[0].id, "FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE");

  EXPECT_FALSE(util::GetFeatureBooleanWithDefault("fresh", true));
  EXPECT_EQ(mSink.messages.size(), 2u);
  util::SetWeakFeatureBoolean("fresh", true);
  EXPECT_FALSE(util::GetFeatureBooleanWithDefault("fresh", true));
  EXPECT_THROW(util::GetFeatureStringWithDefault("fresh", "x"), boost::bad_any_cast);

  EXPECT_THROW(util::GetFeatureDouble("other"), boost::bad_any_cast);
  EXPECT_TRUE(util::FeatureIsDefined("other"));
  EXPECT_THROW(util::AddToFeatureList("other", "x"), boost::bad_any_cast);
}

TEST_F(FeatureStore, ListsGrowInOrderAndFallBackToTheDefault) {
  const auto& feature = Features::BLOCK_TYPES_WITH_INFRASTRUCTURE_OVERHEAD;
  EXPECT_TRUE(util::GetFeature(feature).empty());
  EXPECT_EQ(&util::GetFeature(feature), &feature.mDefault);
  util::AddToFeatureList("BlockTypesWithInfrastructureOverhead", "a");
  util::AddToFeatureList("blocktypeswithinfrastructureoverhead", "b");
  util::AddToFeatureList("BlockTypesWithInfrastructureOverhead", "a");
  EXPECT_EQ(util::GetFeature(feature), (FeatureList{"a", "b", "a"}));

  util::SetFeatureBoolean(feature.mName, true);
  EXPECT_EQ(&util::GetFeature(feature), &feature.mDefault);
  EXPECT_THROW(util::AddToFeatureList(feature.mName, "c"), boost::bad_any_cast);
  EXPECT_TRUE(util::GetFeatureBoolean(feature.mName)); // the failed add changed nothing
  EXPECT_EQ(mSink.messages,
            (std::vector<Recorded>{
                {"warning", "FEATURE_DOES_NOT_HAVE_LIST_VALUE", {{"feature", feature.mName}}}}));
}

TEST_F(FeatureStore, MapsKeepOnePairPerExactMapKey) {
  static const LoomFeature<FeatureMap> kernelOptions("storeTestKernelOptions", {{"d", "v"}});
  EXPECT_EQ(util::GetFeature(kernelOptions), (FeatureMap{{"d", "v"}}));
  util::AddToFeatureMap("storeTestKernelOptions", "mode", "1");
  util::AddToFeatureMap("STORETESTKERNELOPTIONS", "mode", "2");
  util::AddToFeatureMap("storeTestKernelOptions", "MODE", "3");
  EXPECT_EQ(util::GetFeature(kernelOptions), (FeatureMap{{"mode", "2"}, {"MODE", "3"}}));

  util::SetFeatureInteger("storeTestKernelOptions", 1);
  EXPECT_EQ(util::GetFeature(kernelOptions), (FeatureMap{{"d", "v"}}));
  EXPECT_THROW(util::AddToFeatureMap("storeTestKernelOptions", "a", "b"), boost::bad_any_cast);
  ASSERT_EQ(mSink.messages.size(), 1u);
  EXPECT_EQ(mSink.messages[0].id, "FEATURE_DOES_NOT_HAVE_STRUCT_VALUE");
}

TEST_F(FeatureStore, ReadingByConstantAllocatesNothing) {
  util::SetFeatureInteger("someOtherKey", 1); // a non-empty store: comparisons happen
  long before = gAllocations.load();
  bool b = util::GetFeature(Features::REPORT_DEBUG_MESSAGES);
  int i = util::GetFeature(Features::FANOUT_PIPE_LENGTH);
  double d = util::GetFeature(Features::SANDWICH_FIFO_THRESHOLD);
  const FeatureList& l = util::GetFeature(Features::BLOCK_TYPES_WITH_INFRASTRUCTURE_OVERHEAD);
  EXPECT_EQ(gAllocations.load() - before, 0);
  EXPECT_FALSE(b);
  EXPECT_EQ(i, 1);
  EXPECT_EQ(d, -1.0);
  EXPECT_TRUE(l.empty());

  util::ClearFeatures();
  before = gAllocations.load();
  b = util::GetFeature(Features::REPORT_DEBUG_MESSAGES);
  EXPECT_EQ(gAllocations.load() - before, 0);
}

TEST_F(FeatureStore, NullTextIsAnInternalRestriction) {
  EXPECT_EXIT(util::SetFeature(Features::DEVICE_CORE_VOLTAGE, nullptr),
              ::testing::ExitedWithCode(100), ::testing::HasSubstr("must not be null"));
  EXPECT_EXIT(util::GetFeature(Features::DEVICE_CORE_VOLTAGE, nullptr),
              ::testing::ExitedWithCode(100), ::testing::HasSubstr("must not be null"));
}

TEST(FeatureStoreDefaultInterface, WrongBooleanEndsTheProcessWithTheRawReport) {
  util::ClearFeatures();
  EXPECT_EXIT(
      {
        util::SetFeatureString("flipMems", "1");
        util::GetFeature(Features::FLIP_MEMS);
      },
      ::testing::ExitedWithCode(1),
      ::testing::StrEq("\nERROR:FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE{feature='flipMems';}\n"));
  // Warnings are dropped by the default interface.
  util::SetFeatureInteger("BlockTypesWithInfrastructureOverhead", 1);
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(util::GetFeature(Features::BLOCK_TYPES_WITH_INFRASTRUCTURE_OVERHEAD).empty());
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  util::ClearFeatures();
}

TEST(FeatureStoreDebugChannel, DebugTextsAppearOnceTheFeatureIsSet) {
  util::ClearFeatures();
  ::testing::internal::CaptureStderr();
  MessageHandlerRegister::debug.ReceiveMessage("hidden\n");
  util::SetFeature(Features::REPORT_DEBUG_MESSAGES, true);
  MessageHandlerRegister::debug.ReceiveMessage("shown\n");
  util::SetFeatureInteger("reportDebugMessages", 0);
  MessageHandlerRegister::debug.ReceiveMessage("hidden again\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "shown\n");
  util::ClearFeatures();
}

} // namespace
