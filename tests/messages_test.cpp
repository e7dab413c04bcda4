#include "util/messages.h"
#include <gmock/gmock.h>

using namespace ::testing;

// Channels write to standard error; file handlers write prefix and text, then pass the text on.
TEST(MessageHandlers, WritePrefixAndTextThenPassTheTextOn) {
  FileMessageHandler tail(nullptr, "", nullptr, false); // a handler that drops everything
  internal::CaptureStdout();
  internal::CaptureStderr();
  MessageHandlerRegister::info.ReceiveMessage("one\n");
  MessageHandlerRegister::warnings.ReceiveMessage("two");
  MessageHandlerRegister::errors.ReceiveMessage("three\n");
  MessageHandlerRegister::debug.ReceiveMessage("four\n"); // only with "reportDebugMessages"
  FileMessageHandler(stdout, "y: ", nullptr, false).HandleMessage("no next\n");
  MessageHandlerRegister channel(&tail);
  channel.RegisterHandler(nullptr); // silences the channel rather than crashing it
  channel.ReceiveMessage("dropped");
  EXPECT_EQ(internal::GetCapturedStderr(), "Info: one\nWarning: twoError: three\n");
  EXPECT_EQ(internal::GetCapturedStdout(), "y: no next\n");
}

TEST(NullMessageInterface, ErrorPrintsRawLineAndExitsWith1) {
  util::setMessageInterface(nullptr); // means "no host sink"; parameters come out in key order
  EXPECT_EXIT(util::getMessageInterface()->error("ID", {{"path", "/x"}, {"details", "d"}}),
              ExitedWithCode(1), StrEq("\nERROR:ID{details='d';path='/x';}\n"));
}
