#include "hostile_fs.h"
#include "run_command.h"
#include "util/feature_store.h"
#include "util/internal/profiling_logger.h"
#include "util/messages.h"
#include <cmath>
#include <gmock/gmock.h>
#include <set>
#include <sstream>
#include <thread>

using namespace testing;
using namespace util;
using util::internal::currentLogger;
using Texts = std::vector<std::string>;

static std::int64_t gNow = 0; // the injected clock, in nanoseconds

// The texts of the directory's files whose names start with `prefix`.
static Texts files(const std::string& prefix, const std::string& directory = ".") {
  Texts texts;
  for (boost::filesystem::directory_iterator it(directory), end; it != end; ++it)
    if (it->path().filename().string().rfind(prefix, 0) == 0)
      texts.push_back(contentOf(it->path().string()));
  return texts;
}

// Runs steps: "<stage>@<ms>" begins a stage, "-@<ms>" ends the innermost, "<feature>=<n>" sets
// a feature, "#<region>" flushes (the features are read; a region without a name writes nothing).
static void play(const std::string& steps) {
  std::istringstream in(steps);
  for (std::string step; in >> step;) {
    const std::size_t at = step.find_first_of("@=");
    if (step[0] == '#')
      ProfilingLog::flush(step.substr(1));
    else if (step[at] == '=')
      SetFeatureInteger(step.substr(0, at), std::stoi(step.substr(at + 1)));
    else if (gNow = std::llround(std::stod(step.substr(at + 1)) * 1e6); step[0] == '-')
      ProfilingLog::end();
    else
      ProfilingLog::begin({step.substr(0, at), "d"});
  }
}

// Also the host's message interface, recording the warnings.
class Profiling : public HostileFsTest, public MessageInterface {
protected:
  void SetUp() override {
    HostileFsTest::SetUp();
    setMessageInterface(this);
    play("ProfilingLogDetailedEnabled=1 ProfilingIILogEnabled=1 ProfilingLogFlushRegions=1 "
         "ProfilingLogEnabled=1 #");
    currentLogger().setClock(+[] { return gNow; });
  }
  void TearDown() override {
    ProfilingLog::reset();
    ClearFeatures();
    ProfilingLog::flush("");
    setMessageInterface(&nullMessageInterface);
    HostileFsTest::TearDown();
  }
  void error(const std::string&, const MessageParameters&) override {}
  void warning(const std::string& id, const MessageParameters& p) override {
    mWarnings.emplace_back(id, p);
  }
  void info(const std::string&, const MessageParameters&) override {}
  void debug(const std::string&, const MessageParameters&) override {}
  // Warning `i` tells that the report at `prefix`... was not written for `reason`; it is gone.
  void expectNotWritten(std::size_t i, const std::string& prefix, const char* reason) {
    ASSERT_GT(mWarnings.size(), i);
    EXPECT_EQ(mWarnings[i].first, "PROFILING_LOG_NOT_WRITTEN");
    EXPECT_THAT(mWarnings[i].second["path"], StartsWith(prefix));
    EXPECT_THAT(mWarnings[i].second["reason"], HasSubstr(reason));
    EXPECT_FALSE(boost::filesystem::exists(mWarnings[i].second["path"]));
  }
  std::vector<std::pair<std::string, MessageParameters>> mWarnings;
};

TEST_F(Profiling, ReportsOfNestedStagesCountOpenStagesUpToTheWritingMoment) {
  play("#r1 A@0 B@10 -@20 B@50 -@80 C@80 D@85 -@90 -@95");
  gNow = 100000000;
  currentLogger().writeReports("now");
  EXPECT_EQ(currentLogger().openStages(), 1u); // the live stack is left as it is
  const std::string rule(114, '-'), heading = "r1\n" + std::string(114, '=') + "\n";
  EXPECT_EQ(
      files("loomprofiler_r1_"),
      Texts{heading +
            "| %            | Total (ms)   | Min (ms)     | Max (ms)     | Avg (ms)     | "
            "Invocations  | Stage \n" +
            rule +
            "\n| 100.000%     |     100.0000 |     100.0000 |     100.0000 |     100.0000 | "
            "           1 | A \n|   72.727%    |      40.0000 |      10.0000 |      30.0000 "
            "|      20.0000 |            2 |   A::B \n|   27.273%    |      15.0000 |      "
            "15.0000 |      15.0000 |      15.0000 |            1 |   A::C \n|     100.000% "
            "|       5.0000 |       5.0000 |       5.0000 |       5.0000 |            1 |     "
            "A::C::D \n" +
            rule + "\n"});
  EXPECT_EQ(
      files("loom_profiler_details_r1_"),
      Texts{heading + "A::B,d,10000000\nA::B,d,30000000\nA::C::D,d,5000000\nA::C,d,15000000\n"});
}

TEST_F(Profiling, EndWithoutAStageIsAnInternalRestrictionOnlyWhileEnabled) {
  EXPECT_EXIT(ProfilingLog::end(), ExitedWithCode(100),
              HasSubstr("Invalid to end profiler stage. No stage is active."));
  play("ProfilingLogEnabled=0 # -@0 ignored@1"); // nothing happens
  EXPECT_EQ(currentLogger().openStages(), 0u);
}

// Each scope lasts one statement; its end must not close a stage it never had.
TEST_F(Profiling, ScopedStagesSurviveProfilingSwitchedInsideTheScope) {
  play("ProfilingLogEnabled=0 #");
  ScopedProfiling({"off", ""}), play("ProfilingLogEnabled=1 # on@0");
  EXPECT_EQ(currentLogger().openStages(), 1u);
  ScopedProfiling({"on", ""}), ProfilingLog::reset(); // the stack is gone: nothing left to close
  ScopedProfiling({"on", ""}), play("ProfilingLogEnabled=0 #"); // the opened stage is still closed
  EXPECT_EQ(currentLogger().openStages(), 0u);
  EXPECT_EQ(currentLogger().detailSnapshot().size(), 1u);
}

// Each thread's logger keeps its own records, and its reports files of their own even when all
// are written at once under one time stamp (a name taken gets "-2", "-3", ...).
TEST_F(Profiling, ThreadsHaveTheirOwnLoggersAndReports) {
  std::vector<std::pair<std::size_t, std::uint64_t>> runs(4); // records and thread id
  Texts expected(4, "t\n" + std::string(114, '=') + "\n");    // the interval reports
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&runs, t] {
      ProfilingLog::flush("t");
      for (int i = 0; i < 200; ++i)
        ScopedProfiling outer({"outer", "x"}), inner({"inner", "y"});
      for (int i = 0; i < 3; ++i)
        ProfilingLog::initiationInterval(t, i, 0.5, 0.25);
      runs[t] = {currentLogger().detailSnapshot().size(), currentLogger().threadId()};
      currentLogger().writeReports("now");
      ProfilingLog::reset(); // nothing left to report at exit
    });
  std::set<std::uint64_t> ids{currentLogger().threadId()};
  for (std::size_t t = 0; t < 4; ++t) {
    threads[t].join();
    EXPECT_EQ(runs[t].first, 400u) << t;
    EXPECT_TRUE(ids.insert(runs[t].second).second) << t;
    for (int i = 0; i < 3; ++i)
      expected[t] += std::to_string(t) + "," + std::to_string(i) + ".000000,0.500000,0.250000\n";
  }
  EXPECT_THAT(files("loomprofiler-II-now"), UnorderedElementsAreArray(expected));
  EXPECT_THAT(namesIn("."),
              IsSupersetOf({"loomprofiler-II-now.log", "loomprofiler-II-now-2.log",
                            "loomprofiler-II-now-3.log", "loomprofiler-II-now-4.log"}));
  EXPECT_THAT(files("loomprofiler_t_"), Each(HasSubstr("|          200 | outer \n")));
}

// Reports land in "ProfilingLogDirectory", made when missing; a region without stages leaves no
// trace; a report that cannot be written is reported to the host.
TEST_F(Profiling, ReportsGoToTheLogDirectoryOrAreReported) {
  SetFeatureString("profilinglogdirectory", "out/reports");
  play("ProfilingLogTraceEnabled=1 #empty #r1 A@0 -@1 #r2");
  EXPECT_EQ(files("loomprofiler", "out/reports").size(), 2u); // r1's summary and trace
  EXPECT_EQ(files("loom_profiler_details_r1_", "out/reports").size(), 1u);
  EXPECT_TRUE(files("loom").empty());
  EXPECT_TRUE(mWarnings.empty());
  std::ofstream("blocker") << "a file, not a directory";
  SetFeatureString("ProfilingLogDirectory", "blocker");
  play("B@2 -@3 #r3");
  expectNotWritten(0, "blocker/loomprofiler_r2_", "create the file: Not a directory");
}

// A report cut short (a full disk, a failing write) is removed and reported once, with the
// system's reason; the reports around it are written.
TEST_F(Profiling, ReportsNotWrittenWholeAreRemovedAndReportedWithTheReason) {
  faults::plant({faults::Write, 1, EIO, 0}); // the summary is written, the details fail
  play("#r A@0 -@1 #r");
  faults::disarm();
  EXPECT_EQ(files("loomprofiler_r_").size(), 1u);
  EXPECT_EQ(files("loom_profiler_details_r_").size(), 0u);
  EXPECT_EQ(mWarnings.size(), 1u);
  expectNotWritten(0, "loom_profiler_details_r_", "write the file: Input/output error");
  if (!mountsAvailable())
    GTEST_SKIP() << "needs root for mounts: a full disk is not checked";
  const std::string full = mountTmpfs("full", "64k");
  writeFile(full + "/filler", 1 << 17, 1); // fills it
  SetFeatureString("ProfilingLogDirectory", full);
  play("A@2 -@3 #r");
  EXPECT_EQ(mWarnings.size(), 3u);
  expectNotWritten(1, full + "/loomprofiler_r_", "write the file: No space left on device");
  expectNotWritten(2, full + "/loom_profiler_details_r_", "No space left on device");
  EXPECT_EQ(namesIn(full), Texts{"filler"});
  // At exit, on standard error: every report of both loggers and the trace, with the reason.
  const CommandRun run = runCommand(PROFILING_HELPER " " + full);
  EXPECT_EQ(run.status, 0);
  std::string text; // each logger's reports in the order they are made, then the trace
  for (const char* report : {"loomprofiler__", "loom_profiler_details__", "loomprofiler-II-",
                             "loomprofiler__", "loom_profiler_details__", "loomprofiler_trace__"})
    text += "Warning: profiling report not written: " + full + "/" + report +
            "[^:]*: write the file: No space left on device\n";
  EXPECT_THAT(run.output, MatchesRegex(text));
  EXPECT_EQ(namesIn(full), Texts{"filler"});
}

// Periodic reports come once more whole seconds than "ProfilingLogOutputFrequency" have passed
// since the last (the first stage's end starts the count); stages of no time show 0.000%.
TEST_F(Profiling, PeriodicReportsWaitTheirIntervalAndZeroTimesHaveNoShare) {
  play("ProfilingLogOutputFrequency=1 #p A@500 -@500 A@600 -@2499");
  EXPECT_EQ(files("loomprofiler_p_").size(), 0u); // 1.999 s is one whole second
  play("A@2500 -@2500");
  EXPECT_EQ(files("loomprofiler_p_").size(), 1u);
  play("#z Z@3000 -@3000");
  currentLogger().writeReports("now");
  EXPECT_THAT(files("loomprofiler_z_"), Contains(HasSubstr("\n| 0.000%   |")));
}

TEST_F(Profiling, EveryEnabledLoggerReportsOnceAtExitWithOneTrace) {
  ASSERT_EQ(runCommand(PROFILING_HELPER).text(), "0 ");
  EXPECT_EQ(files("loomprofiler__").size(), 2u); // one per thread's logger
  EXPECT_EQ(files("loom_profiler_details__").size(), 2u);
  EXPECT_EQ(files("loomprofiler-II-"), Texts{"3,1.500000,2.000000,0.250000\n"});
  EXPECT_EQ(runCommand(LOOM_PYTHON " " CHECK_TRACE_SCRIPT " loomprofiler_trace__*.json").text(),
            "0 ok 3 2\n");
  std::ofstream("blocker") << "a file, not a directory"; // at exit: standard error, no crash
  EXPECT_THAT(runCommand(PROFILING_HELPER " blocker").text(),
              AllOf(StartsWith("0 Warning: profiling report not written: blocker/loomprofiler_"),
                    HasSubstr("blocker/loomprofiler_trace__")));
}
