#include "util/profiling.h"

#include "util/feature_store.h"

#include "run_command.h"
#include "temp_dir.h"

#include <boost/filesystem.hpp>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <atomic>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = boost::filesystem;
using util::ProfilingLog;
using util::internal::currentLogger;

std::int64_t gNow = 0; // the injected clock, in nanoseconds
std::int64_t fakeClock() {
  return gNow;
}
constexpr std::int64_t kMs = 1000000;

std::string readFile(const fs::path& path) {
  std::ifstream in(path.string());
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Files of the working directory whose names start with `prefix`.
std::vector<fs::path> filesStartingWith(const std::string& prefix) {
  std::vector<fs::path> found;
  for (fs::directory_iterator it("."), end; it != end; ++it)
    if (it->path().filename().string().rfind(prefix, 0) == 0)
      found.push_back(it->path());
  return found;
}

class Profiling : public TempDirTest {
protected:
  void SetUp() override {
    TempDirTest::SetUp();
    util::ClearFeatures();
    util::SetFeatureBoolean("ProfilingLogEnabled", true);
    util::SetFeatureBoolean("ProfilingLogDetailedEnabled", true);
    util::SetFeatureBoolean("ProfilingIILogEnabled", true);
    util::SetFeatureBoolean("ProfilingLogFlushRegions", true);
    ProfilingLog::flush(""); // re-read the features; the empty region name writes nothing
    ProfilingLog::reset();
    currentLogger().setClock(&fakeClock);
    gNow = 0;
  }
  void TearDown() override {
    ProfilingLog::reset();
    util::ClearFeatures();
    ProfilingLog::flush("");
    currentLogger().setClock(&util::internal::steadyNow);
    TempDirTest::TearDown();
  }
  void stage(const char* name, std::int64_t from, std::int64_t to, const char* detail = "d") {
    gNow = from;
    ProfilingLog::begin({name, detail});
    gNow = to;
    ProfilingLog::end();
  }
  // Ends region `region`: its reports are written, the logger is reset.
  void endRegion(const std::string& next = "next") { ProfilingLog::flush(next); }
  std::string onlyFile(const std::string& prefix) {
    const auto files = filesStartingWith(prefix);
    EXPECT_EQ(files.size(), 1u) << prefix;
    return files.empty() ? "" : readFile(files[0]);
  }
};

const std::string kEquals(114, '=');
const std::string kDashes(114, '-');

TEST_F(Profiling, SummaryTableOfNestedStages) {
  ProfilingLog::flush("r1");
  gNow = 0;
  ProfilingLog::begin({"A", "top"});
  stage("B", 10 * kMs, 20 * kMs);
  stage("B", 50 * kMs, 80 * kMs);
  stage("C", 80 * kMs, 95 * kMs);
  gNow = 100 * kMs;
  ProfilingLog::end();
  endRegion();

  const std::string expected =
      "r1\n" + kEquals + "\n" +
      "| %          | Total (ms)   | Min (ms)     | Max (ms)     | Avg (ms)     | Invocations  "
      "| Stage \n" +
      kDashes + "\n" +
      "| 100.000%   |     100.0000 |     100.0000 |     100.0000 |     100.0000 |            1 "
      "| A \n"
      "|   72.727%  |      40.0000 |      10.0000 |      30.0000 |      20.0000 |            2 "
      "|   A::B \n"
      "|   27.273%  |      15.0000 |      15.0000 |      15.0000 |      15.0000 |            1 "
      "|   A::C \n" +
      kDashes + "\n";
  EXPECT_EQ(onlyFile("loomprofiler_r1_"), expected);
  EXPECT_EQ(onlyFile("loom_profiler_details_r1_"),
            "r1\n" + kEquals +
                "\nA::B,d,10000000\nA::B,d,30000000\nA::C,d,15000000\nA,top,100000000\n");
  EXPECT_TRUE(filesStartingWith("loomprofiler-II-").empty()); // no interval records
  EXPECT_EQ(currentLogger().openStages(), 0u);
}

TEST_F(Profiling, FirstColumnWidthFollowsTheDepth) {
  ProfilingLog::flush("flat");
  stage("X", 0, 5 * kMs);
  endRegion("deep");
  const std::string flat = onlyFile("loomprofiler_flat_");
  EXPECT_THAT(flat, ::testing::HasSubstr("\n| %        | Total (ms)"));   // 8 wide
  EXPECT_THAT(flat, ::testing::HasSubstr("\n| 100.000% |       5.0000")); // exactly 8
  gNow = 0;
  ProfilingLog::begin({"A", ""});
  ProfilingLog::begin({"B", ""});
  stage("C", 1, 2);
  gNow = 3;
  ProfilingLog::end();
  gNow = 4;
  ProfilingLog::end();
  endRegion();
  const std::string deep = onlyFile("loomprofiler_deep_");
  EXPECT_THAT(deep, ::testing::HasSubstr("\n| %            | Total (ms)")); // 12 wide
  EXPECT_THAT(deep,
              ::testing::HasSubstr("|     100.000% |       0.0000 |       0.0000 |       0.0000 "
                                   "|       0.0000 |            1 |     A::B::C \n"));
}

TEST_F(Profiling, OpenStagesCountUpToTheWritingMoment) {
  gNow = 0;
  ProfilingLog::begin({"A", ""});
  gNow = 10 * kMs;
  ProfilingLog::begin({"B", ""});
  gNow = 50 * kMs;
  currentLogger().writeSummary("now");
  const std::string text = onlyFile("loomprofiler__");
  EXPECT_THAT(text,
              ::testing::HasSubstr("|      50.0000 |      50.0000 |      50.0000 |      50.0000 "
                                   "|            1 | A \n"));
  EXPECT_THAT(text,
              ::testing::HasSubstr("|      40.0000 |      40.0000 |      40.0000 |      40.0000 "
                                   "|            1 |   A::B \n"));
  EXPECT_EQ(text.rfind("r1", 0), std::string::npos); // no region: no heading
  EXPECT_EQ(currentLogger().openStages(), 2u);       // the live stack is untouched
  gNow = 60 * kMs;
  ProfilingLog::end();
  ProfilingLog::end();
  EXPECT_EQ(currentLogger().openStages(), 0u);
}

TEST_F(Profiling, EndWithoutAStageIsAnInternalRestrictionOnlyWhileEnabled) {
  EXPECT_EXIT(
      ProfilingLog::end(), ::testing::ExitedWithCode(100),
      ::testing::MatchesRegex("Error: Compiler Internal Restriction: '!mCallStack\\.empty\\(\\)'"
                              "\\. Invalid to end profiler stage\\. No stage is active\\. "
                              "\\[util::internal::ProfilingLoggerImpl::end at "
                              "src/util/profiling\\.cpp:[0-9]+\\] "));
  util::SetFeatureBoolean("ProfilingLogEnabled", false);
  ProfilingLog::flush("");
  ProfilingLog::end(); // nothing happens
  ProfilingLog::begin({"ignored", ""});
  EXPECT_EQ(currentLogger().openStages(), 0u);
}

TEST_F(Profiling, ScopedStagesSurviveProfilingSwitchedInsideTheScope) {
  util::SetFeatureBoolean("ProfilingLogEnabled", false);
  ProfilingLog::flush("");
  {
    util::ScopedProfiling notOpened({"off", ""});
    util::SetFeatureBoolean("ProfilingLogEnabled", true);
    ProfilingLog::flush(""); // on from here: the scope's end must not close a stage it never had
    util::ScopedProfiling opened({"on", ""});
  }
  EXPECT_EQ(currentLogger().detailSnapshot().size(), 1u);
  {
    util::ScopedProfiling opened({"on", ""});
    util::SetFeatureBoolean("ProfilingLogEnabled", false);
    ProfilingLog::flush(""); // off from here: the opened stage is still closed
  }
  EXPECT_EQ(currentLogger().openStages(), 0u);
  util::SetFeatureBoolean("ProfilingLogEnabled", true);
  ProfilingLog::flush("");
  {
    util::ScopedProfiling opened({"reset inside", ""});
    ProfilingLog::reset(); // the stack is gone: nothing left to close, no failure
  }
  EXPECT_EQ(currentLogger().openStages(), 0u);
}

TEST_F(Profiling, RegionsNeedTheFlushFeature) {
  util::SetFeatureBoolean("ProfilingLogFlushRegions", false);
  ProfilingLog::flush("named");
  EXPECT_EQ(currentLogger().regionName(), "");
  stage("S", 0, 1);
  ProfilingLog::flush("other");
  EXPECT_TRUE(filesStartingWith("loom").empty());
  util::SetFeatureBoolean("ProfilingLogFlushRegions", true);
  ProfilingLog::flush("first"); // only names the region
  EXPECT_EQ(currentLogger().regionName(), "first");
  EXPECT_TRUE(filesStartingWith("loom").empty());
}

TEST_F(Profiling, IntervalRecordsAreWrittenInFullWritesOnly) {
  ProfilingLog::flush("ii");
  ProfilingLog::initiationInterval(3, 1.5, 2.0, 0.25);
  ProfilingLog::initiationInterval(-1, 0.0, 1e-7, 12345.5);
  endRegion();
  EXPECT_EQ(onlyFile("loomprofiler-II-"),
            "ii\n" + kEquals +
                "\n3,1.500000,2.000000,0.250000\n-1,0.000000,0.000000,12345.500000\n");
  EXPECT_TRUE(filesStartingWith("loomprofiler_ii_").empty()); // no stages: no summary
  util::SetFeatureBoolean("ProfilingIILogEnabled", false);
  ProfilingLog::flush("x");
  ProfilingLog::initiationInterval(1, 1, 1, 1);
  endRegion("y");
  EXPECT_EQ(filesStartingWith("loomprofiler-II-").size(), 1u);
}

TEST_F(Profiling, PeriodicOutputWritesSummaryAndDetailsOnly) {
  util::SetFeatureInteger("ProfilingLogOutputFrequency", 0);
  ProfilingLog::flush("");
  stage("P", 0, 100LL * 1000 * kMs);
  EXPECT_TRUE(filesStartingWith("loom").empty()); // frequency 0: never
  util::SetFeatureInteger("ProfilingLogOutputFrequency", 1);
  ProfilingLog::flush("");
  ProfilingLog::initiationInterval(1, 1, 1, 1);
  stage("P", 0, 1000 * kMs); // the first check only starts the clock
  stage("P", 1000 * kMs, 1500 * kMs);
  EXPECT_TRUE(filesStartingWith("loom").empty());
  stage("P", 1500 * kMs, 3100 * kMs); // more than one whole second later
  EXPECT_EQ(filesStartingWith("loomprofiler__").size(), 1u);
  EXPECT_EQ(filesStartingWith("loom_profiler_details__").size(), 1u);
  EXPECT_TRUE(filesStartingWith("loomprofiler-II-").empty());
}

TEST(ProfilingThreads, EachThreadHasItsOwnLogger) {
  util::ClearFeatures();
  util::SetFeatureBoolean("ProfilingLogEnabled", true);
  std::vector<util::internal::ProfilingLoggerImpl*> loggers(4);
  std::vector<std::size_t> records(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        util::ScopedProfiling outer({"outer", "x"});
        util::ScopedProfiling inner({"inner", "y"});
      }
      loggers[t] = &currentLogger();
      records[t] = currentLogger().detailSnapshot().size();
      ProfilingLog::reset();
    });
  for (auto& thread : threads)
    thread.join();
  std::set<util::internal::ProfilingLoggerImpl*> distinct(loggers.begin(), loggers.end());
  EXPECT_EQ(distinct.size(), 4u);
  EXPECT_EQ(distinct.count(&currentLogger()), 0u);
  for (std::size_t n : records)
    EXPECT_EQ(n, 400u);
  std::set<std::uint64_t> threadIds;
  for (auto* logger : loggers)
    threadIds.insert(logger->threadId());
  EXPECT_EQ(threadIds.size(), 4u);
  util::ClearFeatures();
}

class ProfilingShutdown : public TempDirTest {};

TEST_F(ProfilingShutdown, EveryEnabledLoggerReportsOnceAtExitAndTheTraceParses) {
  const CommandRun helper = runCommand(PROFILING_HELPER);
  ASSERT_EQ(helper.status, 0) << helper.output;
  EXPECT_EQ(filesStartingWith("loomprofiler__").size(), 2u); // one per thread's logger
  EXPECT_EQ(filesStartingWith("loom_profiler_details__").size(), 2u);
  const auto intervals = filesStartingWith("loomprofiler-II-");
  ASSERT_EQ(intervals.size(), 1u);
  EXPECT_EQ(readFile(intervals[0]), "3,1.500000,2.000000,0.250000\n");
  const auto traces = filesStartingWith("loomprofiler_trace__");
  ASSERT_GE(traces.size(), 1u);
  // Each logger's full write produces the same process-wide trace; check one.
  const CommandRun check = runCommand(std::string(LOOM_PYTHON) + " " + CHECK_TRACE_SCRIPT + " " +
                                      traces[0].string() + " 3");
  EXPECT_EQ(check.status, 0) << check.output;
  EXPECT_EQ(check.output, "ok 3 2\n");
  EXPECT_THAT(readFile(traces[0]),
              ::testing::HasSubstr("\"detail\":\"on \\\"another\\\" thread\""));
  EXPECT_THAT(readFile(traces[0]),
              ::testing::HasSubstr("\"detail\":\"a\\\\b\\u0001\\ufffd\xc3\xa9\""));
}

} // namespace
