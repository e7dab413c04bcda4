#include "util/feature_store.h"
#include "util/loom_feature.h"

#include "run_command.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>
#include <sys/wait.h>

namespace {

using util::FeatureList;

// Checks one constant against its row: key, registered type, default.
class TableCheck {
public:
  template <typename T, typename D>
  void row(const LoomFeature<T>& feature, const char* constant, const char* key,
           LoomFeatureType type, const D& expectedDefault) {
    SCOPED_TRACE(constant);
    ++mRows;
    EXPECT_STREQ(feature.mName, key);
    EXPECT_EQ(LoomFeatureRegister::lookup(key), type);
    EXPECT_EQ(LoomFeatureTypeName<T>::mType, type);
    EXPECT_TRUE(mKeys.insert(key).second) << "duplicate key " << key;
    expectDefault(feature.mDefault, expectedDefault);
  }
  int rows() const { return mRows; }

private:
  static void expectDefault(const char* actual, const char* expected) {
    EXPECT_STREQ(actual, expected);
  }
  template <typename T, typename D> static void expectDefault(const T& actual, const D& expected) {
    EXPECT_EQ(actual, static_cast<T>(expected));
  }

  int mRows = 0;
  std::set<std::string> mKeys;
};

TEST(FeatureTable, EveryConstantHasItsKeyTypeAndDefault) {
  TableCheck check;
#define ROW(NAME, KEY, TYPE, DEFAULT) check.row(Features::NAME, #NAME, KEY, TYPE, DEFAULT)
  ROW(SCHEDULER_LONG_DELAY_POLICY, "schedulerLongDelayPolicy", LFT_STRING, "");
  ROW(DISABLED_OPTIMISATIONS, "disabledOptimisations", LFT_STRING, "");
  ROW(ENABLE_DELAY_COALESCING, "CoalesceSVRegionDelays", LFT_BOOL, true);
  ROW(DELAY_COALESCING_MERGE_DELAY_THRESHOLD, "DelayCoalesceMergeThreshold", LFT_INT, 0);
  ROW(DELAY_COALESCING_MAX_GROUP_SIZE, "DelayCoalesceMaxGroupSize", LFT_INT, 2147483647);
  ROW(DELAY_COALESCING_UNIQUE_SUCCESSORS_ONLY, "DelayCoalesceUniqueRoutesOnly", LFT_BOOL, false);
  ROW(DESERIALISE_LATEBOUND_INPUT_FILE, "DeserialiseLateboundInputFile", LFT_STRING, "");
  ROW(ENABLE_FAST_STALL_VALID_DUPLICATE_CONNECTION_REMOVAL,
      "FastStallValidDuplicateConnectionRemoval", LFT_BOOL, true);
  ROW(BLOCK_TYPES_WITH_INFRASTRUCTURE_OVERHEAD, "BlockTypesWithInfrastructureOverhead",
      LFT_STRING_LIST, FeatureList{});
  ROW(USE_HALO10_FEATURES_FOR_ALL_FAMILIES, "UseH10FeaturesForAllFamilies", LFT_BOOL, false);
  ROW(ALL_INPUTS_ARE_SCHEDULE_ORIGIN, "allInputsAreScheduleOrigin", LFT_BOOL, false);
  ROW(WRITE_STM_TO_MEMORY_BUFFER, "writeStmToMemoryBuffer", LFT_BOOL, false);
  ROW(ECC_MIN_INPUT_ROUTING_REGISTERS, "ECCMinInputRoutingRegisters", LFT_INT, 1);
  ROW(ECC_MAX_INPUT_ROUTING_REGISTERS, "ECCMaxInputRoutingRegisters", LFT_INT, 3);
  ROW(ECC_REGISTER_ROOT_STAGES, "ECCRegisterRootStages", LFT_BOOL, true);
  ROW(USE_SUBTRACTIVE_SCALAR_PRODUCTS, "UseSubtractiveScalarProducts", LFT_BOOL, false);
  ROW(SANDWICH_FIFO_PASS, "sandwichFIFOPass", LFT_BOOL, false);
  ROW(SANDWICH_FIFO_THROUGH_REGS, "sandwichFIFOThroughRegs", LFT_INT, -1);
  ROW(SANDWICH_FIFO_THRESHOLD, "sandwichFIFOThreshold", LFT_DOUBLE, -1.0);
  ROW(SANDWICH_FIFO_SPARSITY_RAM, "sandwichFIFO_sparsityRAM", LFT_DOUBLE, -1.0);
  ROW(SANDWICH_FIFO_SPARSITY_DSP, "sandwichFIFO_sparsityDSP", LFT_DOUBLE, -1.0);
  ROW(MAX_FILENAME_PREFIX_LENGTH, "maxFilenamePrefixLength", LFT_INT, 80);
  ROW(MAX_FILENAME_SUFFIX_LENGTH, "maxFilenameSuffixLength", LFT_INT, 20);
  ROW(MAX_FILENAME_INDEX_CHARACTERS_LENGTH, "maxFilenameIndexCharactersLength", LFT_INT, 4);
  ROW(EARLY_CYCLE_ANALYSIS, "earlyCycleAnalysis", LFT_BOOL, true);
  ROW(DUMP_XML_ON_INVALID_NETLIST, "dumpXmlOnInvalidNetlist", LFT_BOOL, false);
  ROW(LOOM_DELAY_INLINE_THRESHOLD, "loomDelayInlineThreshold", LFT_INT, 6);
  ROW(EARLY_CYCLE_ADDER_ANALYSIS, "earlyCycleAdderAnalysis", LFT_BOOL, true);
  ROW(SPLIT_MUX_TREE, "splitMuxTree", LFT_BOOL, true);
  ROW(MERGE_MUX_WITH_ADD, "mergeMuxWithAdd", LFT_BOOL, true);
  ROW(REPLACE_MUX_WITH_WIRE, "replaceMuxWithWire", LFT_BOOL, true);
  ROW(MERGE_FLOAT_ADD_SUB_WITH_MUX, "mergeFloatAddSubWithMux", LFT_BOOL, true);
  ROW(OPTIMIZE_LARGE_MULT_ADDS, "OptimizeLargeMultAdds", LFT_INT, 1);
  ROW(CONFIRM_PRECISION_MODE_FMAX, "confirmPrecisionModeFMax", LFT_BOOL, false);
  ROW(DISABLE_CONNECTION_QUERY_HELPER, "disableConnectionQueryHelper", LFT_BOOL, false);
  ROW(VERIFY_ALL_BLACKBOX_CONNECTIONS, "verifyAllBlackBoxConnections", LFT_BOOL, false);
  ROW(DEVICE_CORE_VOLTAGE, "deviceCoreVoltage", LFT_STRING, "");
  ROW(DUMP_BIT_ACCURATE_SIMULATION_ENABLED, "dumpBitAccurateSimulation", LFT_BOOL, false);
  ROW(SIMULATION_DEBUG_LEVEL, "simulationDebugLevel", LFT_INT, -1);
  ROW(SOFTWARE_MODEL_FORCE_ENABLED, "forceSoftwareModelGenerationEnabled", LFT_BOOL, false);
  ROW(DISABLE_VALIDATE_MODEL_PASS, "disableValidateModelPass", LFT_BOOL, false);
  ROW(DISABLE_LOOM_LIBRARY_COPY, "disableLoomLibraryCopy", LFT_BOOL, false);
  ROW(FLIP_MEMS, "flipMems", LFT_BOOL, false);
  ROW(ENABLES_TURN_OFF_PHASING, "enablesTurnOffPhasing", LFT_BOOL, false);
  ROW(REPORT_DEBUG_MESSAGES, "reportDebugMessages", LFT_BOOL, false);
  ROW(PROFILING_LOG_ENABLED, "ProfilingLogEnabled", LFT_BOOL, false);
  ROW(PROFILING_LOG_DETAILED_ENABLED, "ProfilingLogDetailedEnabled", LFT_BOOL, false);
  ROW(PROFILING_II_LOG_ENABLED, "ProfilingIILogEnabled", LFT_BOOL, false);
  ROW(PROFILING_LOG_OUTPUT_FREQUENCY_SECONDS, "ProfilingLogOutputFrequency", LFT_INT, -1);
  ROW(DUALMEM_WIDTHSTITCH_THRESHOLD, "DualMemWidthstitchThreshold", LFT_INT, -1);
  ROW(TYPEINFERPASS_WARNING_LEVEL, "TypeInferPassWarningLevel", LFT_INT, 0);
  ROW(TYPEQUERY_MINIMAL_SETSIZE_LIMIT, "TypeQueryMinimalSetSizeLimit", LFT_INT, -1);
  ROW(PREBUILD_DEPENDED_UPON_MODELS, "prebuildDependedUponModels", LFT_BOOL, true);
  ROW(INPUT_VALUE_DURING_RESET, "inputValueDuringreset", LFT_STRING, "");
  ROW(ASSERT_ENABLES_DEFINITE, "assertEnablesDefinite", LFT_BOOL, false);
  ROW(ENABLE_FANOUT_BLOCKS, "enableFanoutBlocks", LFT_BOOL, false);
  ROW(ENABLE_FANOUT_BLOCKS_IN_PRIMITIVE_SUBSYSTEMS, "enableFanoutBlocksInPrimitiveSubsystems",
      LFT_BOOL, false);
  ROW(AGGRESSIVE_FANOUT_BLOCKS, "aggressiveFanoutBlocks", LFT_BOOL, false);
  ROW(PRESERVE_FANOUT_REGISTERS, "preserveFanoutRegisters", LFT_BOOL, true);
  ROW(FANOUT_PIPE_ENABLE, "fanoutPipeEnable", LFT_BOOL, false);
  ROW(FANOUT_PIPE_LENGTH, "fanoutPipeLength", LFT_INT, 1);
  ROW(RESET_FANOUT_MITIGATION, "resetFanoutMitigation", LFT_BOOL, false);
  ROW(RESET_FANOUT_MITIGATION_MANUAL, "resetFanoutMitigationManual", LFT_BOOL, false);
  ROW(RESET_FANOUT_MITIGATION_MANUAL_REGS, "resetFanoutMitigationManualRegs", LFT_INT, 1);
  ROW(RESET_FANOUT_MITIGATION_MANUAL_DUPS, "resetFanoutMitigationManualDups", LFT_INT, 1);
  ROW(APPEND_FU_METADATA_TAGS, "appendFuMetadataTags", LFT_BOOL, false);
  ROW(MIN_LATENCY_SCALAR_PRODUCT, "minLatencyScalarProduct", LFT_BOOL, false);
  ROW(USE_LATENCY_ADJUSTMENT_ONLY_WHEN_NECESSARY, "useLatencyAdjustmentOnlyWhenNecessary", LFT_BOOL,
      false);
  ROW(BRISK_FIFO_ZERO_INIT_Q, "briskFifoZeroInitQ", LFT_BOOL, true);
  ROW(DISABLE_SAFEPATH_GENERATION, "disableSafepathGeneration", LFT_BOOL, false);
  ROW(USE_DEFAULT_FIFO_MEMORY_NAME, "useDefaultFifoMemoryName", LFT_BOOL, false);
  ROW(ENABLE_VARIABLE_DSP_BLOCK_PIPELINING, "enableVariableDspBlockPipelining", LFT_BOOL, false);
  ROW(USE_NETLIST_VERIFICATION_PASS, "useNetlistVerificationPass", LFT_BOOL, false);
  ROW(CUSTOM_LUT_THRESHOLD, "CustomLUTThreshold", LFT_INT, 128);
  ROW(LUT4S_WEIGHT, "LUT4sWeight", LFT_INT, -1);
  ROW(MULT18S_WEIGHT, "MULT18sWeight", LFT_INT, -1);
  ROW(RAMBLOCKS_WEIGHT, "RAMBLOCKsWeight", LFT_INT, -1);
  ROW(RAMBITS_WEIGHT, "RAMBITsWeight", LFT_INT, -1);
  ROW(RESOURCE_WEIGHTS_ARE_THRESHOLD, "resourceWeightsAreThreshold", LFT_BOOL, false);
  ROW(APPEND_DRIVEN_FU_METADATA_TO_SCHEDULER_DELAYS, "appendDrivenFuMetadataToSchedulerDelays",
      LFT_BOOL, false);
  ROW(ATB_LOG_BUS_OUT, "atbLogBusOut", LFT_BOOL, true);
  ROW(ATB_WAV_BUS, "atbWavBus", LFT_BOOL, true);
  ROW(SHAREDMEM_BUS_READ_ACCESS, "sharedmemBusReadAccess", LFT_BOOL, true);
  ROW(BIT_ACCURACY_IS_CYCLE_ACCURACY, "bitAccuracyIsCycleAccuracy", LFT_BOOL, false);
#undef ROW
  EXPECT_EQ(check.rows(), 84);
}

TEST(FeatureRegister, LookupIsExactAndKnowsOnlyRegisteredKeys) {
  EXPECT_EQ(LoomFeatureRegister::lookup("reportDebugMessages"), LFT_BOOL);
  EXPECT_EQ(LoomFeatureRegister::lookup("REPORTDEBUGMESSAGES"), LFT_UNDEFINED);
  EXPECT_EQ(LoomFeatureRegister::lookup("ReportDebugMessages"), LFT_UNDEFINED);
  // Read by name elsewhere, never registered.
  EXPECT_EQ(LoomFeatureRegister::lookup("enableAbbreviationLog"), LFT_UNDEFINED);
  EXPECT_EQ(LoomFeatureRegister::lookup("ProfilingLogFlushRegions"), LFT_UNDEFINED);
  EXPECT_EQ(LoomFeatureRegister::lookup(""), LFT_UNDEFINED);
  EXPECT_EQ(LoomFeatureRegister::lookup(nullptr), LFT_UNDEFINED);
}

// Reaches the protected add the way a subclass may.
struct RegisterAccess : LoomFeatureRegister {
  using LoomFeatureRegister::add;
};

TEST(FeatureRegister, AddAcceptsNewKeysAndRepeatsButRefusesAnotherType) {
  std::string key = "registerTestKey";
  EXPECT_TRUE(RegisterAccess::add(key.c_str(), LFT_DOUBLE));
  key = "overwritten"; // the register copied the text
  EXPECT_EQ(LoomFeatureRegister::lookup("registerTestKey"), LFT_DOUBLE);
  EXPECT_TRUE(RegisterAccess::add("registerTestKey", LFT_DOUBLE));
  EXPECT_FALSE(RegisterAccess::add("registerTestKey", LFT_INT));
  EXPECT_EQ(LoomFeatureRegister::lookup("registerTestKey"), LFT_DOUBLE);
  EXPECT_FALSE(RegisterAccess::add("reportDebugMessages", LFT_STRING));
  EXPECT_EQ(LoomFeatureRegister::lookup("reportDebugMessages"), LFT_BOOL);

  const LoomFeature<util::FeatureMap> mapFeature("registerTestMap", {{"a", "b"}});
  EXPECT_EQ(LoomFeatureRegister::lookup("registerTestMap"), LFT_STRING_MAP);
}

TEST(FeatureRegister, SecondConstantOfTheSameTypeIsAccepted) {
  const LoomFeature<bool> again("reportDebugMessages", true);
  EXPECT_TRUE(again.mDefault);
  EXPECT_EQ(LoomFeatureRegister::lookup("reportDebugMessages"), LFT_BOOL);
}

TEST(FeatureRegister, ConstantOfAnotherTypeIsAnInternalRestriction) {
  EXPECT_EXIT(LoomFeature<int>("reportDebugMessages", 0), ::testing::ExitedWithCode(100),
              ::testing::MatchesRegex(
                  "Error: Compiler Internal Restriction: 'LoomFeatureRegister::add\\(mName, "
                  "LoomFeatureTypeName<T>::mType\\)'\\. Feature already exists with a different "
                  "type! \\[LoomFeature<T>::LoomFeature at src/util/loom_feature.h:[0-9]+\\] "));
}

// Helper programs whose own globals declare a library key: the clash must stop the process
// while it is still initialising, before its main runs.
TEST(FeatureRegister, HostGlobalClashEndsStaticInitialisation) {
  const CommandRun clash = runCommand(FEATURE_CLASH_HELPER);
  EXPECT_EQ(clash.status, 100);
  EXPECT_THAT(clash.output, ::testing::StartsWith("Error: Compiler Internal Restriction: "));
  EXPECT_THAT(clash.output, ::testing::HasSubstr("Feature already exists with a different type!"));
  EXPECT_THAT(clash.output, ::testing::Not(::testing::HasSubstr("main reached")));

  const CommandRun same = runCommand(FEATURE_SAME_TYPE_HELPER);
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.output, "main reached\n");
}

} // namespace
