#include "util/profiling.h"

#include "util/feature_store.h"

#include "run_command.h"
#include "temp_dir.h"

#include <gmock/gmock.h>

#include <cmath>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

using namespace testing;
using namespace util;
using util::internal::currentLogger;
using Texts = std::vector<std::string>;

static std::int64_t gNow = 0; // the injected clock, in nanoseconds

// The texts of the working directory's files whose names start with `prefix`.
static Texts files(const std::string& prefix) {
  Texts texts;
  for (boost::filesystem::directory_iterator it("."), end; it != end; ++it)
    if (it->path().filename().string().rfind(prefix, 0) == 0) {
      std::ifstream in(it->path().string());
      texts.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
  return texts;
}

// Runs steps "<stage>@<ms>", which begin a stage, and "-@<ms>", which end the innermost one.
static void play(const std::string& steps) {
  std::istringstream in(steps);
  for (std::string step; in >> step;) {
    const std::size_t at = step.find('@');
    gNow = std::llround(std::stod(step.substr(at + 1)) * 1e6);
    step[0] == '-' ? ProfilingLog::end() : ProfilingLog::begin({step.substr(0, at), "d"});
  }
}

// Sets a feature and has the logger read the features (a region without a name writes nothing).
static void set(const char* feature, bool on) {
  SetFeatureBoolean(feature, on);
  ProfilingLog::flush("");
}

class Profiling : public TempDirTest {
protected:
  void SetUp() override {
    TempDirTest::SetUp();
    SetFeatureBoolean("ProfilingLogDetailedEnabled", true);
    SetFeatureBoolean("ProfilingIILogEnabled", true);
    SetFeatureBoolean("ProfilingLogFlushRegions", true);
    set("ProfilingLogEnabled", true);
    currentLogger().setClock(+[] { return gNow; });
  }
  void TearDown() override {
    ProfilingLog::reset();
    ClearFeatures();
    ProfilingLog::flush("");
    TempDirTest::TearDown();
  }
};

TEST_F(Profiling, ReportsOfNestedStagesCountOpenStagesUpToTheWritingMoment) {
  ProfilingLog::flush("r1"); // names the region
  play("A@0 B@10 -@20 B@50 -@80 C@80 D@85 -@90 -@95");
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
  EXPECT_EQ(files("loomprofiler-II-"), Texts{}); // no interval records
}

TEST_F(Profiling, RegionsNeedTheFlushFeatureAndIntervalsAreWrittenAtTheirEnd) {
  set("ProfilingLogFlushRegions", false);
  ProfilingLog::flush("named");
  play("S@0 -@0.000001"); // one nanosecond
  EXPECT_EQ(currentLogger().regionName(), "");
  set("ProfilingLogFlushRegions", true);
  ProfilingLog::flush("ii"); // only names the region: the one before had no name
  EXPECT_EQ(files("loom"), Texts{});
  ProfilingLog::initiationInterval(3, 1.5, 2.0, 0.25);
  ProfilingLog::initiationInterval(-1, 0.0, 1e-7, 12345.5);
  ProfilingLog::flush("w");
  const Texts intervals{"ii\n" + std::string(114, '=') +
                        "\n3,1.500000,2.000000,0.250000\n-1,0.000000,0.000000,12345.500000\n"};
  EXPECT_EQ(files("loomprofiler-II-"), intervals);
  // The summary of "ii", flat: its first column is 8 wide.
  EXPECT_THAT(files("loomprofiler_"), ElementsAre(HasSubstr("\n| 100.000% |       0.0000 |")));
  SetFeatureBoolean("ProfilingIILogEnabled", false);
  ProfilingLog::flush("x");
  ProfilingLog::initiationInterval(1, 1, 1, 1); // not recorded
  set("ProfilingIILogEnabled", true);           // region "x" ends with interval reports on
  EXPECT_EQ(files("loomprofiler-II-"), intervals);
}

TEST_F(Profiling, EndWithoutAStageIsAnInternalRestrictionOnlyWhileEnabled) {
  EXPECT_EXIT(ProfilingLog::end(), ExitedWithCode(100),
              MatchesRegex("Error: Compiler Internal Restriction: '!mCallStack\\.empty\\(\\)'"
                           "\\. Invalid to end profiler stage\\. No stage is active\\. "
                           "\\[util::internal::ProfilingLoggerImpl::end at "
                           "src/util/profiling\\.cpp:[0-9]+\\] "));
  set("ProfilingLogEnabled", false);
  play("-@0 ignored@1"); // nothing happens
  EXPECT_EQ(currentLogger().openStages(), 0u);
}

TEST_F(Profiling, ScopedStagesSurviveProfilingSwitchedInsideTheScope) {
  set("ProfilingLogEnabled", false);
  {
    ScopedProfiling notOpened({"off", ""});
    set("ProfilingLogEnabled", true); // the scope's end must not close a stage it never had
    ProfilingLog::begin({"on", ""});
  }
  EXPECT_EQ(currentLogger().openStages(), 1u);
  {
    ScopedProfiling opened({"on", ""});
    ProfilingLog::reset(); // the stack is gone: nothing left to close, no failure
  }
  {
    ScopedProfiling opened({"on", ""});
    set("ProfilingLogEnabled", false); // the opened stage is still closed
  }
  EXPECT_EQ(currentLogger().openStages(), 0u);
  EXPECT_EQ(currentLogger().detailSnapshot().size(), 1u);
}

TEST_F(Profiling, PeriodicOutputWritesSummaryAndDetailsOnly) {
  SetFeatureInteger("ProfilingLogOutputFrequency", 0);
  ProfilingLog::flush("");
  play("P@0 -@100000"); // frequency 0: never
  SetFeatureInteger("ProfilingLogOutputFrequency", 1);
  ProfilingLog::flush("");
  ProfilingLog::initiationInterval(1, 1, 1, 1);
  // The first end only starts the clock; one whole second later is not more than the frequency.
  play("P@0 -@1000 P@1000 -@2500");
  EXPECT_EQ(files("loom"), Texts{});
  play("P@2500 -@3100");
  EXPECT_EQ(files("loomprofiler__").size(), 1u);
  EXPECT_EQ(files("loom_profiler_details__").size(), 1u);
  EXPECT_EQ(files("loomprofiler-II-"), Texts{});
}

TEST(ProfilingThreads, EachThreadHasItsOwnLogger) {
  SetFeatureBoolean("ProfilingLogEnabled", true);
  std::vector<std::size_t> records(4);
  std::vector<std::uint64_t> ids(4);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < 4; ++t)
    threads.emplace_back([&, t] {
      for (int i = 0; i < 200; ++i) {
        ScopedProfiling outer({"outer", "x"});
        ScopedProfiling inner({"inner", "y"});
      }
      records[t] = currentLogger().detailSnapshot().size();
      ids[t] = currentLogger().threadId();
      ProfilingLog::reset(); // nothing left to report at exit
    });
  for (auto& thread : threads)
    thread.join();
  ids.push_back(currentLogger().threadId());
  EXPECT_EQ(std::set<std::uint64_t>(ids.begin(), ids.end()).size(), 5u);
  EXPECT_EQ(records, std::vector<std::size_t>(4, 400));
  ClearFeatures();
}

TEST_F(Profiling, EveryEnabledLoggerReportsOnceAtExitWithOneTrace) {
  const CommandRun helper = runCommand(PROFILING_HELPER);
  ASSERT_EQ(helper.status, 0) << helper.output;
  EXPECT_EQ(files("loomprofiler__").size(), 2u); // one per thread's logger
  EXPECT_EQ(files("loom_profiler_details__").size(), 2u);
  EXPECT_EQ(files("loomprofiler-II-"), Texts{"3,1.500000,2.000000,0.250000\n"});
  EXPECT_EQ(runCommand(std::string(LOOM_PYTHON) + " " + CHECK_TRACE_SCRIPT +
                       " loomprofiler_trace__*.json")
                .output,
            "ok 3 2\n");
}
