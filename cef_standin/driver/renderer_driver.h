// The driver plays CEF's renderer process and the host's browser process for
// tests, benchmarks and the command-line simulator. It lives outside the
// CEF-shaped headers: code that is built against a real CEF never sees it.
// The core's log, object counts and ScriptResult come with it
// (standin_core.h).
#ifndef CEF_STANDIN_DRIVER_RENDERER_DRIVER_H_
#define CEF_STANDIN_DRIVER_RENDERER_DRIVER_H_

#include <functional>
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
  // The same for a browser that other renderer processes hold too: it takes
  // |browser_id| (0: the next), and its main frame is remote in this process
  // when |main_frame_remote|. 0, with an error line, when the id is open here.
  int CreateBrowser(const std::string& main_frame_name,
                    int browser_id,
                    bool main_frame_remote);
  // Adds a sub-frame (child of |parent_id|, or of the main frame when 0).
  // An empty name gets a generated unique name. |remote|: its page lives in
  // another renderer process, and this one sees it only in GetFrameCount().
  // Returns its identifier.
  int64 AddFrame(int browser_id,
                 const std::string& name,
                 int64 parent_id = 0,
                 bool remote = false);
  // The frame's page moves between processes, as a cross-site navigation
  // moves it: the frames below it go as RemoveFrame() removes them, the
  // frame's context is released, and a new frame, |remote| or local, takes
  // its place under a new identifier (returned; 0 with an error line).
  int64 SwapFrame(int browser_id, int64 frame_id, bool remote);
  // Calls OnBrowserDestroyed; contexts still alive are released first.
  void DestroyBrowser(int browser_id);

  CefRefPtr<CefBrowser> GetBrowser(int browser_id);
  CefRefPtr<CefFrame> GetFrame(int browser_id, int64 frame_id);
  // Also when the main frame is remote here.
  int64 MainFrameId(int browser_id);

  // What acts on a page (contexts, messages, script) refuses a remote frame
  // with an error line: its page is in another process.
  //
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

  // Removes the sub-frame and every frame below it, as page script removing
  // an iframe does in CEF 81: their contexts are released at once, children
  // first (OnContextReleased, script forbidden), then the frames leave the
  // browser's frame list. A handle kept of one answers like a closed frame
  // (GetBrowser() null, what is sent through it goes nowhere), and so do its
  // contexts (GetFrame() and GetBrowser() null). May run while page script
  // runs, also script of a frame it removes, which goes on in its released
  // context. False, with an error line, for a main frame or an unknown frame.
  bool RemoveFrame(int browser_id, int64 frame_id);
  // Gives the page of the frame's current context the power to remove frames
  // of its browser: the global function |name| (not enumerable), called as
  // name(frame) with a frame's CEF name (as CefBrowser::GetFrame(name) finds
  // it) or identifier, removes that frame (RemoveFrame) and returns whether
  // it did. False, with an error line, when the frame has no context.
  bool DefineFrameRemover(int browser_id,
                          int64 frame_id,
                          const std::string& name);

  // Runs |task| at once as a task of the renderer's thread, as the delivery
  // of a message runs: a context it left entered (one released while entered,
  // which CEF cannot Exit()) is left afterwards, with an error line.
  void RunAsTask(const std::function<void()>& task);

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
