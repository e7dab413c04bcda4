// The host snippet of README.md, kept compiling and running by the build.
#include "util/feature_store.h"
#include "util/messages.h"
#include "util/path_utils.h"
#include "util/profiling.h"

#include <cstdio>

struct HostSink : util::MessageInterface {
  void error(const std::string& id, const util::MessageParameters&) override {
    std::printf("error %s\n", id.c_str());
  }
  void warning(const std::string& id, const util::MessageParameters&) override {
    std::printf("warning %s\n", id.c_str());
  }
  void info(const std::string&, const util::MessageParameters&) override {}
  void debug(const std::string&, const util::MessageParameters&) override {}
};

void onError(const std::string& id, const std::map<std::string, std::string>& params) {
  std::printf("cannot use %s: %s\n", params.at("path").c_str(), id.c_str());
}

int main() {
  static HostSink sink;
  util::setMessageInterface(&sink); // feature problems arrive here
  // Options from the command line, "key=value": typed by the registered key, in any case.
  for (const char* option : {"FANOUTPIPELENGTH=2", "flipMems=on", "fanoutPipeLength=two"})
    util::SetFeatureFromText(option);                     // the last is reported, changes nothing
  util::SetWeakFeatureFromText("fanoutPipeLength=9");     // a default: does not override
  for (const util::FeatureInfo& f : util::ListFeatures()) // what --help would print
    if (f.setting != util::FeatureSetting::Default)
      std::printf("%s = %s (default %s)\n", f.key.c_str(), f.value.c_str(), f.defaultValue.c_str());
  util::ScopedProfiling pass({"elaborate", "fir32"}); // timed when profiling is on
  util::io::CreateAndValidateOutputDirectory("readme_host_output", onError, onError, 0, false);
  return util::GetFeature(Features::FANOUT_PIPE_LENGTH) == 2 ? 0 : 1;
}
