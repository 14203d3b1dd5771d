// What the process entry does once it has the command line, shared by the
// Windows and the other platforms' entry points.
#ifndef QUILLMOSS_ENTRY_CHILD_PROCESS_H_
#define QUILLMOSS_ENTRY_CHILD_PROCESS_H_

#include "include/cef_app.h"

namespace quillmoss {

// Enables high-DPI support when |command_line| has the switch, then runs
// the child process under CEF with one application object. Returns CEF's
// result unchanged. |command_line| may be null.
int RunChildProcess(const CefMainArgs& main_args,
                    CefRefPtr<CefCommandLine> command_line);

}  // namespace quillmoss

#endif  // QUILLMOSS_ENTRY_CHILD_PROCESS_H_
