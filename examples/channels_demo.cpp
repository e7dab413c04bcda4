// A host program's view of the diagnostics: its own handler on a channel, texts on all four
// channels, and a custom assertion handler that turns internal restrictions into exceptions.
#include "util/assert_handler.h"
#include "util/messages.h"

#include <cstdio>
#include <stdexcept>
#include <string>

namespace {

// Counts warnings and forwards them to the standard handler, which prints "Warning: ...".
struct CountingHandler : MessageHandler {
  MessageHandler* next = nullptr;
  int count = 0;
  void HandleMessage(const char* text) override {
    ++count;
    next->HandleMessage(text);
  }
};

struct InternalError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// An assertion handler may throw; the exception reaches the caller of the failing check.
void throwInternalError(void* /*context*/, const char* condition, const char* file,
                        unsigned int line, const char* /*function*/, const char* message) {
  throw InternalError(std::string(condition ? condition : "") + " (" + (message ? message : "") +
                      ") at " + file + ":" + std::to_string(line));
}

int checkedDivide(int a, int b) {
  LOOM_ASSERT_MSG(b != 0, "division by zero");
  return a / b;
}

} // namespace

int main() {
  CountingHandler counter;
  counter.next = MessageHandlerRegister::warnings.GetCurrentHandler();
  MessageHandlerRegister::warnings.RegisterHandler(&counter);

  MessageHandlerRegister::info.ReceiveMessage("compiling design 'fir32'\n");
  aster_warning_printf("tap 7 is never read\n");
  MessageHandlerRegister::errors.ReceiveMessage("(not fatal by itself) an error-channel text\n");
  MessageHandlerRegister::debug.ReceiveMessage("debug texts are off by default\n");
  loom_set_logging(true);
  aster_log_printf("logging on: this goes to the debug channel\n");

  set_assert_handler(util::makeFunction(nullptr, &throwInternalError));
  try {
    checkedDivide(1, 0);
  } catch (const InternalError& e) {
    std::printf("caught internal restriction: %s\n", e.what());
  }
  restore_default_assert_handler();

  MessageHandlerRegister::warnings.RegisterHandler(counter.next);
  std::printf("warnings counted by the host handler: %d\n", counter.count);
  return 0;
}
