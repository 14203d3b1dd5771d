// CefExecuteProcess and CefEnableHighDPISupport of the stand-in.
#include <atomic>
#include <string>

#include "cef_standin/src/command_line_internal.h"
#include "cef_standin/src/logging_internal.h"
#include "cef_standin/src/renderer_internal.h"
#include "cef_standin/src/standin_core.h"
#include "include/cef_app.h"
#include "include/internal/cef_logging_internal.h"

namespace standin {

namespace {

std::atomic<int> g_high_dpi_support_calls{0};

// Set during static initialisation by a layer above (the simulator), read
// when a renderer starts: a plain pointer, constant-initialised to null, so
// no initialisation order can undo a registration.
RendererProcessRunner g_renderer_process_runner = nullptr;

// Scheme registration is accepted and forgotten: the renderer loads nothing.
class SchemeRegistrar : public CefSchemeRegistrar {
 public:
  bool AddCustomScheme(const CefString& scheme_name, int options) override {
    internal::RendererLog(kLogInfo, "[stand-in] custom scheme registered: " +
                                        scheme_name.ToString());
    return true;
  }
};

CefRefPtr<CefCommandLine> CommandLineOfProcess(const CefMainArgs& args) {
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
#if defined(_WIN32)
  command_line->InitFromString(::GetCommandLineW());
#else
  command_line->InitFromArgv(args.argc, args.argv);
#endif
  return command_line;
}

int RunRenderer(CefRefPtr<CefApp> application,
                CefRefPtr<CefCommandLine> command_line) {
  if (!command_line->HasSwitch("scenario")) {
    RendererError("renderer started without --scenario: nothing to run");
    return 1;
  }
  if (!g_renderer_process_runner) {
    RendererError(
        "no scenario runner linked into this executable: the scenario cannot "
        "run");
    return 1;
  }
  return g_renderer_process_runner(application, command_line);
}

}  // namespace

int HighDpiSupportCalls() {
  return g_high_dpi_support_calls.load();
}

void SetRendererProcessRunner(RendererProcessRunner runner) {
  g_renderer_process_runner = runner;
}

}  // namespace standin

int CefExecuteProcess(const CefMainArgs& args,
                      CefRefPtr<CefApp> application,
                      void* windows_sandbox_info) {
  CefRefPtr<CefCommandLine> command_line = standin::CommandLineOfProcess(args);
  const std::string process_type =
      command_line->GetSwitchValue("type").ToString();
  if (process_type.empty()) {
    // The browser process: CEF returns before it touches the application.
    standin::internal::SetGlobalCommandLine(command_line);
    return -1;
  }

  // A child process has no one to read its log but its parent: from here on
  // it goes to stderr, the lines logged before CEF started included.
  standin::internal::ScopedProcessLog process_log(stderr);

  if (application) {
    application->OnBeforeCommandLineProcessing(process_type, command_line);
    standin::SchemeRegistrar registrar;
    application->OnRegisterCustomSchemes(&registrar);
    application->GetResourceBundleHandler();
    application->GetBrowserProcessHandler();
    application->GetRenderProcessHandler();
  }
  // After the application's changes, which the process goes on with.
  standin::internal::SetGlobalCommandLine(command_line);

  if (process_type == "renderer")
    return standin::RunRenderer(application, command_line);
  // Other sub-processes (GPU, utility, ...) have nothing to do here.
  return 0;
}

void CefEnableHighDPISupport() {
  ++standin::g_high_dpi_support_calls;
  cef_log("cef_standin", 0, standin::kLogInfo,
          "[stand-in] CefEnableHighDPISupport() called");
}
