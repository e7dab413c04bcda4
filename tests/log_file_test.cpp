#include "channel_texts.h"
#include "hostile_fs.h"
#include "util/feature_store.h"
#include "util/log_file.h"
#include "util/messages.h"
#include <csignal>
#include <gmock/gmock.h>
#include <sys/wait.h>

using namespace ::testing;
using Channel = MessageHandlerRegister;

using LogFile = HostileFsTest;
using Redirection = HostileFsTest;

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
  EXPECT_EQ(contentOf("first.log"), "Warning: a\n");
  EXPECT_EQ(contentOf("run.log"), "Info: note\nWarning: careful\nError: bad\nlogged\n");
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
  EXPECT_FALSE(util::RedirectConsoleOutput("no/such/dir/out.txt").isActive());
  EXPECT_EQ(target(), before);
  {
    util::RedirectConsoleOutput outer; // the descriptor: also child processes
    std::printf("printf\n");
    util::RedirectConsoleOutput("inner.txt"), std::printf("i\n"); // nested for one statement
    EXPECT_EQ(std::system("echo child"), 0);
  }
  EXPECT_EQ(target(), before);
  EXPECT_EQ(contentOf("redirected_output.txt"), "printf\nchild\n");
  EXPECT_EQ(contentOf("inner.txt"), "i\n");
}

TEST_F(LogFile, EveryTextSentIsInTheFileWhenTheProcessDies) {
  const std::function<void()> deaths[] = {[] { std::abort(); }, [] { raise(SIGKILL); },
                                          [] { raise(SIGSEGV); },
                                          [] {
                                            setenv("SEGFAULT_ASSERT", "1", 1);
                                            LOOM_FAIL("x");
                                          }};
  for (const auto& die : deaths) {
    const pid_t child = fork();
    if (child == 0) {
      loom_open_log_file("died.log");
      Channel::info.ReceiveMessage("one\n");
      Channel::warnings.ReceiveMessage("two\n");
      Channel::errors.ReceiveMessage("three\n");
      die();
      _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_NE(status, 0); // it died (under a sanitizer its handler may exit instead)
    EXPECT_EQ(contentOf("died.log"), "Info: one\nWarning: two\nError: three\n");
  }
}

TEST_F(LogFile, TheFirstFailedWriteIsReportedOnceBelowTheFile) {
  if (!mountsAvailable())
    GTEST_SKIP() << "not root: a log file on a full disk not checked";
  const std::string disk = mountTmpfs("disk", "64k");
  ChannelTexts warnings(Channel::warnings);
  loom_open_log_file(disk + "/run.log");
  const std::string text(1000, 'x');
  for (int i = 0; i < 100; ++i) // more than the disk holds
    Channel::info.ReceiveMessage((text + "\n").c_str());
  loom_close_log_file();
  ASSERT_EQ(warnings.texts.size(), 1u);
  EXPECT_EQ(warnings.texts[0],
            "Could not write the log file '" + disk + "/run.log': No space left on device\n");
}

TEST_F(Redirection, OutputThatNoLongerReachesTheFileEndsItAndIsReportedOnce) {
  if (!mountsAvailable())
    GTEST_SKIP() << "not root: redirection onto a full disk not checked";
  const std::string disk = mountTmpfs("disk", "64k");
  ChannelTexts warnings(Channel::warnings);
  {
    util::RedirectConsoleOutput capture((disk + "/out.txt").c_str());
    EXPECT_TRUE(capture.isActive());
    for (int i = 0; i < 100; ++i) // more than the disk holds
      std::printf("%01000d\n", i);
    EXPECT_FALSE(capture.isActive());
    EXPECT_FALSE(capture.isActive());
  }
  ASSERT_EQ(warnings.texts.size(), 1u);
  EXPECT_EQ(warnings.texts[0], "Could not write standard output into '" + disk +
                                   "/out.txt': No space left on device\n");
  EXPECT_EQ(std::ferror(stdout), 0); // the console itself is fine
}
