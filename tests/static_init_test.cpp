// A host whose static constructors use the library before main (features, a forwarding handler,
// the channels, the built-in descriptors): its process-wide objects must be ready in any order.
#include "util/assert_handler.h"
#include "util/feature_store.h"
#include "util/messages.h"
#include "util/var_types.h"

#include <cstdio>

static struct Forwarder : MessageHandler {
  MessageHandler* next = MessageHandlerRegister::warnings.GetCurrentHandler();
  std::string seen;
  void HandleMessage(const char* text) override {
    seen += text;
    next->HandleMessage(text);
  }
} gForwarder;

static const std::string gSeen = [] {
  static const LoomFeature<int> hostFeature("hostStaticInitFeature", 5);
  util::SetFeatureInteger("HOSTSTATICINITFEATURE", 6);
  MessageHandlerRegister::warnings.RegisterHandler(&gForwarder);
  aster_warning_printf("from a static constructor\n");
  MessageHandlerRegister::info.ReceiveMessage("info before main\n");
  return std::to_string(LoomFeatureRegister::lookup("hostStaticInitFeature")) +
         std::to_string(util::GetFeature(hostFeature)) +
         std::to_string(util::GetFeature(Features::FANOUT_PIPE_LENGTH)) + " " +
         simulation::WideFixedType::legacy.getName() + "," +
         simulation::SysSingleType::builtIn.getName() + "," +
         simulation::SysDoubleType::builtIn.getName();
}();

int main() {
  const std::string seen = gSeen + " " + gForwarder.seen;
  const bool ok = seen == "261 SPTfixed,single,double from a static constructor\n";
  std::printf("static initialisation: %s%s", ok ? "ok\n" : "FAILED: ", ok ? "" : seen.c_str());
  return ok ? 0 : 1;
}
