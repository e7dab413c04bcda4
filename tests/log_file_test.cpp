#include "temp_dir.h"
#include "util/feature_store.h"
#include "util/log_file.h"
#include "util/messages.h"
#include <gmock/gmock.h>

using namespace ::testing;
using Channel = MessageHandlerRegister;

using LogFile = TempDirTest;
using Redirection = TempDirTest;

TEST_F(LogFile, CopiesEveryChannelIntoTheFileAndStillToStandardError) {
  FileMessageHandler host(stderr, "host: ", nullptr, false); // kept after the file, and put back
  const auto handlers = [] {
    return std::vector<MessageHandler*>{
        Channel::debug.GetCurrentHandler(), Channel::info.GetCurrentHandler(),
        Channel::warnings.GetCurrentHandler(), Channel::errors.GetCurrentHandler()};
  };
  MessageHandler* standardWarnings = Channel::warnings.GetCurrentHandler();
  Channel::warnings.RegisterHandler(&host);
  const std::vector<MessageHandler*> before = handlers();
  loom_close_log_file();  // nothing open: nothing changes
  loom_open_log_file(""); // no name: no file
  loom_open_log_file("first.log");
  internal::CaptureStderr();
  aster_warning_printf("a\n");
  loom_open_log_file("run.log"); // closes the first file
  Channel::info.ReceiveMessage("note\n");
  aster_warning_printf("careful\n");
  Channel::errors.ReceiveMessage("bad\n");
  util::SetFeatureBoolean("reportDebugMessages", true);
  aster_log_printf("unlogged\n");
  EXPECT_FALSE(loom_set_logging(true)); // off at load time
  aster_log_printf("logged\n");
  loom_set_logging(false);
  loom_close_log_file();
  Channel::errors.ReceiveMessage("after\n");
  EXPECT_EQ(internal::GetCapturedStderr(),
            "host: a\nInfo: note\nhost: careful\nError: bad\nlogged\nError: after\n");
  EXPECT_EQ(contentOf("first.log") + "|" + contentOf("run.log"),
            "Warning: a\n|Info: note\nWarning: careful\nError: bad\nlogged\n");
  EXPECT_EQ(handlers(), before);
  Channel::warnings.RegisterHandler(standardWarnings);
  util::ClearFeatures();
}

TEST_F(LogFile, UnopenablePathEndsTheProcess) {
  EXPECT_EXIT(loom_open_log_file("no/such/dir/x.log"), ExitedWithCode(1),
              StrEq("Error: Cannot open 'no/such/dir/x.log' for writing.\n"));
  EXPECT_EXIT((loom_open_log_file("crash.log"), aster_warning_printf("before\n"), LOOM_FAIL("x")),
              ExitedWithCode(100), HasSubstr("Restriction: x ["));
  EXPECT_THAT(contentOf("crash.log"), StartsWith("Warning: before\nError: Compiler")); // kept
}

TEST_F(Redirection, NestsAndIgnoresMissingDirectories) {
  const auto target = [] { return boost::filesystem::read_symlink("/proc/self/fd/1"); };
  const boost::filesystem::path before = target();
  EXPECT_TRUE(!util::RedirectConsoleOutput("no/such/dir/out.txt").isActive() && target() == before);
  {
    util::RedirectConsoleOutput outer; // the descriptor: also child processes
    std::printf("printf\n");
    util::RedirectConsoleOutput("inner.txt"), std::printf("i\n"); // nested for one statement
    EXPECT_EQ(std::system("echo child"), 0);
  }
  EXPECT_EQ(target(), before);
  EXPECT_EQ(contentOf("redirected_output.txt") + contentOf("inner.txt"), "printf\nchild\ni\n");
}
