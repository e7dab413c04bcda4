#include "util/log_file.h"

#include "util/assert_handler.h"
#include "util/feature_store.h"
#include "util/messages.h"

#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using ::testing::internal::CaptureStderr;
using ::testing::internal::GetCapturedStderr;

std::string readFile(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

struct Recorder : MessageHandler {
  MessageHandler* next = nullptr;
  std::vector<std::string> texts;
  void HandleMessage(const char* text) override {
    texts.emplace_back(text);
    if (next != nullptr)
      next->HandleMessage(text);
  }
};

class LogFile : public TempDirTest {
protected:
  void SetUp() override {
    TempDirTest::SetUp();
    for (int i = 0; i < 4; ++i)
      mBefore[i] = channel(i).GetCurrentHandler();
  }
  void TearDown() override {
    loom_close_log_file();
    for (int i = 0; i < 4; ++i)
      channel(i).RegisterHandler(mBefore[i]);
    util::ClearFeatures();
    TempDirTest::TearDown();
  }
  static MessageHandlerRegister& channel(int i) {
    MessageHandlerRegister* channels[] = {
        &MessageHandlerRegister::debug, &MessageHandlerRegister::info,
        &MessageHandlerRegister::warnings, &MessageHandlerRegister::errors};
    return *channels[i];
  }
  MessageHandler* mBefore[4];
};

TEST_F(LogFile, CopiesEveryChannelIntoTheFileAndStillToStandardError) {
  loom_open_log_file("");
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(channel(i).GetCurrentHandler(), mBefore[i]);

  loom_open_log_file("run.log");
  CaptureStderr();
  aster_warning_printf("careful\n");
  MessageHandlerRegister::info.ReceiveMessage("note\n");
  MessageHandlerRegister::errors.ReceiveMessage("bad\n");
  MessageHandlerRegister::debug.ReceiveMessage("quiet\n");
  util::SetFeatureBoolean("reportDebugMessages", true);
  MessageHandlerRegister::debug.ReceiveMessage("loud\n");
  EXPECT_EQ(GetCapturedStderr(), "Warning: careful\nInfo: note\nError: bad\nloud\n");
  loom_close_log_file();
  EXPECT_EQ(readFile("run.log"), "Warning: careful\nInfo: note\nError: bad\nloud\n");

  CaptureStderr();
  aster_warning_printf("after\n");
  EXPECT_EQ(GetCapturedStderr(), "Warning: after\n");
  EXPECT_EQ(readFile("run.log"), "Warning: careful\nInfo: note\nError: bad\nloud\n");
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(channel(i).GetCurrentHandler(), mBefore[i]);
}

TEST_F(LogFile, HostHandlersComeAfterTheFileAndAreRestored) {
  Recorder host;
  host.next = MessageHandlerRegister::warnings.GetCurrentHandler();
  MessageHandlerRegister::warnings.RegisterHandler(&host);
  loom_open_log_file("host.log");
  CaptureStderr();
  aster_warning_printf("one\n");
  GetCapturedStderr();
  EXPECT_EQ(host.texts, std::vector<std::string>{"one\n"});
  loom_close_log_file();
  EXPECT_EQ(MessageHandlerRegister::warnings.GetCurrentHandler(), &host);
  EXPECT_EQ(readFile("host.log"), "Warning: one\n");
  loom_close_log_file(); // a second close puts the saved handlers back again
  EXPECT_EQ(MessageHandlerRegister::warnings.GetCurrentHandler(), &host);
}

TEST_F(LogFile, OpeningAgainClosesTheFirstFile) {
  loom_open_log_file("first.log");
  CaptureStderr();
  aster_warning_printf("a\n");
  loom_open_log_file("second.log");
  aster_warning_printf("b\n"); // once into the second file, once to standard error
  EXPECT_EQ(GetCapturedStderr(), "Warning: a\nWarning: b\n");
  loom_close_log_file();
  EXPECT_EQ(readFile("first.log"), "Warning: a\n");
  EXPECT_EQ(readFile("second.log"), "Warning: b\n");
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(channel(i).GetCurrentHandler(), mBefore[i]);
}

TEST_F(LogFile, CloseWithoutOpenChangesNothing) {
  loom_close_log_file();
  for (int i = 0; i < 4; ++i)
    EXPECT_EQ(channel(i).GetCurrentHandler(), mBefore[i]);
}

TEST_F(LogFile, UnopenablePathEndsTheProcess) {
  EXPECT_EXIT(loom_open_log_file("no/such/dir/x.log"), ::testing::ExitedWithCode(1),
              ::testing::StrEq("Error: Cannot open 'no/such/dir/x.log' for writing.\n"));
}

TEST_F(LogFile, ReachesTheFileBeforeAnInternalRestrictionEndsTheProcess) {
  EXPECT_EXIT(
      {
        loom_open_log_file("crash.log");
        aster_warning_printf("before\n");
        LOOM_FAIL("gone");
      },
      ::testing::ExitedWithCode(100), ::testing::HasSubstr("Compiler Internal Restriction: gone"));
  EXPECT_THAT(readFile("crash.log"),
              ::testing::MatchesRegex("Warning: before\nError: Compiler Internal Restriction: gone "
                                      "\\[.*TestBody at tests/log_file_test.cpp:[0-9]+\\] "));
}

class Redirection : public TempDirTest {};

// The identity of whatever standard output refers to.
ino_t stdoutInode() {
  struct stat s {};
  fstat(STDOUT_FILENO, &s);
  return s.st_ino;
}

TEST_F(Redirection, CapturesEveryWriterAndRestoresStandardOutput) {
  const ino_t before = stdoutInode();
  {
    util::RedirectConsoleOutput redirect;
    EXPECT_TRUE(redirect.isActive());
    std::printf("printf\n");
    std::cout << "cout" << std::endl;
    ASSERT_EQ(std::system("echo child"), 0);
  }
  EXPECT_EQ(stdoutInode(), before);
  EXPECT_EQ(readFile("redirected_output.txt"), "printf\ncout\nchild\n");
}

TEST_F(Redirection, NestsAndIgnoresMissingDirectories) {
  const ino_t before = stdoutInode();
  {
    util::RedirectConsoleOutput missing("no/such/dir/out.txt");
    EXPECT_FALSE(missing.isActive());
    EXPECT_EQ(stdoutInode(), before);
  }
  EXPECT_EQ(stdoutInode(), before);
  {
    util::RedirectConsoleOutput outer("outer.txt");
    std::printf("o1\n");
    {
      util::RedirectConsoleOutput inner("inner.txt");
      std::printf("i\n");
    }
    std::printf("o2\n");
  }
  EXPECT_EQ(stdoutInode(), before);
  EXPECT_EQ(readFile("outer.txt"), "o1\no2\n");
  EXPECT_EQ(readFile("inner.txt"), "i\n");
}

} // namespace
