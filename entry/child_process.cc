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
  return CefExecuteProcess(main_args, app.get(), nullptr);
}

}  // namespace quillmoss
