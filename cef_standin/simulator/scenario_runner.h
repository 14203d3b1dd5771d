// The renderer simulator: plays CEF and the browser process from a scenario
// file and drives the application's render-process handler through
// standin::Renderer. docs/scenarios.md describes the file and the output.
#ifndef CEF_STANDIN_SIMULATOR_SCENARIO_RUNNER_H_
#define CEF_STANDIN_SIMULATOR_SCENARIO_RUNNER_H_

#include <iosfwd>
#include <string>

#include "include/cef_app.h"
#include "include/cef_command_line.h"

namespace standin {

// Exit codes of a scenario run.
constexpr int kScenarioPassed = 0;        // ran to its end
constexpr int kScenarioExpectFailed = 1;  // an expect step did not hold
constexpr int kScenarioMalformed = 2;     // nothing ran: see the error

// Runs |scenario_text|. Every message sent to the browser process and every
// eval result goes to |out| as one JSON line; errors and notes go to |err|,
// prefixed with |source_name|. A malformed scenario is refused before any of
// it runs. |app| may be null (an application without handlers).
int RunScenario(CefRefPtr<CefApp> app,
                const std::string& scenario_text,
                const std::string& source_name,
                std::ostream& out,
                std::ostream& err);

// Runs a live session: steps come from |in|, one JSON object a line, in the
// scenario's step vocabulary (browsers are declared by createBrowser steps).
// Each step's output goes to |out| as in RunScenario(), followed by one line
// that closes it: {"step":N,"ok":...,"notes":[...],"log":[...]}, with
// "error" when the step was refused or its expectation failed. A refused
// step changes nothing and the session goes on. Blank lines are skipped.
// Returns kScenarioPassed, or kScenarioExpectFailed if any step failed.
int RunLiveSession(CefRefPtr<CefApp> app,
                   std::istream& in,
                   const std::string& source_name,
                   std::ostream& out,
                   std::ostream& err);

// The --scenario value that asks for a live session on stdin.
constexpr char kLiveScenario[] = "-";

// The renderer child process of `--type=renderer --scenario=FILE`: runs FILE
// with stdout and stderr, the log echoed to stderr; `--scenario=-` runs a
// live session on stdin.
int RunScenarioProcess(CefRefPtr<CefApp> app,
                       CefRefPtr<CefCommandLine> command_line);

}  // namespace standin

#endif  // CEF_STANDIN_SIMULATOR_SCENARIO_RUNNER_H_
