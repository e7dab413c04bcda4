#include "util/log_file.h"

#include "util/assert_handler.h"
#include "util/feature_store.h"
#include "util/messages.h"

#include "temp_dir.h"

#include <gmock/gmock.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

using namespace ::testing;
using Channel = MessageHandlerRegister;

static std::string readFile(const std::string& path) {
  std::ifstream in(path);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

static std::vector<MessageHandler*> handlers() {
  return {Channel::debug.GetCurrentHandler(), Channel::info.GetCurrentHandler(),
          Channel::warnings.GetCurrentHandler(), Channel::errors.GetCurrentHandler()};
}

using LogFile = TempDirTest;

TEST_F(LogFile, CopiesEveryChannelIntoTheFileAndStillToStandardError) {
  // A host handler installed before the file comes after it, and is put back at the close.
  struct : MessageHandler {
    std::string texts;
    void HandleMessage(const char* text) override { texts += text; }
  } host;
  MessageHandler* standardWarnings = Channel::warnings.GetCurrentHandler();
  Channel::warnings.RegisterHandler(&host);
  const std::vector<MessageHandler*> before = handlers();
  loom_close_log_file();  // nothing open: nothing changes
  loom_open_log_file(""); // no name: no file
  EXPECT_EQ(handlers(), before);
  loom_open_log_file("first.log");
  internal::CaptureStderr();
  aster_warning_printf("a\n");
  loom_open_log_file("run.log"); // closes the first file
  Channel::info.ReceiveMessage("note\n");
  aster_warning_printf("careful\n");
  Channel::errors.ReceiveMessage("bad\n");
  Channel::debug.ReceiveMessage("quiet\n");
  util::SetFeatureBoolean("reportDebugMessages", true);
  aster_log_printf("unlogged\n");
  EXPECT_FALSE(loom_set_logging(true)); // off at load time
  aster_log_printf("logged\n");
  loom_set_logging(false);
  loom_close_log_file();
  Channel::errors.ReceiveMessage("after\n");
  EXPECT_EQ(internal::GetCapturedStderr(), "Info: note\nError: bad\nlogged\nError: after\n");
  EXPECT_EQ(host.texts, "a\ncareful\n");
  EXPECT_EQ(readFile("first.log"), "Warning: a\n");
  EXPECT_EQ(readFile("run.log"), "Info: note\nWarning: careful\nError: bad\nlogged\n");
  EXPECT_EQ(handlers(), before);
  Channel::warnings.RegisterHandler(standardWarnings);
  util::ClearFeatures();
}

TEST_F(LogFile, UnopenablePathEndsTheProcess) {
  EXPECT_EXIT(loom_open_log_file("no/such/dir/x.log"), ExitedWithCode(1),
              StrEq("Error: Cannot open 'no/such/dir/x.log' for writing.\n"));
  // What reached the file before an internal restriction ended the process is kept.
  EXPECT_EXIT((loom_open_log_file("crash.log"), aster_warning_printf("before\n"), LOOM_FAIL("x")),
              ExitedWithCode(100), HasSubstr("Compiler Internal Restriction: x ["));
  EXPECT_THAT(readFile("crash.log"), StartsWith("Warning: before\nError: Compiler"));
}

static ino_t stdoutInode() {
  struct stat s {};
  fstat(STDOUT_FILENO, &s);
  return s.st_ino;
}

using Redirection = TempDirTest;

TEST_F(Redirection, NestsAndIgnoresMissingDirectories) {
  const ino_t before = stdoutInode();
  {
    util::RedirectConsoleOutput missing("no/such/dir/out.txt");
    EXPECT_FALSE(missing.isActive());
    EXPECT_EQ(stdoutInode(), before);
  }
  {
    util::RedirectConsoleOutput outer; // the descriptor: also child processes
    EXPECT_TRUE(outer.isActive());
    std::printf("printf\n");
    {
      util::RedirectConsoleOutput inner("inner.txt");
      std::printf("i\n");
    }
    ASSERT_EQ(std::system("echo child"), 0);
  }
  EXPECT_EQ(stdoutInode(), before);
  EXPECT_EQ(readFile("redirected_output.txt") + readFile("inner.txt"), "printf\nchild\ni\n");
}
