// The driver plays CEF's renderer process and the host's browser process for
// tests, benchmarks and the command-line simulator. It lives outside the
// CEF-shaped headers: code that is built against a real CEF never sees it.
// The core's log, object counts and ScriptResult come with it
// (standin_core.h).
#ifndef CEF_STANDIN_DRIVER_RENDERER_DRIVER_H_
#define CEF_STANDIN_DRIVER_RENDERER_DRIVER_H_

#include <memory>
#include <string>
#include <vector>

#include "include/cef_app.h"
#include "standin_core.h"

namespace standin {

// A message a frame sent (SendProcessMessage), deep-copied when it was sent.
struct SentMessage {
  int browser_id = 0;
  int64 frame_id = 0;
  CefProcessId target = PID_BROWSER;
  CefRefPtr<CefProcessMessage> message;
};

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

  // Runs posted tasks, in posting order, until none is left (tasks posted
  // while running run too). Returns how many ran.
  size_t RunPendingTasks();
  size_t PendingTaskCount() const;

  // Messages sent through any frame of this renderer, oldest first.
  const std::vector<SentMessage>& SentMessages() const;
  void ClearSentMessages();

  CefRefPtr<CefRenderProcessHandler> handler() const;

  class Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace standin

#endif  // CEF_STANDIN_DRIVER_RENDERER_DRIVER_H_
