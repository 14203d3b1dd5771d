// What the rest of the stand-in (and its tests) need of the command line.
#ifndef CEF_STANDIN_SRC_COMMAND_LINE_INTERNAL_H_
#define CEF_STANDIN_SRC_COMMAND_LINE_INTERNAL_H_

#include <string>
#include <vector>

#include "include/cef_command_line.h"

namespace standin {
namespace internal {

// Makes the global command line (CefCommandLine::GetGlobalCommandLine) hold
// what |command_line| holds; nullptr empties it. The global object stays the
// same one and stays read-only.
void SetGlobalCommandLine(CefRefPtr<CefCommandLine> command_line);

// Splits a Windows command line into argv as CommandLineToArgvW does: the
// program name runs to the first whitespace or, when it begins with a quote,
// to the next quote; the other arguments follow the backslash-and-quote
// rules. An empty |command_line| gives no arguments.
std::vector<std::u16string> SplitWindowsCommandLine(
    const std::u16string& command_line);

}  // namespace internal
}  // namespace standin

#endif  // CEF_STANDIN_SRC_COMMAND_LINE_INTERNAL_H_
