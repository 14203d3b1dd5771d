// The renderer's seam with its JavaScript engine. v8_engine*.cc implement it
// with V8, so that browsers, frames, tasks and what the driver reaches
// through standin_core.h never see V8's headers. The renderer's log, which
// both sides write, is renderer_internal.cc.
#ifndef CEF_STANDIN_SRC_RENDERER_INTERNAL_H_
#define CEF_STANDIN_SRC_RENDERER_INTERNAL_H_

#include <functional>
#include <string>

#include "cef_standin/src/standin_core.h"
#include "include/cef_frame.h"
#include "include/cef_task.h"
#include "include/cef_v8.h"

namespace standin {
namespace internal {

// Every line the renderer half logs goes through here, under one source name
// (RendererError() in standin_core.h too).
void RendererLog(int severity, const std::string& message);
// One more for CefMisuseCount(): a misuse line (RendererMisuse()) or a failed
// wrapper check (VerifyParam()).
void CountMisuse();
// Where CEF hits NOTREACHED() (a method on a value of the wrong kind, a call
// that needs a context outside one): silent in release builds of CEF, a crash
// with DCHECKs on. An error line that says so, counted for CefMisuseCount().
void RendererMisuse(const std::string& message);
// Where CEF 81 itself aborts (or corrupts) the renderer, whatever the caller
// checked beforehand: a fatal line naming the limitation, then abort().
[[noreturn]] void RendererFatal(const std::string& message);

// A new page context for |frame|, posting its tasks to |runner|. The context
// keeps both until it is disposed. nullptr when the build has no engine.
CefRefPtr<CefV8Context> CreateFrameContext(CefRefPtr<CefFrame> frame,
                                           CefRefPtr<CefTaskRunner> runner);

// What CefFrame::GetV8Context() answers when the frame has no context: an
// object that is not valid.
CefRefPtr<CefV8Context> CreateInvalidContext();

// A new CefV8Context object for the page context of |context|, as CEF makes
// one for every GetV8Context(), GetCurrentContext() and context hook. Each
// counts its own Enter() and Exit() calls (cef_standin/README.md, fact 23).
CefRefPtr<CefV8Context> NewContextWrapper(CefRefPtr<CefV8Context> context);

// Runs |callback| with |context| entered the way the page enters it: not
// counted by CefV8Context::Enter(), so an unmatched Exit() still fails.
void RunInContext(CefRefPtr<CefV8Context> context,
                  const std::function<void()>& callback);

// Runs |callback| with script forbidden, as Blink does while it tells the
// embedder that a context goes away.
void RunWithScriptForbidden(const std::function<void()>& callback);

// Invalidates |context| and every object value of it and lets V8 collect
// it. Its functions keep their handlers until V8 collects them, as in CEF:
// called later from another context, they run in this one, frameless.
// |keep_entered|: page script that removed its own frame still runs in it.
void DisposeContext(CefRefPtr<CefV8Context> context, bool keep_entered = false);

// How deep contexts are entered now, and leaving what is above |depth| with
// an error line: what a task left entered (a context released while a
// CefV8Context::Enter() of it was pending, which CEF cannot Exit()).
size_t EnteredContextDepth();
void LeaveContextsAbove(size_t depth);

// Releases the handlers of functions whose contexts went but which V8 has
// not collected yet; the renderer calls it when it goes.
void DropLeftoverFunctions();

// Runs page script in |context| (entered for the call) for the driver
// (RunScript()) and for CefFrame::ExecuteJavaScript().
ScriptResult RunPageScript(CefRefPtr<CefV8Context> context,
                           const std::string& code,
                           const std::string& script_url,
                           int start_line);

// Routes a console call of |frame|'s page script to its renderer
// (browser_frame.cc); the engine fills in method, level, text and place.
void ReportConsoleMessage(CefRefPtr<CefFrame> frame, ConsoleMessage message);

// Whether any context is entered right now.
bool IsAnyContextEntered();

// Runs what the engine posted to the renderer thread for later (V8's
// platform tasks, among them the release of collected functions' handlers).
void RunEngineTasks();

// A full garbage collection, so tests can prove what survives it.
void CollectGarbageForTesting();

// How many page contexts V8 has made so far: a frame's is made on first use.
int ContextsMadeForTesting();

}  // namespace internal
}  // namespace standin

#endif  // CEF_STANDIN_SRC_RENDERER_INTERNAL_H_
