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

// The renderer child process of `--type=renderer --scenario=FILE`: runs FILE
// with stdout and stderr, the log echoed to stderr.
int RunScenarioProcess(CefRefPtr<CefApp> app,
                       CefRefPtr<CefCommandLine> command_line);

}  // namespace standin

#endif  // CEF_STANDIN_SIMULATOR_SCENARIO_RUNNER_H_
