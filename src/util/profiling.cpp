// The profiling log: per-thread stage timing, reports and the trace.
#include "util/internal/profiling_logger.h"

#include "util/assert_handler.h"
#include "util/compiler.h"
#include "util/feature_store.h"
#include "util/internal/loom_feature_internal.h"
#include "util/internal/platform.h"
#include "util/messages.h"
#include "util/path_utils.h"

#include <fmt/format.h>
#include <fmt/printf.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <exception>

namespace util {
namespace internal {

namespace {

// Owns every logger ever created; never destroyed, so a thread that profiles while the
// process exits still finds its logger.
struct Registry {
  std::mutex lock;
  std::vector<std::unique_ptr<ProfilingLoggerImpl>> loggers;
};

Registry& registry() {
  static Registry* theRegistry = new Registry;
  return *theRegistry;
}

// Initial-exec TLS: one load from the thread pointer, which keeps disabled stages cheap.
thread_local ProfilingLoggerImpl* tLogger LOOM_INITIAL_EXEC_TLS = nullptr;

// The time base of the trace: the process's first profiling call.
std::int64_t traceEpoch() {
  static const std::int64_t epoch = steadyNow();
  return epoch;
}

std::string timeStamp() {
  const std::tm local = platform::localTime(std::time(nullptr));
  char text[51];
  const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%d-%H%M%S", &local);
  return std::string(text, n);
}

const std::string kDoubleRule(114, '=');
const std::string kSingleRule(114, '-');

// Text as a JSON string body: quotes, backslashes and control characters escaped, bytes
// that do not form valid UTF-8 replaced by U+FFFD.
std::string jsonEscape(const std::string& text) {
  std::string out;
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char c = s[i];
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
      ++i;
    } else if (c < 0x20) {
      out += fmt::format("\\u{:04x}", c);
      ++i;
    } else if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
    } else {
      // Length and lowest allowed second byte of a well-formed sequence (no overlongs, no
      // surrogates, nothing above U+10FFFF).
      std::size_t length = 0;
      unsigned char low = 0x80, high = 0xBF;
      if (c >= 0xC2 && c <= 0xDF)
        length = 2;
      else if (c >= 0xE0 && c <= 0xEF) {
        length = 3;
        low = c == 0xE0 ? 0xA0 : 0x80;
        high = c == 0xED ? 0x9F : 0xBF;
      } else if (c >= 0xF0 && c <= 0xF4) {
        length = 4;
        low = c == 0xF0 ? 0x90 : 0x80;
        high = c == 0xF4 ? 0x8F : 0xBF;
      }
      bool valid = length != 0 && i + length <= n && s[i + 1] >= low && s[i + 1] <= high;
      for (std::size_t k = 2; valid && k < length; ++k)
        valid = s[i + k] >= 0x80 && s[i + k] <= 0xBF;
      if (valid) {
        out.append(text, i, length);
        i += length;
      } else {
        out += "\\ufffd";
        ++i;
      }
    }
  }
  return out;
}

std::vector<ProfilingLoggerImpl*> allLoggers() {
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  std::vector<ProfilingLoggerImpl*> loggers;
  for (const auto& logger : r.loggers)
    loggers.push_back(logger.get());
  return loggers;
}

// Set while the reports are written at exit, when the host's message interface may already
// be destroyed with the host's other statics.
std::atomic<bool> gExiting{false};

// Writes one report whole into a file of its own in the directory "ProfilingLogDirectory"
// names (created when missing, with MakeDirectory's own reporting), else in the working
// directory. A name already taken (another thread's logger, an earlier region in the same
// second) gets "-2", "-3", ... before its extension, so no report replaces another. A report
// that cannot be written whole is removed and reported once, with the system's reason: to the
// host's message interface ("PROFILING_LOG_NOT_WRITTEN", parameters "path" and "reason"), or
// at exit on standard error.
void writeReport(const std::string& fileName, const std::string& text) {
  const std::string directory = GetFeature(Features::PROFILING_LOG_DIRECTORY);
  std::string path = fileName;
  if (!directory.empty()) {
    io::MakeDirectory(directory.c_str(), true);
    path = io::Path(directory).join(fileName).string();
  }
  std::string usedPath;
  const platform::WriteOutcome outcome = platform::writeNewFile(path, text, usedPath);
  if (outcome.written)
    return;
  const std::string reason = platform::describeFailure(outcome.failedStep, outcome.error);
  if (gExiting)
    std::fprintf(stderr, "Warning: profiling report not written: %s: %s\n", usedPath.c_str(),
                 reason.c_str());
  else
    getMessageInterface()->warning("PROFILING_LOG_NOT_WRITTEN",
                                   {{"path", usedPath}, {"reason", reason}});
}

// One Chrome trace-event document with the finished stages of every logger; none when no
// logger has finished a stage.
void writeTrace(const std::string& region, const std::string& stamp) {
  std::vector<std::pair<std::uint64_t, std::vector<ProfilingLoggerImpl::DetailRecord>>> threads;
  bool anyStage = false;
  for (ProfilingLoggerImpl* logger : allLoggers()) {
    threads.emplace_back(logger->threadId(), logger->detailSnapshot());
    anyStage = anyStage || !threads.back().second.empty();
  }
  if (!anyStage)
    return;
  const std::uint64_t pid = platform::processId();
  const std::int64_t epoch = traceEpoch();
  std::string out = "{\"displayTimeUnit\":\"ms\",\"traceEvents\":[";
  bool first = true;
  const auto separate = [&] {
    if (!first)
      out += ",\n";
    first = false;
  };
  for (const auto& thread : threads) {
    const std::uint64_t tid = thread.first;
    separate();
    out += fmt::format("{{\"name\":\"thread_name\",\"ph\":\"M\",\"pid\":{},\"tid\":{},"
                       "\"args\":{{\"name\":\"loom thread {}\"}}}}",
                       pid, tid, tid);
    for (const auto& record : thread.second) {
      const auto cut = record.path.rfind("::");
      const std::string name = cut == std::string::npos ? record.path : record.path.substr(cut + 2);
      separate();
      out += fmt::format("{{\"name\":\"{}\",\"cat\":\"loom\",\"ph\":\"X\",\"ts\":{:.3f},"
                         "\"dur\":{:.3f},\"pid\":{},\"tid\":{},\"args\":{{\"path\":\"{}\","
                         "\"detail\":\"{}\"}}}}",
                         jsonEscape(name), static_cast<double>(record.start - epoch) / 1000.0,
                         static_cast<double>(record.duration) / 1000.0, pid, tid,
                         jsonEscape(record.path), jsonEscape(record.detail));
    }
  }
  out += "]}\n";
  writeReport(fmt::format("loomprofiler_trace_{}_{}.json", region, stamp), out);
}

// Writes every enabled logger's reports once when the library's statics are destroyed.
void writeExitReports() {
  const std::vector<ProfilingLoggerImpl*> loggers = allLoggers();
  const std::string stamp = timeStamp();
  const ProfilingLoggerImpl* first = nullptr;
  for (ProfilingLoggerImpl* logger : loggers) {
    if (!logger->isEnabled())
      continue;
    logger->writeReports(stamp);
    first = first != nullptr ? first : logger;
  }
  // One trace for the whole process, named after the first enabled logger's region.
  if (first != nullptr && GetFeature(Features::PROFILING_LOG_TRACE_ENABLED))
    writeTrace(first->regionName(), stamp);
  for (ProfilingLoggerImpl* logger : loggers)
    logger->reset();
}

// An exception out of a static's destructor would end the process; at exit the reports that
// could not be written are only worth a line on standard error.
struct ShutdownReports {
  ShutdownReports() { registry(); }
  ~ShutdownReports() {
    gExiting = true;
    try {
      writeExitReports();
    } catch (const std::exception& e) {
      std::fprintf(stderr, "Warning: profiling reports not written at exit: %s\n", e.what());
    } catch (...) {
      std::fprintf(stderr, "Warning: profiling reports not written at exit\n");
    }
  }
};
ShutdownReports gShutdownReports;

} // namespace

std::int64_t steadyNow() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

namespace {
// The calling thread's first use of the log: its logger is made and registered.
LOOM_NOINLINE ProfilingLoggerImpl& newThreadLogger() {
  traceEpoch();
  Registry& r = registry();
  std::lock_guard<std::mutex> guard(r.lock);
  r.loggers.push_back(std::make_unique<ProfilingLoggerImpl>(platform::currentThreadId()));
  tLogger = r.loggers.back().get();
  return *tLogger;
}

// The calling thread's logger. Calls inside the library come here rather than to the exported
// currentLogger, which they would reach through the PLT: a disabled stage is one TLS load and
// one test.
inline ProfilingLoggerImpl& threadLogger() {
  return LOOM_LIKELY(tLogger != nullptr) ? *tLogger : newThreadLogger();
}
} // namespace

ProfilingLoggerImpl& currentLogger() {
  return threadLogger();
}

ProfilingLoggerImpl::ProfilingLoggerImpl(std::uint64_t threadId)
    : mClock(&steadyNow), mThreadId(threadId) {
  readFeatures();
}

void ProfilingLoggerImpl::readFeatures() {
  mEnabled = GetFeature(Features::PROFILING_LOG_ENABLED);
  mDetailedEnabled = GetFeature(Features::PROFILING_LOG_DETAILED_ENABLED);
  mIIEnabled = GetFeature(Features::PROFILING_II_LOG_ENABLED);
  mOutputFrequency = GetFeature(Features::PROFILING_LOG_OUTPUT_FREQUENCY_SECONDS);
}

void ProfilingLoggerImpl::begin(const ProfilingInfo& info) {
  const std::string stage = info.stage != nullptr ? info.stage : "";
  std::string path =
      mCallStack.empty() ? stage : fmt::sprintf("%s::%s", mCallStack.back().path, stage);
  mCallStack.push_back(Frame{now(), std::move(path), info.detail != nullptr ? info.detail : ""});
}

namespace {
// Records one closed frame in the statistics: the innermost of `stack`, which it pops.
void closeFrame(std::map<std::string, ProfilingLoggerImpl::StageStats>& stats,
                std::vector<ProfilingLoggerImpl::Frame>& stack, std::int64_t now) {
  const ProfilingLoggerImpl::Frame& top = stack.back();
  const std::int64_t d = now - top.start;
  const auto it = stats.find(top.path);
  if (it != stats.end()) {
    ++it->second.invocations;
    it->second.maximum = std::max(it->second.maximum, d);
    it->second.minimum = std::min(it->second.minimum, d);
    it->second.total += d;
  } else {
    const std::string parent = stack.size() < 2 ? "Root" : stack[stack.size() - 2].path;
    stats.emplace(top.path, ProfilingLoggerImpl::StageStats{
                                parent, static_cast<std::int64_t>(stack.size()) - 1, 1, d, d, d});
  }
  stack.pop_back();
}
} // namespace

void ProfilingLoggerImpl::end() {
  LOOM_ASSERT_MSG(!mCallStack.empty(), "Invalid to end profiler stage. No stage is active.");
  const std::int64_t t = now();
  const Frame& top = mCallStack.back();
  auto record = std::make_unique<DetailRecord>(
      DetailRecord{top.path, top.detail, t - top.start, top.start,
                   static_cast<std::int64_t>(mCallStack.size()) - 1});
  closeFrame(mStageStats, mCallStack, t);
  {
    std::lock_guard<std::mutex> guard(mDetailsLock);
    mDetails.push_back(std::move(record));
  }
  periodicOutput(t);
}

void ProfilingLoggerImpl::periodicOutput(std::int64_t t) {
  if (mOutputFrequency <= 0)
    return;
  static std::atomic<std::int64_t> lastOutput(t);
  if ((t - lastOutput.load(std::memory_order_relaxed)) / 1000000000 > mOutputFrequency) {
    const std::string stamp = timeStamp();
    writeSummary(stamp);
    writeDetails(stamp);
    lastOutput.store(t, std::memory_order_relaxed);
  }
}

void ProfilingLoggerImpl::flush(const std::string& region) {
  readFeatures();
  if (!GetFeatureBooleanWithDefault(internal::kProfilingFlushRegionsKey, false))
    return;
  if (!mRegionName.empty()) {
    if (mEnabled)
      writeAll();
    reset();
  }
  mRegionName = region;
}

void ProfilingLoggerImpl::initiationInterval(int value, double a, double b, double c) {
  if (mIIEnabled)
    mIntervals.push_back(IntervalRecord{value, a, b, c});
}

void ProfilingLoggerImpl::reset() {
  {
    std::lock_guard<std::mutex> guard(mDetailsLock);
    mDetails.clear();
  }
  mCallStack.clear();
  mStageStats.clear();
  mIntervals.clear();
}

std::vector<ProfilingLoggerImpl::DetailRecord> ProfilingLoggerImpl::detailSnapshot() const {
  std::lock_guard<std::mutex> guard(mDetailsLock);
  std::vector<DetailRecord> copy;
  copy.reserve(mDetails.size());
  for (const auto& record : mDetails)
    copy.push_back(*record);
  return copy;
}

std::string ProfilingLoggerImpl::heading() const {
  return mRegionName.empty() ? std::string() : mRegionName + "\n" + kDoubleRule + "\n";
}

void ProfilingLoggerImpl::writeReports(const std::string& stamp) const {
  writeSummary(stamp);
  writeDetails(stamp);
  writeIntervals(stamp);
}

void ProfilingLoggerImpl::writeAll() {
  const std::string stamp = timeStamp();
  writeReports(stamp);
  if (GetFeature(Features::PROFILING_LOG_TRACE_ENABLED))
    writeTrace(mRegionName, stamp);
}

void ProfilingLoggerImpl::writeSummary(const std::string& stamp) const {
  if (!mEnabled)
    return;
  // Stages still running count up to now; the live logger is left as it is.
  std::map<std::string, StageStats> stats = mStageStats;
  std::vector<Frame> stack = mCallStack;
  const std::int64_t t = now();
  while (!stack.empty())
    closeFrame(stats, stack, t);
  if (stats.empty())
    return;

  std::map<std::string, std::int64_t> bases;
  std::int64_t rootBase = 0, deepest = 0;
  for (const auto& entry : stats) {
    if (entry.second.depth > 0)
      bases[entry.second.parent] += entry.second.total;
    else
      rootBase += entry.second.total;
    deepest = std::max(deepest, entry.second.depth);
  }
  const auto width = static_cast<int>(2 * deepest + 8);
  const std::string headerFormat =
      fmt::sprintf("| %%-%is | %%-12s | %%-12s | %%-12s | %%-12s | %%-12s | %%s ", width);
  const std::string rowFormat =
      fmt::sprintf("| %%-%is | %%12.4f | %%12.4f | %%12.4f | %%12.4f | %%12d | %%s ", width);

  std::string out = heading();
  out += fmt::sprintf(headerFormat, "%", "Total (ms)", "Min (ms)", "Max (ms)", "Avg (ms)",
                      "Invocations", "Stage") +
         "\n" + kSingleRule + "\n";
  for (const auto& entry : stats) {
    const StageStats& s = entry.second;
    const std::string indent(static_cast<std::size_t>(2 * s.depth), ' ');
    const std::int64_t base = s.depth > 0 ? bases[s.parent] : rootBase;
    const float percent =
        base == 0 ? 0.0f : static_cast<float>(s.total) * 100.0f / static_cast<float>(base);
    out += fmt::sprintf(rowFormat, indent + fmt::sprintf("%.3f%%", percent),
                        static_cast<double>(s.total) / 1e6, static_cast<double>(s.minimum) / 1e6,
                        static_cast<double>(s.maximum) / 1e6,
                        static_cast<double>(s.total) / (static_cast<double>(s.invocations) * 1e6),
                        s.invocations, indent + entry.first) +
           "\n";
  }
  out += kSingleRule + "\n";
  writeReport(fmt::format("loomprofiler_{}_{}_{}.log", mRegionName,
                          reinterpret_cast<std::uintptr_t>(this), stamp),
              out);
}

void ProfilingLoggerImpl::writeDetails(const std::string& stamp) const {
  if (!mEnabled || !mDetailedEnabled)
    return;
  const std::vector<DetailRecord> records = detailSnapshot();
  if (records.empty())
    return;
  std::string out = heading();
  for (const DetailRecord& record : records)
    out += fmt::sprintf("%s,%s,%i", record.path, record.detail, record.duration) + "\n";
  writeReport(fmt::format("loom_profiler_details_{}_{}_{}.log", mRegionName,
                          reinterpret_cast<std::uintptr_t>(this), stamp),
              out);
}

void ProfilingLoggerImpl::writeIntervals(const std::string& stamp) const {
  if (!mIIEnabled || mIntervals.empty())
    return;
  std::string out = heading();
  for (const IntervalRecord& r : mIntervals)
    out += fmt::sprintf("%d,%f,%f,%f", r.value, r.a, r.b, r.c) + "\n";
  writeReport(fmt::format("loomprofiler-II-{}.log", stamp), out);
}

} // namespace internal

void ProfilingLog::begin(const ProfilingInfo& info) {
  internal::ProfilingLoggerImpl& logger = internal::threadLogger();
  if (logger.isEnabled())
    logger.begin(info);
}

void ProfilingLog::end() {
  internal::ProfilingLoggerImpl& logger = internal::threadLogger();
  if (logger.isEnabled())
    logger.end();
}

bool ProfilingLog::beginScoped(const ProfilingInfo& info) {
  internal::ProfilingLoggerImpl& logger = internal::threadLogger();
  if (!logger.isEnabled())
    return false;
  logger.begin(info);
  return true;
}

void ProfilingLog::endScoped() {
  internal::ProfilingLoggerImpl& logger = internal::threadLogger();
  if (logger.openStages() > 0)
    logger.end();
}

void ProfilingLog::flush(const std::string& region) {
  internal::threadLogger().flush(region);
}

void ProfilingLog::initiationInterval(int value, double a, double b, double c) {
  internal::threadLogger().initiationInterval(value, a, b, c);
}

void ProfilingLog::reset() {
  internal::threadLogger().reset();
}

} // namespace util
