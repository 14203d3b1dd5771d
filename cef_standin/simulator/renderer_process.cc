// Makes `--type=renderer --scenario=FILE` run the scenario: registers the
// simulator with the stand-in's CefExecuteProcess() while the program starts.
// Linked into the executable as an object file (cef_standin_simulator_process)
// rather than through a static library, whose unreferenced members the linker
// would drop together with this registration.
#include "cef_standin/simulator/scenario_runner.h"
#include "standin_core.h"

namespace {

struct Registration {
  Registration() {
    standin::SetRendererProcessRunner(&standin::RunScenarioProcess);
  }
};

const Registration g_registration;

}  // namespace
