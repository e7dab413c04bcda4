#include "util/messages.h"

#include <gmock/gmock.h>

using namespace ::testing;

struct Recorder : MessageHandler {
  std::string texts;
  void HandleMessage(const char* text) override { texts = texts + text + "|"; }
};

TEST(StandardChannels, WriteTheirPrefixToStandardErrorOnly) {
  internal::CaptureStdout();
  internal::CaptureStderr();
  MessageHandlerRegister::info.ReceiveMessage("one\n");
  MessageHandlerRegister::warnings.ReceiveMessage("two");
  MessageHandlerRegister::errors.ReceiveMessage("three\n");
  MessageHandlerRegister::debug.ReceiveMessage("four\n"); // only with "reportDebugMessages"
  EXPECT_EQ(internal::GetCapturedStderr(), "Info: one\nWarning: twoError: three\n");
  EXPECT_EQ(internal::GetCapturedStdout(), "");
}

TEST(FileMessageHandlerChain, WritesPrefixAndTextThenPassesTheTextOnWhateverIsMissing) {
  Recorder tail;
  internal::CaptureStdout();
  FileMessageHandler(stdout, "Note: ", &tail, false).HandleMessage("a\n");
  FileMessageHandler(stdout, "x: ", &tail, false).HandleMessage(nullptr); // taken as empty
  FileMessageHandler(nullptr, "x: ", &tail, false).HandleMessage("no stream");
  FileMessageHandler(stdout, "x: ", nullptr, false).HandleMessage("no next\n");
  FileMessageHandler(stdout, "", &tail, true).HandleMessage("debug only, and debug is off");
  MessageHandlerRegister channel(&tail);
  channel.RegisterHandler(nullptr); // silences the channel rather than crashing it
  channel.ReceiveMessage("dropped");
  EXPECT_EQ(internal::GetCapturedStdout(), "Note: a\nx: x: no next\n");
  EXPECT_EQ(tail.texts, "a\n||no stream|");
}

TEST(NullMessageInterface, ErrorPrintsRawLineAndExitsWith1) {
  util::setMessageInterface(nullptr); // means "no host sink"
  EXPECT_EQ(util::getMessageInterface(), &util::nullMessageInterface);
  EXPECT_EXIT(util::nullMessageInterface.error("NO_PARAMS"), ExitedWithCode(1),
              StrEq("\nERROR:NO_PARAMS{}\n"));
  // Parameters come out in key order whatever order they were given in.
  EXPECT_EXIT(util::getMessageInterface()->error("ID", {{"path", "/x"}, {"details", "d"}}),
              ExitedWithCode(1), StrEq("\nERROR:ID{details='d';path='/x';}\n"));
}
