// The child-process executable's entry point: CEF starts it for every
// renderer, GPU and utility process of the host.
#include "entry/child_process.h"

#if defined(_WIN32)
#include <windows.h>

int APIENTRY wWinMain(HINSTANCE instance,
                      HINSTANCE /*previous_instance*/,
                      LPWSTR /*command_line_text*/,
                      int /*show_command*/) {
  // The whole process command line, program path included, as CEF reads it.
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  if (command_line)
    command_line->InitFromString(::GetCommandLineW());
  CefMainArgs main_args(instance);
  return quillmoss::RunChildProcess(main_args, command_line);
}

#else

int main(int argc, char* argv[]) {
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  if (command_line)
    command_line->InitFromArgv(argc, argv);
  CefMainArgs main_args(argc, argv);
  return quillmoss::RunChildProcess(main_args, command_line);
}

#endif
