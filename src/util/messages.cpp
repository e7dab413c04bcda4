// The four text channels and the parameterised message interface.
#include "util/messages.h"

#include "util/feature_store.h"
#include "util/internal/immortal.h"
#include "util/internal/platform.h"

#include <cerrno>
#include <iostream>
#include <new>

namespace {

using util::internal::Immortal;

Immortal<NullMessageHandler> gNullHandler;

LOOM_UTIL_EARLY_INIT Immortal<FileMessageHandler> gStandardDebug(stderr, "", &gNullHandler.value,
                                                                 true);
LOOM_UTIL_EARLY_INIT Immortal<FileMessageHandler>
    gStandardInfo(stderr, "Info: ", &gNullHandler.value, false);
LOOM_UTIL_EARLY_INIT Immortal<FileMessageHandler>
    gStandardWarning(stderr, "Warning: ", &gNullHandler.value, false);
LOOM_UTIL_EARLY_INIT Immortal<FileMessageHandler>
    gStandardError(stderr, "Error: ", &gNullHandler.value, false);

util::MessageInterface* gMessageInterface = &util::nullMessageInterface;

// Whether the debug-only handlers write.
bool debugMessagesEnabled() {
  return util::GetFeature(Features::REPORT_DEBUG_MESSAGES);
}

} // namespace

MessageHandlerRegister MessageHandlerRegister::debug(&gStandardDebug.value);
MessageHandlerRegister MessageHandlerRegister::info(&gStandardInfo.value);
MessageHandlerRegister MessageHandlerRegister::warnings(&gStandardWarning.value);
MessageHandlerRegister MessageHandlerRegister::errors(&gStandardError.value);

MessageHandler::~MessageHandler() = default;

void NullMessageHandler::HandleMessage(const char* /*text*/) {}

void MessageHandlerRegister::RegisterHandler(MessageHandler* handler) {
  mHandler = handler != nullptr ? handler : &gNullHandler.value;
}

void FileMessageHandler::HandleMessage(const char* text) {
  if (mDebugOnly && !debugMessagesEnabled())
    return;
  if (text == nullptr)
    text = "";
  if (mStream == stderr || mStream == stdout) {
    util::platform::debuggerOutput(text);
    util::platform::debuggerOutput("\n");
  }
  if (mStream != nullptr) {
    errno = 0;
    const bool written = std::fputs(mPrefix != nullptr ? mPrefix : "", mStream) >= 0 &&
                         std::fputs(text, mStream) >= 0 && std::fflush(mStream) == 0;
    if (!written) {
      const int error = errno != 0 ? errno : EIO;
      std::clearerr(mStream); // the next text tries again
      writeFailed(error);
    }
  }
  if (mNext != nullptr)
    mNext->HandleMessage(text);
}

namespace util {

NullMessageInterface nullMessageInterface;

void NullMessageInterface::error(const std::string& id, const MessageParameters& parameters) {
  try {
    std::cerr << "\nERROR:" << id << "{";
    for (const auto& parameter : parameters)
      std::cerr << parameter.first << "='" << parameter.second << "';";
    std::cerr << "}\n";
  } catch (...) {
    // The process ends either way.
  }
  std::exit(1);
}

void NullMessageInterface::warning(const std::string&, const MessageParameters&) {}
void NullMessageInterface::info(const std::string&, const MessageParameters&) {}
void NullMessageInterface::debug(const std::string&, const MessageParameters&) {}

// A null sink would crash the next report; it stands for "no host sink" instead.
void setMessageInterface(MessageInterface* messageInterface) {
  gMessageInterface = messageInterface != nullptr ? messageInterface : &nullMessageInterface;
}

MessageInterface* getMessageInterface() {
  return gMessageInterface;
}

} // namespace util
