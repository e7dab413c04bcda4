// The text channels and the parameterised message interface of the host.
#ifndef LOOM_UTIL_MESSAGES_H
#define LOOM_UTIL_MESSAGES_H

#include "util/export.h"

#include <cstdio>
#include <map>
#include <string>

// Two message paths.
//
// Text channels: MessageHandlerRegister::debug, info, warnings and errors each point at one
// MessageHandler. The standard handlers write a prefix ("", "Info: ", "Warning: ", "Error: ")
// and the text to standard error, add no line break, and pass the text down their chain. A
// host replaces a channel's handler with RegisterHandler and may forward to the previous one:
//
//   struct Collect : MessageHandler {
//     MessageHandler* next = MessageHandlerRegister::warnings.GetCurrentHandler();
//     void HandleMessage(const char* text) override { ...; next->HandleMessage(text); }
//   };
//   static Collect collect;
//   MessageHandlerRegister::warnings.RegisterHandler(&collect);
//
// Structured messages: util::MessageInterface receives ids such as
// "FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE" with a parameter map. Until the host installs its own
// sink, util::nullMessageInterface applies: errors are printed raw and end the process with
// status 1, everything else is dropped.

class LOOM_UTIL_API MessageHandler {
public:
  constexpr MessageHandler() noexcept = default;
  constexpr MessageHandler(const MessageHandler&) noexcept = default;
  MessageHandler& operator=(const MessageHandler&) noexcept = default;
  virtual ~MessageHandler();

  virtual void HandleMessage(const char* text) = 0;
};

// Swallows every text; ends every chain.
class LOOM_UTIL_API NullMessageHandler : public MessageHandler {
public:
  constexpr NullMessageHandler() noexcept = default;
  void HandleMessage(const char* text) override;
};

// Writes mPrefix and the text to mStream (no line break added) and flushes it, so a text sent
// is in the file even if the process dies next; then passes the text on to mNext. A failed
// write or flush is given to writeFailed, which does nothing here: a channel never fails. A
// debug-only handler writes and forwards nothing while debug messages are off. Without a stream it
// only forwards; without a next handler the chain ends; a null text is taken as empty.
class LOOM_UTIL_API FileMessageHandler : public MessageHandler {
public:
  FileMessageHandler(FILE* stream, const char* prefix, MessageHandler* next,
                     bool debugOnly) noexcept
      : mStream(stream), mPrefix(prefix), mNext(next), mDebugOnly(debugOnly) {}

  void HandleMessage(const char* text) override;

  FILE* getStream() const { return mStream; }
  void setStream(FILE* stream) { mStream = stream; }
  const char* getPrefix() const { return mPrefix; }
  MessageHandler* getNext() const { return mNext; }
  void setNext(MessageHandler* next) { mNext = next; }
  bool isDebugOnly() const { return mDebugOnly; }

protected:
  // Called with the system's error number when writing or flushing a text failed.
  virtual void writeFailed(int /*error*/) {}

private:
  FILE* mStream;         // null only while installed on no channel
  const char* mPrefix;   // a string literal
  MessageHandler* mNext; // never null while installed; not owned
  bool mDebugOnly;
};

// One text channel. The four channels are constant-initialised, so they can be used from any
// static constructor of the host.
class LOOM_UTIL_API MessageHandlerRegister {
public:
  constexpr explicit MessageHandlerRegister(MessageHandler* handler) noexcept : mHandler(handler) {}

  // The old handler is neither deleted nor chained. Null silences the channel (a handler that
  // drops every text) rather than leaving it to crash on the next text.
  void RegisterHandler(MessageHandler* handler);
  MessageHandler* GetCurrentHandler() const { return mHandler; }
  void ReceiveMessage(const char* text) { mHandler->HandleMessage(text); }

  static MessageHandlerRegister debug;
  static MessageHandlerRegister info;
  static MessageHandlerRegister warnings;
  static MessageHandlerRegister errors;

private:
  MessageHandler* mHandler;
};

namespace util {

using MessageParameters = std::map<std::string, std::string>;

// A host's sink for structured messages. It has no virtual destructor: the library never
// owns or deletes one.
class LOOM_UTIL_API MessageInterface {
public:
  virtual void error(const std::string& id, const MessageParameters& parameters) = 0;
  virtual void warning(const std::string& id, const MessageParameters& parameters) = 0;
  virtual void info(const std::string& id, const MessageParameters& parameters) = 0;
  virtual void debug(const std::string& id, const MessageParameters& parameters) = 0;

  void error(const std::string& id) { error(id, MessageParameters()); }
  void warning(const std::string& id) { warning(id, MessageParameters()); }
  void info(const std::string& id) { info(id, MessageParameters()); }
  void debug(const std::string& id) { debug(id, MessageParameters()); }

protected:
  constexpr MessageInterface() noexcept = default;
  constexpr MessageInterface(const MessageInterface&) noexcept = default;
  MessageInterface& operator=(const MessageInterface&) noexcept = default;
  ~MessageInterface() = default;
};

// error prints "\nERROR:<id>{<key>='<value>';...}\n" to std::cerr and exits with status 1;
// the other three do nothing.
class LOOM_UTIL_API NullMessageInterface : public MessageInterface {
public:
  using MessageInterface::debug;
  using MessageInterface::error;
  using MessageInterface::info;
  using MessageInterface::warning;

  constexpr NullMessageInterface() noexcept = default;

  [[noreturn]] void error(const std::string& id, const MessageParameters& parameters) override;
  void warning(const std::string& id, const MessageParameters& parameters) override;
  void info(const std::string& id, const MessageParameters& parameters) override;
  void debug(const std::string& id, const MessageParameters& parameters) override;
};

LOOM_UTIL_API extern NullMessageInterface nullMessageInterface;

// The current sink, initially &nullMessageInterface. Not owned: it must outlive its use.
// Setting null goes back to &nullMessageInterface.
LOOM_UTIL_API void setMessageInterface(MessageInterface* messageInterface);
LOOM_UTIL_API MessageInterface* getMessageInterface();

} // namespace util

#endif
