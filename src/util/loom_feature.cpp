#include "util/loom_feature.h"

#include "util/loom_feature_internal.h"

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

// In declaration order; built before ordinary static constructors so that host code may
// read them from its own.
LOOM_UTIL_EARLY_INIT const LoomFeature<const char*>
    SCHEDULER_LONG_DELAY_POLICY("schedulerLongDelayPolicy", "");
LOOM_UTIL_EARLY_INIT const LoomFeature<const char*> DISABLED_OPTIMISATIONS("disabledOptimisations",
                                                                           "");
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> ENABLE_DELAY_COALESCING("CoalesceSVRegionDelays",
                                                                     true);
LOOM_UTIL_EARLY_INIT const LoomFeature<int>
    DELAY_COALESCING_MERGE_DELAY_THRESHOLD("DelayCoalesceMergeThreshold", 0);
LOOM_UTIL_EARLY_INIT const LoomFeature<int>
    DELAY_COALESCING_MAX_GROUP_SIZE("DelayCoalesceMaxGroupSize", 2147483647);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    DELAY_COALESCING_UNIQUE_SUCCESSORS_ONLY("DelayCoalesceUniqueRoutesOnly", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<const char*>
    DESERIALISE_LATEBOUND_INPUT_FILE("DeserialiseLateboundInputFile", "");
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    ENABLE_FAST_STALL_VALID_DUPLICATE_CONNECTION_REMOVAL("FastStallValidDuplicateConnectionRemoval",
                                                         true);
LOOM_UTIL_EARLY_INIT const LoomFeature<std::vector<std::string>>
    BLOCK_TYPES_WITH_INFRASTRUCTURE_OVERHEAD("BlockTypesWithInfrastructureOverhead", {});
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    USE_HALO10_FEATURES_FOR_ALL_FAMILIES("UseH10FeaturesForAllFamilies", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    ALL_INPUTS_ARE_SCHEDULE_ORIGIN("allInputsAreScheduleOrigin", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> WRITE_STM_TO_MEMORY_BUFFER("writeStmToMemoryBuffer",
                                                                        false);
LOOM_UTIL_EARLY_INIT const LoomFeature<int>
    ECC_MIN_INPUT_ROUTING_REGISTERS("ECCMinInputRoutingRegisters", 1);
LOOM_UTIL_EARLY_INIT const LoomFeature<int>
    ECC_MAX_INPUT_ROUTING_REGISTERS("ECCMaxInputRoutingRegisters", 3);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> ECC_REGISTER_ROOT_STAGES("ECCRegisterRootStages",
                                                                      true);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    USE_SUBTRACTIVE_SCALAR_PRODUCTS("UseSubtractiveScalarProducts", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> SANDWICH_FIFO_PASS("sandwichFIFOPass", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> SANDWICH_FIFO_THROUGH_REGS("sandwichFIFOThroughRegs",
                                                                       -1);
LOOM_UTIL_EARLY_INIT const LoomFeature<double> SANDWICH_FIFO_THRESHOLD("sandwichFIFOThreshold",
                                                                       -1.0);
LOOM_UTIL_EARLY_INIT const LoomFeature<double>
    SANDWICH_FIFO_SPARSITY_RAM("sandwichFIFO_sparsityRAM", -1.0);
LOOM_UTIL_EARLY_INIT const LoomFeature<double>
    SANDWICH_FIFO_SPARSITY_DSP("sandwichFIFO_sparsityDSP", -1.0);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> MAX_FILENAME_PREFIX_LENGTH("maxFilenamePrefixLength",
                                                                       80);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> MAX_FILENAME_SUFFIX_LENGTH("maxFilenameSuffixLength",
                                                                       20);
LOOM_UTIL_EARLY_INIT const LoomFeature<int>
    MAX_FILENAME_INDEX_CHARACTERS_LENGTH("maxFilenameIndexCharactersLength", 4);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> EARLY_CYCLE_ANALYSIS("earlyCycleAnalysis", true);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> DUMP_XML_ON_INVALID_NETLIST("dumpXmlOnInvalidNetlist",
                                                                         false);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> LOOM_DELAY_INLINE_THRESHOLD("loomDelayInlineThreshold",
                                                                        6);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> EARLY_CYCLE_ADDER_ANALYSIS("earlyCycleAdderAnalysis",
                                                                        true);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> SPLIT_MUX_TREE("splitMuxTree", true);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> MERGE_MUX_WITH_ADD("mergeMuxWithAdd", true);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> REPLACE_MUX_WITH_WIRE("replaceMuxWithWire", true);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> MERGE_FLOAT_ADD_SUB_WITH_MUX("mergeFloatAddSubWithMux",
                                                                          true);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> OPTIMIZE_LARGE_MULT_ADDS("OptimizeLargeMultAdds", 1);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> CONFIRM_PRECISION_MODE_FMAX("confirmPrecisionModeFMax",
                                                                         false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    DISABLE_CONNECTION_QUERY_HELPER("disableConnectionQueryHelper", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    VERIFY_ALL_BLACKBOX_CONNECTIONS("verifyAllBlackBoxConnections", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<const char*> DEVICE_CORE_VOLTAGE("deviceCoreVoltage", "");
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    DUMP_BIT_ACCURATE_SIMULATION_ENABLED("dumpBitAccurateSimulation", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> SIMULATION_DEBUG_LEVEL("simulationDebugLevel", -1);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    SOFTWARE_MODEL_FORCE_ENABLED("forceSoftwareModelGenerationEnabled", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> DISABLE_VALIDATE_MODEL_PASS("disableValidateModelPass",
                                                                         false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> DISABLE_LOOM_LIBRARY_COPY("disableLoomLibraryCopy",
                                                                       false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> FLIP_MEMS("flipMems", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> ENABLES_TURN_OFF_PHASING("enablesTurnOffPhasing",
                                                                      false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> REPORT_DEBUG_MESSAGES("reportDebugMessages", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> PROFILING_LOG_ENABLED("ProfilingLogEnabled", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    PROFILING_LOG_DETAILED_ENABLED("ProfilingLogDetailedEnabled", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> PROFILING_II_LOG_ENABLED("ProfilingIILogEnabled",
                                                                      false);
LOOM_UTIL_EARLY_INIT const LoomFeature<int>
    PROFILING_LOG_OUTPUT_FREQUENCY_SECONDS("ProfilingLogOutputFrequency", -1);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> PROFILING_LOG_TRACE_ENABLED("ProfilingLogTraceEnabled",
                                                                         false);
LOOM_UTIL_EARLY_INIT const LoomFeature<const char*> PROFILING_LOG_DIRECTORY("ProfilingLogDirectory",
                                                                            "");
LOOM_UTIL_EARLY_INIT const LoomFeature<int>
    DUALMEM_WIDTHSTITCH_THRESHOLD("DualMemWidthstitchThreshold", -1);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> TYPEINFERPASS_WARNING_LEVEL("TypeInferPassWarningLevel",
                                                                        0);
LOOM_UTIL_EARLY_INIT const LoomFeature<int>
    TYPEQUERY_MINIMAL_SETSIZE_LIMIT("TypeQueryMinimalSetSizeLimit", -1);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    PREBUILD_DEPENDED_UPON_MODELS("prebuildDependedUponModels", true);
LOOM_UTIL_EARLY_INIT const LoomFeature<const char*>
    INPUT_VALUE_DURING_RESET("inputValueDuringreset", "");
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> ASSERT_ENABLES_DEFINITE("assertEnablesDefinite",
                                                                     false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> ENABLE_FANOUT_BLOCKS("enableFanoutBlocks", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    ENABLE_FANOUT_BLOCKS_IN_PRIMITIVE_SUBSYSTEMS("enableFanoutBlocksInPrimitiveSubsystems", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> AGGRESSIVE_FANOUT_BLOCKS("aggressiveFanoutBlocks",
                                                                      false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> PRESERVE_FANOUT_REGISTERS("preserveFanoutRegisters",
                                                                       true);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> FANOUT_PIPE_ENABLE("fanoutPipeEnable", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> FANOUT_PIPE_LENGTH("fanoutPipeLength", 1);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> RESET_FANOUT_MITIGATION("resetFanoutMitigation",
                                                                     false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    RESET_FANOUT_MITIGATION_MANUAL("resetFanoutMitigationManual", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<int>
    RESET_FANOUT_MITIGATION_MANUAL_REGS("resetFanoutMitigationManualRegs", 1);
LOOM_UTIL_EARLY_INIT const LoomFeature<int>
    RESET_FANOUT_MITIGATION_MANUAL_DUPS("resetFanoutMitigationManualDups", 1);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> APPEND_FU_METADATA_TAGS("appendFuMetadataTags", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> MIN_LATENCY_SCALAR_PRODUCT("minLatencyScalarProduct",
                                                                        false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    USE_LATENCY_ADJUSTMENT_ONLY_WHEN_NECESSARY("useLatencyAdjustmentOnlyWhenNecessary", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> BRISK_FIFO_ZERO_INIT_Q("briskFifoZeroInitQ", true);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    DISABLE_SAFEPATH_GENERATION("disableSafepathGeneration", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    USE_DEFAULT_FIFO_MEMORY_NAME("useDefaultFifoMemoryName", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    ENABLE_VARIABLE_DSP_BLOCK_PIPELINING("enableVariableDspBlockPipelining", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    USE_NETLIST_VERIFICATION_PASS("useNetlistVerificationPass", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> CUSTOM_LUT_THRESHOLD("CustomLUTThreshold", 128);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> LUT4S_WEIGHT("LUT4sWeight", -1);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> MULT18S_WEIGHT("MULT18sWeight", -1);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> RAMBLOCKS_WEIGHT("RAMBLOCKsWeight", -1);
LOOM_UTIL_EARLY_INIT const LoomFeature<int> RAMBITS_WEIGHT("RAMBITsWeight", -1);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    RESOURCE_WEIGHTS_ARE_THRESHOLD("resourceWeightsAreThreshold", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    APPEND_DRIVEN_FU_METADATA_TO_SCHEDULER_DELAYS("appendDrivenFuMetadataToSchedulerDelays", false);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> ATB_LOG_BUS_OUT("atbLogBusOut", true);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> ATB_WAV_BUS("atbWavBus", true);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool> SHAREDMEM_BUS_READ_ACCESS("sharedmemBusReadAccess",
                                                                       true);
LOOM_UTIL_EARLY_INIT const LoomFeature<bool>
    BIT_ACCURACY_IS_CYCLE_ACCURACY("bitAccuracyIsCycleAccuracy", false);

} // namespace Features
