// CEF's two logging entry points, recording every line for the tests and
// optionally echoing it.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "cef_standin/src/logging_internal.h"
#include "cef_standin/src/standin_core.h"
#include "include/internal/cef_logging_internal.h"

namespace standin {
namespace {

std::atomic<int> g_min_log_level{0};

// cef_log() may be called from any thread; the records and the echo stream
// are guarded together so echoed lines come out whole and in record order.
struct LogState {
  std::mutex lock;
  std::vector<LogRecord> records;
  FILE* echo = nullptr;
};

LogState& GetLogState() {
  // Never destroyed: threads may still log while the process exits.
  static LogState* state = new LogState;
  return *state;
}

void WriteRecord(FILE* stream, const LogRecord& record) {
  std::fprintf(stream, "[%s:%s(%d)] %s\n",
               LogSeverityName(record.severity).c_str(), record.file.c_str(),
               record.line, record.message.c_str());
  std::fflush(stream);
}

}  // namespace

std::string LogSeverityName(int severity) {
  static const char* const kNames[] = {"INFO", "WARNING", "ERROR", "FATAL"};
  if (severity < kLogInfo)
    return "VERBOSE" + std::to_string(-severity);
  if (severity <= kLogFatal)
    return kNames[severity];
  return "UNKNOWN";
}

namespace internal {

ScopedProcessLog::ScopedProcessLog(FILE* stream) {
  LogState& state = GetLogState();
  std::lock_guard<std::mutex> guard(state.lock);
  previous_echo_ = state.echo;
  if (stream && stream != state.echo) {
    for (const LogRecord& record : state.records)
      WriteRecord(stream, record);
  }
  state.echo = stream;
}

ScopedProcessLog::~ScopedProcessLog() {
  LogState& state = GetLogState();
  std::lock_guard<std::mutex> guard(state.lock);
  state.echo = previous_echo_;
}

}  // namespace internal

const std::vector<LogRecord>& LogRecords() {
  return GetLogState().records;
}

void ClearLog() {
  LogState& state = GetLogState();
  std::lock_guard<std::mutex> guard(state.lock);
  state.records.clear();
}

void SetLogEcho(FILE* stream) {
  LogState& state = GetLogState();
  std::lock_guard<std::mutex> guard(state.lock);
  state.echo = stream;
}

void SetMinLogLevel(int level) {
  g_min_log_level.store(level, std::memory_order_relaxed);
}

}  // namespace standin

int cef_get_min_log_level() {
  return standin::g_min_log_level.load(std::memory_order_relaxed);
}

// No --v or --vmodule switch exists here, so every file gets what Chromium
// gives all files without them: the verbosity of the minimum log level
// (LOG_INFO gives 0, LOG_VERBOSE 1, anything above LOG_INFO -1).
int cef_get_vlog_level(const char* /*file_start*/, size_t /*N*/) {
  return std::max(-1, 0 /* LOG_INFO */ - cef_get_min_log_level());
}

// A FATAL line ends the process, as in CEF: CEF's wrapper relies on it for
// its DCHECKs, which log FATAL and carry on. The line reaches stderr even
// when the log is not echoed there, so a death test or a crashed run shows it.
void cef_log(const char* file, int line, int severity, const char* message) {
  standin::LogRecord record;
  record.file = file ? file : "";
  record.line = line;
  record.severity = severity;
  record.message = message ? message : "";

  standin::LogState& state = standin::GetLogState();
  std::lock_guard<std::mutex> guard(state.lock);
  if (state.echo)
    standin::WriteRecord(state.echo, record);
  if (severity >= standin::kLogFatal) {
    if (state.echo != stderr)
      standin::WriteRecord(stderr, record);
    std::abort();
  }
  state.records.push_back(std::move(record));
}

namespace standin {
namespace internal {

void NotImplemented(const char* what) {
  const std::string text =
      std::string("[stand-in] not implemented by the CEF stand-in: ") + what;
  cef_log("cef_standin", 0, kLogFatal, text.c_str());
  std::abort();  // cef_log() already has
}

}  // namespace internal
}  // namespace standin
