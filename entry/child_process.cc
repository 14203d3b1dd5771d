#include "entry/child_process.h"

#include "app/quillmoss_app.h"

namespace quillmoss {

int RunChildProcess(const CefMainArgs& main_args,
                    CefRefPtr<CefCommandLine> command_line) {
  // CEF's wrapper yields no command line when the loaded library has another
  // API version; CEF itself still decides what happens next.
  // Presence alone decides: "--enable-high-dpi-support=0" enables it too.
  if (command_line && command_line->HasSwitch("enable-high-dpi-support"))
    CefEnableHighDPISupport();

  CefRefPtr<QuillmossApp> app(new QuillmossApp);
  const int exit_code = CefExecuteProcess(main_args, app.get(), nullptr);
  // No page script runs past CefExecuteProcess(), which has let go of the
  // app: released here, the app and the V8 values its callback registry and
  // built-ins still hold go now, before this returns, not in static
  // destruction. No handler of ours keeps it (V8FunctionHandler points at it
  // without a reference); an installation task that was posted but never ran
  // does (base::Bind holds a reference), and goes with CEF's task queue when
  // the renderer's message loop ends, before CefExecuteProcess() returns.
  app = nullptr;
  return exit_code;
}

}  // namespace quillmoss
