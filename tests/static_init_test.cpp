// A host program whose own static constructor uses the library before main: installs a
// handler on a channel that forwards to the standard one, writes to the channels, reads the
// built-in descriptors. The library's process-wide objects must be ready whatever the link
// order; a handler not yet built would crash the forwarding call.
#include "util/assert_handler.h"
#include "util/feature_store.h"
#include "util/messages.h"
#include "util/var_types.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

struct Forwarder : MessageHandler {
  MessageHandler* next = nullptr;
  std::string seen;
  void HandleMessage(const char* text) override {
    seen += text;
    next->HandleMessage(text);
  }
};

Forwarder gForwarder;
std::string gDescriptorNames;
MessageHandler* gStandardInfo = nullptr;

int gLibraryDefault = 0;
bool gHostFeatureRead = false;
LoomFeatureType gHostFeatureType = LFT_UNDEFINED;

struct EarlyUser {
  EarlyUser() {
    // The host's own feature, the library's constants and the store, all before main.
    static const LoomFeature<int> hostFeature("hostStaticInitFeature", 5);
    gHostFeatureType = LoomFeatureRegister::lookup("hostStaticInitFeature");
    util::SetFeatureInteger("HOSTSTATICINITFEATURE", 6);
    gHostFeatureRead = util::GetFeature(hostFeature) == 6;
    gLibraryDefault = util::GetFeature(Features::FANOUT_PIPE_LENGTH);

    gForwarder.next = MessageHandlerRegister::warnings.GetCurrentHandler();
    MessageHandlerRegister::warnings.RegisterHandler(&gForwarder);
    aster_warning_printf("from a static constructor\n");
    MessageHandlerRegister::warnings.ReceiveMessage("directly on the channel\n");
    gStandardInfo = MessageHandlerRegister::info.GetCurrentHandler();
    MessageHandlerRegister::info.ReceiveMessage("info before main\n");
    gDescriptorNames = simulation::WideFixedType::legacy.getName() + "," +
                       simulation::SysSingleType::builtIn.getName() + "," +
                       simulation::SysDoubleType::builtIn.getName();
  }
} gEarlyUser;

} // namespace

int main() {
  int failures = 0;
  auto check = [&](bool ok, const char* what) {
    if (!ok) {
      std::fprintf(stdout, "FAILED: %s\n", what);
      ++failures;
    }
  };
  check(gForwarder.next != nullptr, "standard warning handler present before main");
  check(gForwarder.seen == "from a static constructor\ndirectly on the channel\n",
        "warnings seen by the host handler");
  check(gStandardInfo != nullptr && gStandardInfo != gForwarder.next,
        "info channel has its own handler");
  check(gDescriptorNames == "SPTfixed,single,double", "built-in descriptors constructed");
  check(gHostFeatureType == LFT_INT, "host feature registered before main");
  check(gHostFeatureRead, "store usable before main");
  check(gLibraryDefault == 1, "library constants constructed before host code");
  if (failures == 0)
    std::puts("static initialisation: ok");
  return failures == 0 ? 0 : 1;
}
