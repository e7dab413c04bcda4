// The log file in front of the message channels, and console redirection.
#include "util/log_file.h"

#include "util/assert_handler.h"
#include "util/internal/immortal.h"
#include "util/internal/platform.h"
#include "util/messages.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <cerrno>
#include <cstring>

namespace {

// Built once, after the standard handlers, and never destroyed.
using util::internal::Immortal;

struct LogChannel {
  MessageHandlerRegister& channel;
  FileMessageHandler& handler;
  MessageHandler* saved; // the channel's handler before the log file was opened
};
LogChannel* logChannels();

// The open log file's name, and whether a failure to write it was reported since it opened.
std::string gLogPath;
bool gLogFailureReported = false;

// Tells the handler the warning channel had before the log file (by default standard error)
// once per log file, so that the report does not go into the file that cannot be written.
void reportLogFailure(int error) {
  if (gLogFailureReported)
    return;
  gLogFailureReported = true;
  MessageHandler* const warnings = logChannels()[2].saved;
  if (warnings != nullptr)
    warnings->HandleMessage(
        fmt::format("Could not write the log file '{}': {}\n", gLogPath, std::strerror(error))
            .c_str());
}

class LogFileHandler : public FileMessageHandler {
public:
  using FileMessageHandler::FileMessageHandler;

protected:
  void writeFailed(int error) override { reportLogFailure(error); }
};

// Index order: debug, info, warnings, errors.
LogChannel* logChannels() {
  static Immortal<NullMessageHandler> nullHandler;
  static Immortal<LogFileHandler> debug(nullptr, "", &nullHandler.value, true);
  static Immortal<LogFileHandler> info(
      nullptr, "Info: ", MessageHandlerRegister::info.GetCurrentHandler(), false);
  static Immortal<LogFileHandler> warning(
      nullptr, "Warning: ", MessageHandlerRegister::warnings.GetCurrentHandler(), false);
  static Immortal<LogFileHandler> error(
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
  gLogPath = path;
  gLogFailureReported = false;
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
    if (std::fclose(file) != 0)
      reportLogFailure(errno);
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
  std::fflush(stdout);   // what was written before goes where it was meant to
  std::clearerr(stdout); // from here on an error is the file's
  if (!platform::redirectStdoutTo(mFile)) {
    std::fclose(mFile);
    mFile = nullptr;
    platform::closeDescriptor(mSavedStdout);
    mSavedStdout = -1;
    return;
  }
  mPath = path;
  mActive = true;
}

// Reports the first failed write of standard output into the file; true while there is none.
bool RedirectConsoleOutput::checkWrites() const {
  if (mFailed)
    return false;
  // A write that failed earlier left its reason in errno, unless a later call changed it.
  const int earlier = errno;
  errno = 0;
  if (std::fflush(stdout) == 0 && std::ferror(stdout) == 0)
    return true;
  mFailed = true;
  const int error = errno != 0 ? errno : earlier != 0 ? earlier : EIO;
  std::clearerr(stdout);
  MessageHandlerRegister::warnings.ReceiveMessage(
      fmt::format("Could not write standard output into '{}': {}\n", mPath, std::strerror(error))
          .c_str());
  return false;
}

bool RedirectConsoleOutput::isActive() const {
  return mActive && checkWrites();
}

RedirectConsoleOutput::~RedirectConsoleOutput() {
  if (!mActive)
    return;
  checkWrites();
  errno = 0;
  if (std::fclose(mFile) != 0 && !mFailed) {
    mFailed = true;
    MessageHandlerRegister::warnings.ReceiveMessage(
        fmt::format("Could not write standard output into '{}': {}\n", mPath,
                    std::strerror(errno != 0 ? errno : EIO))
            .c_str());
  }
  platform::restoreStdout(mSavedStdout);
  platform::closeDescriptor(mSavedStdout);
  std::fflush(nullptr);
}

} // namespace util
