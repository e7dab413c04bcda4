#include "util/messages.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

using ::testing::ExitedWithCode;
using ::testing::StrEq;

struct Recorder : MessageHandler {
  std::vector<const char*> pointers;
  std::vector<std::string> texts;
  void HandleMessage(const char* text) override {
    pointers.push_back(text);
    texts.emplace_back(text);
  }
};

// Puts a handler on a channel for the length of a test.
class ChannelSwap {
public:
  ChannelSwap(MessageHandlerRegister& channel, MessageHandler* handler)
      : mChannel(channel), mPrevious(channel.GetCurrentHandler()) {
    mChannel.RegisterHandler(handler);
  }
  ~ChannelSwap() { mChannel.RegisterHandler(mPrevious); }

private:
  MessageHandlerRegister& mChannel;
  MessageHandler* mPrevious;
};

std::string readAll(FILE* f) {
  std::rewind(f);
  std::string out;
  for (int c; (c = std::fgetc(f)) != EOF;)
    out += static_cast<char>(c);
  return out;
}

TEST(StandardChannels, WriteTheirPrefixToStandardErrorOnly) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  MessageHandlerRegister::info.ReceiveMessage("one\n");
  MessageHandlerRegister::warnings.ReceiveMessage("two");
  MessageHandlerRegister::errors.ReceiveMessage("three\n");
  // Debug texts stay silent while "reportDebugMessages" is off, its default.
  MessageHandlerRegister::debug.ReceiveMessage("four\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Info: one\nWarning: twoError: three\n");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

TEST(StandardChannels, RegisteredHandlerReplacesTheOldOneAndGetsTheSamePointer) {
  Recorder first, second;
  MessageHandlerRegister channel(&first);
  EXPECT_EQ(channel.GetCurrentHandler(), &first);
  channel.RegisterHandler(&second);
  EXPECT_EQ(channel.GetCurrentHandler(), &second);

  const char* text = "hello\n";
  channel.ReceiveMessage(text);
  EXPECT_TRUE(first.texts.empty());
  ASSERT_EQ(second.pointers.size(), 1u);
  EXPECT_EQ(second.pointers[0], text);
}

TEST(StandardChannels, HostHandlerCanChainToThePreviousOne) {
  struct Forwarder : MessageHandler {
    MessageHandler* next = nullptr;
    int count = 0;
    void HandleMessage(const char* text) override {
      ++count;
      next->HandleMessage(text);
    }
  } forwarder;
  forwarder.next = MessageHandlerRegister::warnings.GetCurrentHandler();
  ChannelSwap swap(MessageHandlerRegister::warnings, &forwarder);

  ::testing::internal::CaptureStderr();
  MessageHandlerRegister::warnings.ReceiveMessage("chained\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Warning: chained\n");
  EXPECT_EQ(forwarder.count, 1);
}

TEST(FileMessageHandlerChain, WritesPrefixAndTextThenPassesTheTextOn) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  Recorder tail;
  FileMessageHandler handler(file, "Note: ", &tail, false);
  MessageHandlerRegister channel(&handler);

  const char* text = "a\n";
  channel.ReceiveMessage(text);
  channel.ReceiveMessage("b");
  EXPECT_EQ(readAll(file), "Note: a\nNote: b");
  ASSERT_EQ(tail.pointers.size(), 2u);
  EXPECT_EQ(tail.pointers[0], text);
  EXPECT_EQ(tail.texts[1], "b");
  std::fclose(file);
}

TEST(FileMessageHandlerChain, MissingPartsDoNotCrashTheChannel) {
  Recorder tail;
  FileMessageHandler noStream(nullptr, "x: ", &tail, false);
  noStream.HandleMessage("forwarded");
  noStream.HandleMessage(nullptr);
  EXPECT_EQ(tail.texts, (std::vector<std::string>{"forwarded", ""}));
  FileMessageHandler noNext(nullptr, "x: ", nullptr, false);
  noNext.HandleMessage("ends here");

  MessageHandlerRegister channel(&tail);
  channel.RegisterHandler(nullptr); // silences the channel
  channel.ReceiveMessage("dropped");
  EXPECT_NE(channel.GetCurrentHandler(), nullptr);
  EXPECT_EQ(tail.texts.size(), 2u);
}

TEST(FileMessageHandlerChain, DebugOnlyHandlerNeitherWritesNorForwardsWhileDebugIsOff) {
  FILE* file = std::tmpfile();
  ASSERT_NE(file, nullptr);
  Recorder tail;
  FileMessageHandler handler(file, "", &tail, true);
  handler.HandleMessage("quiet\n");
  EXPECT_EQ(readAll(file), "");
  EXPECT_TRUE(tail.texts.empty());
  std::fclose(file);
}

struct RecordingInterface : util::MessageInterface {
  std::vector<std::string> calls;
  void record(const char* kind, const std::string& id, const util::MessageParameters& p) {
    std::string entry = std::string(kind) + ":" + id;
    for (const auto& kv : p)
      entry += " " + kv.first + "=" + kv.second;
    calls.push_back(entry);
  }
  void error(const std::string& id, const util::MessageParameters& p) override {
    record("error", id, p);
  }
  void warning(const std::string& id, const util::MessageParameters& p) override {
    record("warning", id, p);
  }
  void info(const std::string& id, const util::MessageParameters& p) override {
    record("info", id, p);
  }
  void debug(const std::string& id, const util::MessageParameters& p) override {
    record("debug", id, p);
  }
};

TEST(MessageInterface, IdOnlyFormsReachTheVirtualsWithAnEmptyMap) {
  RecordingInterface sink;
  util::MessageInterface& base = sink;
  base.error("E");
  base.warning("W");
  base.info("I");
  base.debug("D");
  base.warning("W2", {{"feature", "flipMems"}});
  EXPECT_EQ(sink.calls, (std::vector<std::string>{"error:E", "warning:W", "info:I", "debug:D",
                                                  "warning:W2 feature=flipMems"}));
}

TEST(MessageInterface, CurrentInterfaceStartsAsNullAndCanBeReplaced) {
  EXPECT_EQ(util::getMessageInterface(), &util::nullMessageInterface);
  RecordingInterface sink;
  util::setMessageInterface(&sink);
  EXPECT_EQ(util::getMessageInterface(), &sink);
  util::getMessageInterface()->info("X");
  EXPECT_EQ(sink.calls, std::vector<std::string>{"info:X"});
  // Null would crash the next report; it means "no host sink".
  util::setMessageInterface(nullptr);
  EXPECT_EQ(util::getMessageInterface(), &util::nullMessageInterface);
}

TEST(NullMessageInterface, ErrorPrintsRawLineAndExitsWith1) {
  EXPECT_EXIT(util::nullMessageInterface.error("FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE",
                                               {{"feature", "flipMems"}}),
              ExitedWithCode(1),
              StrEq("\nERROR:FEATURE_DOES_NOT_HAVE_A_BOOLEAN_VALUE{feature='flipMems';}\n"));
  EXPECT_EXIT(util::nullMessageInterface.error("NO_PARAMS"), ExitedWithCode(1),
              StrEq("\nERROR:NO_PARAMS{}\n"));
  // Parameters come out in key order whatever order they were given in.
  EXPECT_EXIT(util::getMessageInterface()->error("ID", {{"path", "/x"}, {"details", "d"}}),
              ExitedWithCode(1), StrEq("\nERROR:ID{details='d';path='/x';}\n"));
}

TEST(NullMessageInterface, OtherKindsAreDropped) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  util::nullMessageInterface.warning("W", {{"a", "b"}});
  util::nullMessageInterface.info("I");
  util::nullMessageInterface.debug("D");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
}

} // namespace
