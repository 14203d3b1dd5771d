// What the stand-in's CEF implementation offers the layers above it (the
// driver, the simulator, tests): its log, its object counts, the outcome of
// page script, and the hook through which a renderer child process runs.
// Code built against a real CEF never sees it.
#ifndef CEF_STANDIN_SRC_STANDIN_CORE_H_
#define CEF_STANDIN_SRC_STANDIN_CORE_H_

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "include/cef_app.h"
#include "include/cef_command_line.h"

namespace standin {

// One line handed to cef_log().
struct LogRecord {
  std::string file;  // the source name given by the caller
  int line = 0;
  int severity = 0;
  std::string message;
};

// Every line logged since the last ClearLog(), in order.
const std::vector<LogRecord>& LogRecords();
void ClearLog();
// Also writes every line to |stream| as it comes (nullptr: silent).
void SetLogEcho(FILE* stream);
// What cef_get_min_log_level() answers (0 by default).
void SetMinLogLevel(int level);

// Number of stand-in objects (values, messages, browsers, frames, contexts,
// V8 values, task runners, command lines) alive right now.
int LiveObjectCount();

// Error lines logged since process start for a call that hits NOTREACHED()
// in CEF (a method on a value of the wrong kind, a call needing a context
// outside one) or fails a parameter check of CEF's C++ wrapper (an empty
// function name or dictionary key, a null value or message: "CEF wrapper
// DCHECK" lines). The system must never cause one.
int CefMisuseCount();

// While one is alive, calls on this thread skip the checks of CEF's C++
// wrapper. It stands for CEF's own code, which reaches the values without the
// wrapper: a dictionary that arrives over IPC, or one CefParseJSON() made, may
// hold an empty key that no wrapper call can set or read. For the driver's
// and the simulator's side of the process boundary, and for tests that build
// what the host sends; the system never runs under one.
class ScopedWrapperChecksOff {
 public:
  ScopedWrapperChecksOff();
  ~ScopedWrapperChecksOff();
  ScopedWrapperChecksOff(const ScopedWrapperChecksOff&) = delete;
  ScopedWrapperChecksOff& operator=(const ScopedWrapperChecksOff&) = delete;
};

// Times CefEnableHighDPISupport() was called in this process.
int HighDpiSupportCalls();

// Hands |flags| to V8 as CEF hands its javascript_flags setting to a
// renderer (--js-flags): once, before V8 is first used in the process. False
// when V8 is already running (or the stand-in has none).
bool SetV8Flags(const std::string& flags);

// Outcome of page script evaluated by the driver.
struct ScriptResult {
  bool ok = false;         // false: the script threw (or could not run)
  std::string value;       // JSON.stringify of the result, or String() of it
                           // when it has no JSON form ("undefined" etc.)
  std::string exception;   // the thrown value as text, when !ok
};

// A console.log/info/warn/error/debug call of page script, as CEF hands it
// to the browser process's CefDisplayHandler::OnConsoleMessage.
struct ConsoleMessage {
  int browser_id = 0;
  int64 frame_id = 0;
  std::string method;  // "log", "info", "warn", "error" or "debug"
  cef_log_severity_t level = LOGSEVERITY_INFO;
  std::string message;  // String() of every argument, joined by spaces
  std::string source;   // URL of the calling script; empty for eval'd code
  int line = 0;         // line of the call in that script
};
using ConsoleListener = std::function<void(const ConsoleMessage&)>;

// What CefExecuteProcess() does for `--type=renderer --scenario=FILE` once
// the application has seen the command line; returns the exit code. The
// core has no renderer of its own to run: a layer above registers one (the
// simulator does, from an object file linked into the executable).
using RendererProcessRunner = int (*)(CefRefPtr<CefApp> app,
                                      CefRefPtr<CefCommandLine> command_line);
// Registers |runner| (nullptr: none); the last registration wins. Meant for
// static initialisation, before CefExecuteProcess() runs.
void SetRendererProcessRunner(RendererProcessRunner runner);

}  // namespace standin

#endif  // CEF_STANDIN_SRC_STANDIN_CORE_H_
