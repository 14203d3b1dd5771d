// The driver plays CEF's renderer process and the host's browser process for
// tests, benchmarks and the command-line simulator. It lives outside the
// CEF-shaped headers: code that is built against a real CEF never sees it.
#ifndef CEF_STANDIN_DRIVER_RENDERER_DRIVER_H_
#define CEF_STANDIN_DRIVER_RENDERER_DRIVER_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "include/cef_app.h"

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
// outside one). The system must never cause one.
int CefMisuseCount();

// Times CefEnableHighDPISupport() was called in this process.
int HighDpiSupportCalls();

// A message a frame sent (SendProcessMessage), deep-copied when it was sent.
struct SentMessage {
  int browser_id = 0;
  int64 frame_id = 0;
  CefProcessId target = PID_BROWSER;
  CefRefPtr<CefProcessMessage> message;
};

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

// One renderer process. The application's render-process handler is asked
// for once, at construction. Frames and browsers keep a non-owning pointer
// back to the renderer; destroy the renderer last.
class Renderer {
 public:
  explicit Renderer(CefRefPtr<CefApp> app);
  ~Renderer();
  Renderer(const Renderer&) = delete;
  Renderer& operator=(const Renderer&) = delete;

  // Creates a browser with its main frame (unnamed unless |main_frame_name|
  // is given); calls OnBrowserCreated. Returns the browser id (1, 2, ...).
  int CreateBrowser(const std::string& main_frame_name = std::string());
  // Adds a sub-frame (child of |parent_id|, or of the main frame when 0).
  // An empty name gets a generated unique name. Returns its identifier.
  int64 AddFrame(int browser_id,
                 const std::string& name,
                 int64 parent_id = 0);
  // Calls OnBrowserDestroyed; contexts still alive are released first.
  void DestroyBrowser(int browser_id);

  CefRefPtr<CefBrowser> GetBrowser(int browser_id);
  CefRefPtr<CefFrame> GetFrame(int browser_id, int64 frame_id);
  int64 MainFrameId(int browser_id);

  // Creates a fresh V8 context for the frame (releasing the previous one, as
  // a navigation does) and calls OnContextCreated with it entered.
  void CreateContext(int browser_id, int64 frame_id);
  // Calls OnContextReleased (nothing entered, script forbidden), then makes
  // the context and every object value of it invalid.
  void ReleaseContext(int browser_id, int64 frame_id);

  // Delivers a message from the browser process through the frame: the
  // message is copied, made read-only, handed to OnProcessMessageReceived
  // and made invalid when that returns. Returns the handler's result.
  bool DeliverMessage(int browser_id,
                      int64 frame_id,
                      CefRefPtr<CefProcessMessage> message);

  // Runs |code| in the frame's current context, entered for the call.
  ScriptResult Eval(int browser_id, int64 frame_id, const std::string& code);

  // Runs |code| in the source frame's context and sets its result as the
  // global |name| of the target frame's context (same browser), as page
  // script reaches another frame's values (a parent keeping an iframe's
  // function). What is kept outlives the source frame's context. False, with
  // an error line, when either frame has no context or |code| threw.
  bool KeepValue(int browser_id,
                 int64 from_frame_id,
                 const std::string& code,
                 int64 to_frame_id,
                 const std::string& name);

  // Runs posted tasks, in posting order, until none is left (tasks posted
  // while running run too). Returns how many ran.
  size_t RunPendingTasks();
  size_t PendingTaskCount() const;

  // Messages sent through any frame of this renderer, oldest first.
  const std::vector<SentMessage>& SentMessages() const;
  void ClearSentMessages();

  // Called for every console message of page script, while the script
  // runs. Without a listener console calls are dropped.
  void SetConsoleListener(ConsoleListener listener);

  // The hooks as they come when CEF calls them late, after
  // OnBrowserDestroyed: with the destroyed browser and its detached frame.
  // A fresh context is made for the context hooks and disposed afterwards.
  // Each needs a browser that DestroyBrowser() destroyed.
  void CreateContextAfterDestroy(int browser_id, int64 frame_id);
  void ReleaseContextAfterDestroy(int browser_id, int64 frame_id);
  bool DeliverMessageAfterDestroy(int browser_id,
                                  int64 frame_id,
                                  CefRefPtr<CefProcessMessage> message);

  CefRefPtr<CefRenderProcessHandler> handler() const;

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace standin

#endif  // CEF_STANDIN_DRIVER_RENDERER_DRIVER_H_
