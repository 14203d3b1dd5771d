// What the stand-in's CEF implementation offers the layers above it (the
// driver, the simulator, tests): its log, its object counts, the outcome of
// page script, the hook through which a renderer child process runs, and the
// renderer's parts that the driver plays CEF around. The one header of src/
// that those layers see; code built against a real CEF never sees it.
#ifndef CEF_STANDIN_SRC_STANDIN_CORE_H_
#define CEF_STANDIN_SRC_STANDIN_CORE_H_

#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "include/cef_app.h"
#include "include/cef_browser.h"
#include "include/cef_command_line.h"
#include "include/cef_frame.h"
#include "include/cef_process_message.h"
#include "include/cef_v8.h"

namespace standin {

// The severities cef_log() is given: Chromium's LOG_INFO to LOG_FATAL (not
// CEF's cef_log_severity_t of its settings, which counts from a default
// level). Below kLogInfo, verbose levels.
constexpr int kLogInfo = 0;
constexpr int kLogWarning = 1;
constexpr int kLogError = 2;
constexpr int kLogFatal = 3;
// The name of |severity| in a log line's prefix ("INFO" to "FATAL"), as
// Chromium's log writes it.
std::string LogSeverityName(int severity);

// One line handed to cef_log().
struct LogRecord {
  std::string file;  // the source name given by the caller
  int line = 0;
  int severity = kLogInfo;
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
  bool ok = false;        // false: the script threw (or could not run)
  std::string value;      // JSON.stringify of the result, or String() of it
                          // when it has no JSON form ("undefined" etc.)
  std::string exception;  // the thrown value as text, when !ok
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

// The renderer's parts, for the driver -----------------------------------
//
// The driver plays CEF's renderer process around them: it decides when
// browsers, frames and contexts come and go and when the application's hooks
// run. What CEF itself does at those points (how a hook is called, how a
// message arrives, how a context ends) is done here.

// An error line of the renderer, under the core's own source name.
void RendererError(const std::string& message);

// The renderer process's client id, which CEF puts in the upper 32 bits of
// every frame identifier it makes (cef_standin/README.md, fact 27); 4 unless
// set. Applies to frames made afterwards.
void SetRenderProcessClientId(int client_id);
int RenderProcessClientId();

// What the renderer's frames hand to the driver that made them.
class RendererLink {
 public:
  // |message| is already the sender-independent copy.
  virtual void RecordSentMessage(int browser_id,
                                 int64 frame_id,
                                 CefProcessId target,
                                 CefRefPtr<CefProcessMessage> message) = 0;
  virtual void RecordConsoleMessage(const ConsoleMessage& message) = 0;

 protected:
  virtual ~RendererLink() = default;
};

// A frame of a RendererBrowser.
class RendererFrame : public CefFrame {
 public:
  // The page's current context; null when there is none.
  virtual CefRefPtr<CefV8Context> context() const = 0;
  virtual void set_context(CefRefPtr<CefV8Context> context) = 0;
  // A frame whose page another renderer process holds: it has no context,
  // and CEF's browser methods other than GetFrameCount() do not see it.
  virtual bool remote() const = 0;
};

// A browser and its frame tree. The driver owns it until Detach(), which also
// breaks the browser <-> frame reference cycle; afterwards it answers like a
// closed browser.
class RendererBrowser : public CefBrowser {
 public:
  // |link| must outlive the browser or its Detach().
  static CefRefPtr<RendererBrowser> Create(int identifier, RendererLink* link);

  // Adds a frame below |parent|, a frame of this browser (the main frame when
  // null); the first frame added is the main frame. An empty |name| gets a
  // generated unique name. |remote|: the frame's page lives in another
  // renderer process. Null, with an error line, once detached.
  virtual CefRefPtr<RendererFrame> AddFrame(const std::string& name,
                                            CefRefPtr<RendererFrame> parent,
                                            bool remote) = 0;
  virtual CefRefPtr<RendererFrame> FindFrame(int64 identifier) const = 0;
  // Every frame in tree order, the main frame first.
  virtual std::vector<CefRefPtr<RendererFrame>> Frames() const = 0;
  // |frame| and every frame below it, in tree order.
  virtual std::vector<CefRefPtr<RendererFrame>> Subtree(
      CefRefPtr<RendererFrame> frame) const = 0;
  // Takes |frames| out of the frame list and detaches them, as Blink drops a
  // removed iframe: a handle kept of one answers like a closed frame.
  virtual void RemoveFrames(
      const std::vector<CefRefPtr<RendererFrame>>& frames) = 0;
  // Puts a new frame of the same name and place, local or |remote|, in the
  // place of |frame|, whose page moved between renderer processes; the
  // frames below it must be gone. The old frame is detached; the new one has
  // a new identifier, as the process that holds it makes it.
  virtual CefRefPtr<RendererFrame> SwapFrame(CefRefPtr<RendererFrame> frame,
                                             bool remote) = 0;
  virtual void Detach() = 0;
};

namespace internal {
class TaskQueue;
}  // namespace internal

// The renderer's main thread: its task queue, which runs only when told to,
// and what page contexts leave on it. GetForThread(TID_RENDERER) posts to the
// newest one alive.
class RendererThread {
 public:
  RendererThread();
  // Drops what is still queued and the handlers of functions whose contexts
  // went; the thread made before it is the renderer thread again.
  ~RendererThread();
  RendererThread(const RendererThread&) = delete;
  RendererThread& operator=(const RendererThread&) = delete;

  // A new page context for |frame| whose tasks post here. Null, with an
  // error line, when the build has no JavaScript engine.
  CefRefPtr<CefV8Context> CreateContext(CefRefPtr<CefFrame> frame) const;

  // Runs posted tasks, in posting order, until none is left (tasks posted
  // while running run too), then what the engine posted. Returns how many of
  // the posted tasks ran.
  size_t RunPendingTasks();
  size_t PendingTaskCount() const;

 private:
  const std::shared_ptr<internal::TaskQueue> queue_;
};

// Runs |task| at once as a task of the renderer thread: a context it left
// entered (one released while entered, which CEF cannot Exit()) is left
// afterwards, with an error line.
void RunAsRendererTask(const std::function<void()>& task);

// The application's render-process hooks, called as CEF calls them. Each does
// nothing (false) for a null |handler|.
//
// OnBrowserCreated with the empty, read-only dictionary CEF hands over when
// the browser side gave no extra info.
void CallBrowserCreated(CefRefPtr<CefRenderProcessHandler> handler,
                        CefRefPtr<CefBrowser> browser);
// OnContextCreated, with |context| entered as the page enters it, or
// OnContextReleased, with script forbidden; either gets an object of its own
// for the context.
enum class ContextHook { kCreated, kReleased };
void CallContextHook(ContextHook hook,
                     CefRefPtr<CefRenderProcessHandler> handler,
                     CefRefPtr<CefBrowser> browser,
                     CefRefPtr<CefFrame> frame,
                     CefRefPtr<CefV8Context> context);
// OnProcessMessageReceived, from the browser process, as a task of the
// renderer thread: |message| is copied and made read-only, and the copy is
// made invalid when the handler returns. Returns the handler's result.
bool CallProcessMessageReceived(CefRefPtr<CefRenderProcessHandler> handler,
                                CefRefPtr<CefBrowser> browser,
                                CefRefPtr<CefFrame> frame,
                                CefRefPtr<CefProcessMessage> message);

// Ends |context|: it and every object value of it become invalid, and V8 may
// collect it. Its functions keep their handlers until V8 collects them, as in
// CEF: called later from another context, they run in this one, frameless.
// |keep_entered|: page script that removed its own frame still runs in it.
void EndContext(CefRefPtr<CefV8Context> context, bool keep_entered = false);

// Runs |code| as page script in |context|, entered for the call.
ScriptResult RunScript(CefRefPtr<CefV8Context> context,
                       const std::string& code);

}  // namespace standin

#endif  // CEF_STANDIN_SRC_STANDIN_CORE_H_
