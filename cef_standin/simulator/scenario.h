// A scenario of the renderer simulator, read and checked before anything
// runs: a scenario that parses here names only browsers and frames that exist
// when its steps run, so the runner meets no surprises of its own making.
#ifndef CEF_STANDIN_SIMULATOR_SCENARIO_H_
#define CEF_STANDIN_SIMULATOR_SCENARIO_H_

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace standin {
namespace scenario {

struct FrameDeclaration {
  std::string handle;    // the scenario's name for the frame
  std::string cef_name;  // what CEF calls it; empty: a generated unique name
  std::string parent;    // handle of the parent; empty for the main frame
  bool remote = false;   // its page is in another renderer process
};

struct BrowserDeclaration {
  std::string handle;
  int browser_id = 0;                    // CEF's identifier; 0: the next
  std::vector<FrameDeclaration> frames;  // the main frame first, parents first
};

enum class StepKind {
  kCreateBrowser,
  kAddFrame,
  kDestroyBrowser,
  kCreateContext,
  kReleaseContext,
  kMessage,
  kRunTasks,
  kEval,
  kExpect,
  kKeep,
  kRemoveFrame,
  kFrameRemover,
  kSwapFrame,
  kFrameId,
};

enum class ExpectKind {
  kResult,     // the script's JSON result equals |expected|
  kText,       // the script's result has no JSON form; String() of it is
               // |expected| (a string)
  kException,  // the script threw; the exception text contains |expected|
};

struct Step {
  StepKind kind = StepKind::kRunTasks;
  std::string path;     // "steps[3]", for messages
  std::string browser;  // handle; every step but runTasks has one
  // createContext, releaseContext, message: the hook comes after the browser
  // was destroyed, with its leftover browser and frame objects.
  bool after_destroy = false;
  std::string frame;               // handle, for the steps that act on a frame
  BrowserDeclaration new_browser;  // createBrowser
  FrameDeclaration new_frame;      // addFrame
  std::string message_name;
  nlohmann::json args;      // a JSON array, already checked to convert
  std::string code;         // eval, expect, keep
  std::string into_frame;   // keep: handle of the frame that keeps the value
  std::string global_name;  // keep, frameRemover: the global's name
  bool remote = false;      // swapFrame: the frame becomes remote
  ExpectKind expect_kind = ExpectKind::kResult;
  nlohmann::json expected;
};

struct Scenario {
  std::vector<BrowserDeclaration> browsers;  // created before the first step
  std::vector<Step> steps;
  std::string default_browser;  // the first browser the scenario declares
  // Run posted tasks after every step, as CEF's message loop would soon
  // after; otherwise only runTasks steps run them.
  bool auto_run_tasks = false;
  // The renderer process's client id (frame identifiers); 0: as it is.
  int client_id = 0;
};

// Reads and checks a scenario. On failure returns false and sets |error| to
// "line L, column C: what" for text that is not JSON, or "<path>: what".
bool Parse(const std::string& text, Scenario* scenario, std::string* error);

// Reads the steps of a live session one at a time, with the checks Parse()
// makes on a whole scenario. The reader's scenario has no steps; it keeps
// the default browser once a step declares one.
class StepReader {
 public:
  StepReader();
  ~StepReader();
  StepReader(const StepReader&) = delete;
  StepReader& operator=(const StepReader&) = delete;

  // Reads |text|, one JSON object, as the step at |path|. On failure returns
  // false with |error| set as Parse() sets it; the reader is left as it was,
  // so later steps are checked as if the refused one never came.
  bool Read(const std::string& text,
            const std::string& path,
            Step* step,
            std::string* error);

  const Scenario& scenario() const { return *scenario_; }

 private:
  class Impl;
  std::unique_ptr<Scenario> scenario_;
  std::unique_ptr<Impl> impl_;
};

}  // namespace scenario
}  // namespace standin

#endif  // CEF_STANDIN_SIMULATOR_SCENARIO_H_
