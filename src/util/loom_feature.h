#ifndef LOOM_UTIL_LOOM_FEATURE_H
#define LOOM_UTIL_LOOM_FEATURE_H

#include "util/assert_handler.h"
#include "util/export.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// Features are named, typed tuning options of the compiler back end. Code reads one through
// a typed constant, Features::<NAME>, which carries the key and the built-in default; values
// set at run time live in the feature store (util/feature_store.h).
//
// Every LoomFeature<T> registers its key and value type when it is constructed. A key
// declared anywhere in the process with two different value types is an internal
// restriction, reported during static initialisation. Host programs declare their own
// constants the same way:
//
//   const LoomFeature<int> MY_UNROLL_LIMIT("myUnrollLimit", 8);

enum LoomFeatureType : std::int32_t {
  LFT_UNDEFINED = 0, // only returned by LoomFeatureRegister::lookup
  LFT_BOOL = 1,
  LFT_INT = 2,
  LFT_DOUBLE = 3,
  LFT_STRING = 4,      // LoomFeature<const char*>
  LFT_STRING_LIST = 5, // LoomFeature<std::vector<std::string>>
  LFT_STRING_MAP = 6,  // LoomFeature<std::unordered_map<std::string, std::string>>
};

template <typename T> struct LoomFeatureTypeName;
template <> struct LoomFeatureTypeName<bool> { static constexpr LoomFeatureType mType = LFT_BOOL; };
template <> struct LoomFeatureTypeName<int> { static constexpr LoomFeatureType mType = LFT_INT; };
template <> struct LoomFeatureTypeName<double> {
  static constexpr LoomFeatureType mType = LFT_DOUBLE;
};
template <> struct LoomFeatureTypeName<const char*> {
  static constexpr LoomFeatureType mType = LFT_STRING;
};
template <> struct LoomFeatureTypeName<std::vector<std::string>> {
  static constexpr LoomFeatureType mType = LFT_STRING_LIST;
};
template <> struct LoomFeatureTypeName<std::unordered_map<std::string, std::string>> {
  static constexpr LoomFeatureType mType = LFT_STRING_MAP;
};

template <typename T> struct LoomFeature;

// The process-wide record of which key has which value type. Keys match exactly (case
// matters here, unlike in the store). The table comes into being with its first use, so
// constants may be declared in any static initialiser of the process.
class LOOM_UTIL_API LoomFeatureRegister {
public:
  // LFT_UNDEFINED when the key was never registered.
  static LoomFeatureType lookup(const char* name);

  // A value as util::ListFeatures shows it: true/false, decimal numbers (doubles as short as
  // they read back exactly), text as it is, list items joined by ",", map pairs "k=v" sorted
  // by key and joined by ",".
  static std::string toText(bool value);
  static std::string toText(int value);
  static std::string toText(double value);
  static std::string toText(const char* value);
  static std::string toText(const std::vector<std::string>& value);
  static std::string toText(const std::unordered_map<std::string, std::string>& value);

protected:
  // False only when the key is registered already with another type; the key is copied.
  static bool add(const char* name, LoomFeatureType type);
  // The default listed for a registered key: the first one noted is kept.
  static void noteDefault(const char* name, const std::string& defaultText);

  template <typename T> friend struct LoomFeature;
};

template <typename T> struct LoomFeature {
  LoomFeature(const char* name, const T& defaultValue) : mName(name), mDefault(defaultValue) {
    LOOM_ASSERT_MSG(LoomFeatureRegister::add(mName, LoomFeatureTypeName<T>::mType),
                    "Feature already exists with a different type!");
    LoomFeatureRegister::noteDefault(mName, LoomFeatureRegister::toText(defaultValue));
  }

  const char* mName; // a string literal
  T mDefault;
};

namespace Features {

LOOM_UTIL_API extern const LoomFeature<const char*> SCHEDULER_LONG_DELAY_POLICY;
LOOM_UTIL_API extern const LoomFeature<const char*> DISABLED_OPTIMISATIONS;
LOOM_UTIL_API extern const LoomFeature<bool> ENABLE_DELAY_COALESCING;
LOOM_UTIL_API extern const LoomFeature<int> DELAY_COALESCING_MERGE_DELAY_THRESHOLD;
LOOM_UTIL_API extern const LoomFeature<int> DELAY_COALESCING_MAX_GROUP_SIZE;
LOOM_UTIL_API extern const LoomFeature<bool> DELAY_COALESCING_UNIQUE_SUCCESSORS_ONLY;
LOOM_UTIL_API extern const LoomFeature<const char*> DESERIALISE_LATEBOUND_INPUT_FILE;
LOOM_UTIL_API extern const LoomFeature<bool> ENABLE_FAST_STALL_VALID_DUPLICATE_CONNECTION_REMOVAL;
LOOM_UTIL_API extern const LoomFeature<std::vector<std::string>>
    BLOCK_TYPES_WITH_INFRASTRUCTURE_OVERHEAD;
LOOM_UTIL_API extern const LoomFeature<bool> USE_HALO10_FEATURES_FOR_ALL_FAMILIES;
LOOM_UTIL_API extern const LoomFeature<bool> ALL_INPUTS_ARE_SCHEDULE_ORIGIN;
LOOM_UTIL_API extern const LoomFeature<bool> WRITE_STM_TO_MEMORY_BUFFER;
LOOM_UTIL_API extern const LoomFeature<int> ECC_MIN_INPUT_ROUTING_REGISTERS;
LOOM_UTIL_API extern const LoomFeature<int> ECC_MAX_INPUT_ROUTING_REGISTERS;
LOOM_UTIL_API extern const LoomFeature<bool> ECC_REGISTER_ROOT_STAGES;
LOOM_UTIL_API extern const LoomFeature<bool> USE_SUBTRACTIVE_SCALAR_PRODUCTS;
LOOM_UTIL_API extern const LoomFeature<bool> SANDWICH_FIFO_PASS;
LOOM_UTIL_API extern const LoomFeature<int> SANDWICH_FIFO_THROUGH_REGS;
LOOM_UTIL_API extern const LoomFeature<double> SANDWICH_FIFO_THRESHOLD;
LOOM_UTIL_API extern const LoomFeature<double> SANDWICH_FIFO_SPARSITY_RAM;
LOOM_UTIL_API extern const LoomFeature<double> SANDWICH_FIFO_SPARSITY_DSP;
LOOM_UTIL_API extern const LoomFeature<int> MAX_FILENAME_PREFIX_LENGTH;
LOOM_UTIL_API extern const LoomFeature<int> MAX_FILENAME_SUFFIX_LENGTH;
LOOM_UTIL_API extern const LoomFeature<int> MAX_FILENAME_INDEX_CHARACTERS_LENGTH;
LOOM_UTIL_API extern const LoomFeature<bool> EARLY_CYCLE_ANALYSIS;
LOOM_UTIL_API extern const LoomFeature<bool> DUMP_XML_ON_INVALID_NETLIST;
LOOM_UTIL_API extern const LoomFeature<int> LOOM_DELAY_INLINE_THRESHOLD;
LOOM_UTIL_API extern const LoomFeature<bool> EARLY_CYCLE_ADDER_ANALYSIS;
LOOM_UTIL_API extern const LoomFeature<bool> SPLIT_MUX_TREE;
LOOM_UTIL_API extern const LoomFeature<bool> MERGE_MUX_WITH_ADD;
LOOM_UTIL_API extern const LoomFeature<bool> REPLACE_MUX_WITH_WIRE;
LOOM_UTIL_API extern const LoomFeature<bool> MERGE_FLOAT_ADD_SUB_WITH_MUX;
LOOM_UTIL_API extern const LoomFeature<int> OPTIMIZE_LARGE_MULT_ADDS;
LOOM_UTIL_API extern const LoomFeature<bool> CONFIRM_PRECISION_MODE_FMAX;
LOOM_UTIL_API extern const LoomFeature<bool> DISABLE_CONNECTION_QUERY_HELPER;
LOOM_UTIL_API extern const LoomFeature<bool> VERIFY_ALL_BLACKBOX_CONNECTIONS;
LOOM_UTIL_API extern const LoomFeature<const char*> DEVICE_CORE_VOLTAGE;
LOOM_UTIL_API extern const LoomFeature<bool> DUMP_BIT_ACCURATE_SIMULATION_ENABLED;
LOOM_UTIL_API extern const LoomFeature<int> SIMULATION_DEBUG_LEVEL;
LOOM_UTIL_API extern const LoomFeature<bool> SOFTWARE_MODEL_FORCE_ENABLED;
LOOM_UTIL_API extern const LoomFeature<bool> DISABLE_VALIDATE_MODEL_PASS;
LOOM_UTIL_API extern const LoomFeature<bool> DISABLE_LOOM_LIBRARY_COPY;
LOOM_UTIL_API extern const LoomFeature<bool> FLIP_MEMS;
LOOM_UTIL_API extern const LoomFeature<bool> ENABLES_TURN_OFF_PHASING;
LOOM_UTIL_API extern const LoomFeature<bool> REPORT_DEBUG_MESSAGES;
LOOM_UTIL_API extern const LoomFeature<bool> PROFILING_LOG_ENABLED;
LOOM_UTIL_API extern const LoomFeature<bool> PROFILING_LOG_DETAILED_ENABLED;
LOOM_UTIL_API extern const LoomFeature<bool> PROFILING_II_LOG_ENABLED;
LOOM_UTIL_API extern const LoomFeature<int> PROFILING_LOG_OUTPUT_FREQUENCY_SECONDS;
// The trace of the profiling log (a Chrome trace-event file per full write).
LOOM_UTIL_API extern const LoomFeature<bool> PROFILING_LOG_TRACE_ENABLED;
// Where the profiling reports and traces go; empty for the working directory. Created when
// missing.
LOOM_UTIL_API extern const LoomFeature<const char*> PROFILING_LOG_DIRECTORY;
LOOM_UTIL_API extern const LoomFeature<int> DUALMEM_WIDTHSTITCH_THRESHOLD;
LOOM_UTIL_API extern const LoomFeature<int> TYPEINFERPASS_WARNING_LEVEL;
LOOM_UTIL_API extern const LoomFeature<int> TYPEQUERY_MINIMAL_SETSIZE_LIMIT;
LOOM_UTIL_API extern const LoomFeature<bool> PREBUILD_DEPENDED_UPON_MODELS;
LOOM_UTIL_API extern const LoomFeature<const char*> INPUT_VALUE_DURING_RESET;
LOOM_UTIL_API extern const LoomFeature<bool> ASSERT_ENABLES_DEFINITE;
LOOM_UTIL_API extern const LoomFeature<bool> ENABLE_FANOUT_BLOCKS;
LOOM_UTIL_API extern const LoomFeature<bool> ENABLE_FANOUT_BLOCKS_IN_PRIMITIVE_SUBSYSTEMS;
LOOM_UTIL_API extern const LoomFeature<bool> AGGRESSIVE_FANOUT_BLOCKS;
LOOM_UTIL_API extern const LoomFeature<bool> PRESERVE_FANOUT_REGISTERS;
LOOM_UTIL_API extern const LoomFeature<bool> FANOUT_PIPE_ENABLE;
LOOM_UTIL_API extern const LoomFeature<int> FANOUT_PIPE_LENGTH;
LOOM_UTIL_API extern const LoomFeature<bool> RESET_FANOUT_MITIGATION;
LOOM_UTIL_API extern const LoomFeature<bool> RESET_FANOUT_MITIGATION_MANUAL;
LOOM_UTIL_API extern const LoomFeature<int> RESET_FANOUT_MITIGATION_MANUAL_REGS;
LOOM_UTIL_API extern const LoomFeature<int> RESET_FANOUT_MITIGATION_MANUAL_DUPS;
LOOM_UTIL_API extern const LoomFeature<bool> APPEND_FU_METADATA_TAGS;
LOOM_UTIL_API extern const LoomFeature<bool> MIN_LATENCY_SCALAR_PRODUCT;
LOOM_UTIL_API extern const LoomFeature<bool> USE_LATENCY_ADJUSTMENT_ONLY_WHEN_NECESSARY;
LOOM_UTIL_API extern const LoomFeature<bool> BRISK_FIFO_ZERO_INIT_Q;
LOOM_UTIL_API extern const LoomFeature<bool> DISABLE_SAFEPATH_GENERATION;
LOOM_UTIL_API extern const LoomFeature<bool> USE_DEFAULT_FIFO_MEMORY_NAME;
LOOM_UTIL_API extern const LoomFeature<bool> ENABLE_VARIABLE_DSP_BLOCK_PIPELINING;
LOOM_UTIL_API extern const LoomFeature<bool> USE_NETLIST_VERIFICATION_PASS;
LOOM_UTIL_API extern const LoomFeature<int> CUSTOM_LUT_THRESHOLD;
LOOM_UTIL_API extern const LoomFeature<int> LUT4S_WEIGHT;
LOOM_UTIL_API extern const LoomFeature<int> MULT18S_WEIGHT;
LOOM_UTIL_API extern const LoomFeature<int> RAMBLOCKS_WEIGHT;
LOOM_UTIL_API extern const LoomFeature<int> RAMBITS_WEIGHT;
LOOM_UTIL_API extern const LoomFeature<bool> RESOURCE_WEIGHTS_ARE_THRESHOLD;
LOOM_UTIL_API extern const LoomFeature<bool> APPEND_DRIVEN_FU_METADATA_TO_SCHEDULER_DELAYS;
LOOM_UTIL_API extern const LoomFeature<bool> ATB_LOG_BUS_OUT;
LOOM_UTIL_API extern const LoomFeature<bool> ATB_WAV_BUS;
LOOM_UTIL_API extern const LoomFeature<bool> SHAREDMEM_BUS_READ_ACCESS;
LOOM_UTIL_API extern const LoomFeature<bool> BIT_ACCURACY_IS_CYCLE_ACCURACY;

} // namespace Features

#endif
