#include "util/log_file.h"

#include "util/assert_handler.h"
#include "util/messages.h"
#include "util/platform/platform.h"

#include <fmt/printf.h>

namespace {

// Built once, after the standard handlers, and never destroyed (see messages.cpp).
template <typename T> union Immortal {
  template <typename... A> explicit Immortal(A... args) : value(args...) {}
  ~Immortal() {}
  T value;
};

struct LogChannel {
  MessageHandlerRegister& channel;
  FileMessageHandler& handler;
  MessageHandler* saved; // the channel's handler before the log file was opened
};

// Index order: debug, info, warnings, errors.
LogChannel* logChannels() {
  static Immortal<NullMessageHandler> nullHandler;
  static Immortal<FileMessageHandler> debug(nullptr, "", &nullHandler.value, true);
  static Immortal<FileMessageHandler> info(
      nullptr, "Info: ", MessageHandlerRegister::info.GetCurrentHandler(), false);
  static Immortal<FileMessageHandler> warning(
      nullptr, "Warning: ", MessageHandlerRegister::warnings.GetCurrentHandler(), false);
  static Immortal<FileMessageHandler> error(
      nullptr, "Error: ", MessageHandlerRegister::errors.GetCurrentHandler(), false);
  static LogChannel channels[4] = {
      {MessageHandlerRegister::debug, debug.value, nullptr},
      {MessageHandlerRegister::info, info.value, nullptr},
      {MessageHandlerRegister::warnings, warning.value, nullptr},
      {MessageHandlerRegister::errors, error.value, nullptr},
  };
  return channels;
}

// Built at load, like the other handlers, so that the standard handlers they point at are
// those of the library's start.
struct LogHandlersAtLoad {
  LogHandlersAtLoad() { logChannels(); }
};
LOOM_UTIL_EARLY_INIT LogHandlersAtLoad gLogHandlersAtLoad;

} // namespace

void loom_open_log_file(std::string path) {
  if (path.empty())
    return;
  // Installing the log handlers twice would chain them to themselves.
  if (logChannels()[3].handler.getStream() != nullptr)
    loom_close_log_file();
  FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr)
    aster_error_printf(fmt::sprintf("Cannot open '%s' for writing.\n", path));
  LogChannel* channels = logChannels();
  for (int i = 0; i < 4; ++i) {
    LogChannel& c = channels[i];
    c.handler.setStream(file);
    c.saved = c.channel.GetCurrentHandler();
    c.handler.setNext(c.saved);
    c.channel.RegisterHandler(&c.handler);
  }
}

void loom_close_log_file() {
  LogChannel* channels = logChannels();
  FILE* file = channels[3].handler.getStream();
  if (file != nullptr && file != stderr && file != stdout) {
    std::fclose(file);
    for (int i = 0; i < 4; ++i)
      channels[i].handler.setStream(nullptr);
  }
  if (channels[2].saved != nullptr)
    for (int i = 0; i < 4; ++i)
      channels[i].channel.RegisterHandler(channels[i].saved);
}

namespace util {

RedirectConsoleOutput::RedirectConsoleOutput(const char* path) {
  mSavedStdout = platform::duplicateStdout();
  if (mSavedStdout < 0)
    return;
  mFile = path != nullptr ? std::fopen(path, "w") : nullptr;
  if (mFile == nullptr) {
    platform::closeDescriptor(mSavedStdout);
    mSavedStdout = -1;
    return;
  }
  std::fflush(stdout); // what was written before goes where it was meant to
  if (!platform::redirectStdoutTo(mFile)) {
    std::fclose(mFile);
    mFile = nullptr;
    platform::closeDescriptor(mSavedStdout);
    mSavedStdout = -1;
    return;
  }
  mActive = true;
}

RedirectConsoleOutput::~RedirectConsoleOutput() {
  if (!mActive)
    return;
  std::fflush(stdout);
  std::fclose(mFile);
  platform::restoreStdout(mSavedStdout);
  platform::closeDescriptor(mSavedStdout);
  std::fflush(nullptr);
}

} // namespace util
