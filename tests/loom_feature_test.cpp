#include "util/loom_feature.h"

#include "run_command.h"

#include <gmock/gmock.h>

using namespace ::testing;

// The defaults of the given constants, in order, each followed by a blank (true is 1).
template <typename... F> static std::string defaults(const F&... feature) {
  return ((std::to_string(+feature.mDefault) + " ") + ...);
}

TEST(FeatureTable, EveryBooleanAndIntegerConstantHasItsDefault) {
  using namespace Features;
  const std::string all = defaults(
      ENABLE_DELAY_COALESCING, DELAY_COALESCING_MERGE_DELAY_THRESHOLD,
      DELAY_COALESCING_MAX_GROUP_SIZE, DELAY_COALESCING_UNIQUE_SUCCESSORS_ONLY,
      ENABLE_FAST_STALL_VALID_DUPLICATE_CONNECTION_REMOVAL, USE_HALO10_FEATURES_FOR_ALL_FAMILIES,
      ALL_INPUTS_ARE_SCHEDULE_ORIGIN, WRITE_STM_TO_MEMORY_BUFFER, ECC_MIN_INPUT_ROUTING_REGISTERS,
      ECC_MAX_INPUT_ROUTING_REGISTERS, ECC_REGISTER_ROOT_STAGES, USE_SUBTRACTIVE_SCALAR_PRODUCTS,
      SANDWICH_FIFO_PASS, SANDWICH_FIFO_THROUGH_REGS, MAX_FILENAME_PREFIX_LENGTH,
      MAX_FILENAME_SUFFIX_LENGTH, MAX_FILENAME_INDEX_CHARACTERS_LENGTH, EARLY_CYCLE_ANALYSIS,
      DUMP_XML_ON_INVALID_NETLIST, LOOM_DELAY_INLINE_THRESHOLD, EARLY_CYCLE_ADDER_ANALYSIS,
      SPLIT_MUX_TREE, MERGE_MUX_WITH_ADD, REPLACE_MUX_WITH_WIRE, MERGE_FLOAT_ADD_SUB_WITH_MUX,
      OPTIMIZE_LARGE_MULT_ADDS, CONFIRM_PRECISION_MODE_FMAX, DISABLE_CONNECTION_QUERY_HELPER,
      VERIFY_ALL_BLACKBOX_CONNECTIONS, DUMP_BIT_ACCURATE_SIMULATION_ENABLED, SIMULATION_DEBUG_LEVEL,
      SOFTWARE_MODEL_FORCE_ENABLED, DISABLE_VALIDATE_MODEL_PASS, DISABLE_LOOM_LIBRARY_COPY,
      FLIP_MEMS, ENABLES_TURN_OFF_PHASING, REPORT_DEBUG_MESSAGES, PROFILING_LOG_ENABLED,
      PROFILING_LOG_DETAILED_ENABLED, PROFILING_II_LOG_ENABLED,
      PROFILING_LOG_OUTPUT_FREQUENCY_SECONDS, DUALMEM_WIDTHSTITCH_THRESHOLD,
      TYPEINFERPASS_WARNING_LEVEL, TYPEQUERY_MINIMAL_SETSIZE_LIMIT, PREBUILD_DEPENDED_UPON_MODELS,
      ASSERT_ENABLES_DEFINITE, ENABLE_FANOUT_BLOCKS, ENABLE_FANOUT_BLOCKS_IN_PRIMITIVE_SUBSYSTEMS,
      AGGRESSIVE_FANOUT_BLOCKS, PRESERVE_FANOUT_REGISTERS, FANOUT_PIPE_ENABLE, FANOUT_PIPE_LENGTH,
      RESET_FANOUT_MITIGATION, RESET_FANOUT_MITIGATION_MANUAL, RESET_FANOUT_MITIGATION_MANUAL_REGS,
      RESET_FANOUT_MITIGATION_MANUAL_DUPS, APPEND_FU_METADATA_TAGS, MIN_LATENCY_SCALAR_PRODUCT,
      USE_LATENCY_ADJUSTMENT_ONLY_WHEN_NECESSARY, BRISK_FIFO_ZERO_INIT_Q,
      DISABLE_SAFEPATH_GENERATION, USE_DEFAULT_FIFO_MEMORY_NAME,
      ENABLE_VARIABLE_DSP_BLOCK_PIPELINING, USE_NETLIST_VERIFICATION_PASS, CUSTOM_LUT_THRESHOLD,
      LUT4S_WEIGHT, MULT18S_WEIGHT, RAMBLOCKS_WEIGHT, RAMBITS_WEIGHT,
      RESOURCE_WEIGHTS_ARE_THRESHOLD, APPEND_DRIVEN_FU_METADATA_TO_SCHEDULER_DELAYS,
      ATB_LOG_BUS_OUT, ATB_WAV_BUS, SHAREDMEM_BUS_READ_ACCESS, BIT_ACCURACY_IS_CYCLE_ACCURACY);
  EXPECT_EQ(
      all, "1 0 2147483647 0 1 0 0 0 1 3 1 0 0 -1 80 20 4 1 0 6 1 1 1 1 1 1 0 0 0 0 -1 0 0 0 0 0 0 "
           "0 0 0 -1 -1 0 -1 1 0 0 0 0 1 0 1 0 0 1 1 0 0 0 1 0 0 0 0 128 -1 -1 -1 -1 0 0 1 1 1 0 ");
}

// Reaches the protected add the way a subclass may.
struct RegisterAccess : LoomFeatureRegister {
  using LoomFeatureRegister::add;
};

TEST(FeatureRegister, LookupIsExactAndAddRefusesOnlyAnotherType) {
  EXPECT_EQ(LoomFeatureRegister::lookup("reportDebugMessages"), LFT_BOOL);
  EXPECT_EQ(LoomFeatureRegister::lookup(nullptr), LFT_UNDEFINED);
  for (const char* unknown :
       {"REPORTDEBUGMESSAGES", "reportDebugMessage", "", "enableAbbreviationLog"})
    EXPECT_EQ(LoomFeatureRegister::lookup(unknown), LFT_UNDEFINED) << unknown;
  std::string key = "registerTestKey";
  EXPECT_TRUE(RegisterAccess::add(key.c_str(), LFT_DOUBLE));
  key = "overwritten"; // the register copied the text
  EXPECT_TRUE(RegisterAccess::add("registerTestKey", LFT_DOUBLE));
  EXPECT_FALSE(RegisterAccess::add("registerTestKey", LFT_INT));
  EXPECT_EQ(LoomFeatureRegister::lookup("registerTestKey"), LFT_DOUBLE);
  const LoomFeature<std::unordered_map<std::string, std::string>> map("registerTestMap", {});
  const LoomFeature<bool> again("reportDebugMessages", true); // the same type is accepted
  EXPECT_EQ(LoomFeatureRegister::lookup("registerTestMap"), LFT_STRING_MAP);
  EXPECT_EXIT(
      LoomFeature<int>("reportDebugMessages", 0), ExitedWithCode(100),
      MatchesRegex("Error: Compiler Internal Restriction: 'LoomFeatureRegister::add\\(mName, "
                   "LoomFeatureTypeName<T>::mType\\)'\\. Feature already exists with a "
                   "different type! \\[LoomFeature<T>::LoomFeature at "
                   "src/util/loom_feature.h:[0-9]+\\] "));
}

// Helper programs whose own globals declare a library key: the clash must stop the process
// while it is still initialising, before its main runs.
TEST(FeatureRegister, HostGlobalClashEndsStaticInitialisation) {
  const CommandRun clash = runCommand(FEATURE_CLASH_HELPER);
  EXPECT_EQ(clash.status, 100);
  EXPECT_THAT(clash.output, MatchesRegex("Error: Compiler Internal Restriction: .*Feature already "
                                         "exists with a different type! \\[[^\n]*\\] "));
  const CommandRun same = runCommand(FEATURE_SAME_TYPE_HELPER);
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.output, "main reached\n");
}
