#include "cef_standin/simulator/scenario.h"

// A step's keys are documented in docs/scenarios.md, and the Python package
// sends them (python/quillmoss_sim/renderer.py): a new or changed step
// changes both.

#include <algorithm>
#include <map>
#include <set>
#include <utility>

#include "cef_standin/simulator/cef_value_json.h"
#include "cef_standin/simulator/json_text.h"

namespace standin {
namespace scenario {

namespace {

using nlohmann::json;
using KeyList = std::vector<std::string>;

struct StepKindName {
  const char* name;
  StepKind kind;
};

constexpr StepKindName kStepKinds[] = {
    {"createBrowser", StepKind::kCreateBrowser},
    {"addFrame", StepKind::kAddFrame},
    {"destroyBrowser", StepKind::kDestroyBrowser},
    {"createContext", StepKind::kCreateContext},
    {"releaseContext", StepKind::kReleaseContext},
    {"message", StepKind::kMessage},
    {"runTasks", StepKind::kRunTasks},
    {"eval", StepKind::kEval},
    {"expect", StepKind::kExpect},
    {"keep", StepKind::kKeep},
    {"removeFrame", StepKind::kRemoveFrame},
    {"frameRemover", StepKind::kFrameRemover},
    {"swapFrame", StepKind::kSwapFrame},
    {"frameId", StepKind::kFrameId},
};

std::string Quote(const std::string& text) {
  return "'" + text + "'";
}

std::string Join(const KeyList& keys) {
  std::string joined;
  for (const std::string& key : keys)
    joined += (joined.empty() ? "" : ", ") + key;
  return joined;
}

// Reads the document in order, keeping just enough of the browsers' life to
// refuse steps that could not happen.
class Parser {
 public:
  explicit Parser(Scenario* scenario) : scenario_(scenario) {}
  Parser(const Parser&) = delete;
  Parser& operator=(const Parser&) = delete;

  bool ParseDocument(const json& document) {
    if (!CheckKeys(document, "",
                   {"browsers", "steps", "autoRunTasks", "clientId"}) ||
        (document.contains("clientId") &&
         !GetPositiveInt(document, "", "clientId", &scenario_->client_id))) {
      return false;
    }
    if (document.contains("autoRunTasks")) {
      if (!document["autoRunTasks"].is_boolean())
        return Fail("autoRunTasks", "must be true or false");
      scenario_->auto_run_tasks = document["autoRunTasks"].get<bool>();
    }
    if (!document.contains("steps"))
      return Fail("", "missing key 'steps'");
    if (document.contains("browsers")) {
      const json& browsers = document["browsers"];
      if (!browsers.is_array())
        return Fail("browsers", "must be an array");
      for (size_t i = 0; i < browsers.size(); ++i) {
        BrowserDeclaration browser;
        if (!ParseBrowser(browsers[i], JsonPathIndex("browsers", i), {},
                          &browser)) {
          return false;
        }
        scenario_->browsers.push_back(std::move(browser));
      }
    }
    const json& steps = document["steps"];
    if (!steps.is_array())
      return Fail("steps", "must be an array");
    for (size_t i = 0; i < steps.size(); ++i) {
      Step step;
      if (!ParseStep(steps[i], JsonPathIndex("steps", i), &step))
        return false;
      scenario_->steps.push_back(std::move(step));
    }
    return true;
  }

  bool ParseStep(const json& object, const std::string& path, Step* step) {
    step->path = path;
    if (!object.is_object())
      return Fail(path, "must be an object");
    std::string verb;
    if (!GetString(object, path, "do", /*allow_empty=*/false, &verb))
      return false;
    const auto* kind = std::find_if(
        std::begin(kStepKinds), std::end(kStepKinds),
        [&verb](const StepKindName& entry) { return verb == entry.name; });
    if (kind == std::end(kStepKinds)) {
      KeyList names;
      for (const StepKindName& entry : kStepKinds)
        names.push_back(entry.name);
      return Fail(
          JsonPathMember(path, "do"),
          "unknown step " + Quote(verb) + " (one of: " + Join(names) + ")");
    }
    step->kind = kind->kind;
    switch (step->kind) {
      case StepKind::kCreateBrowser:
        return ParseBrowser(object, path, {"do"}, &step->new_browser);
      case StepKind::kAddFrame:
        return ParseAddFrame(object, step);
      case StepKind::kDestroyBrowser:
        if (!CheckKeys(object, path, {"do", "browser"}) ||
            !ResolveBrowser(object, step)) {
          return false;
        }
        browsers_[step->browser].destroyed_at = path;
        return true;
      case StepKind::kCreateContext:
      case StepKind::kReleaseContext:
        return CheckKeys(object, path,
                         {"do", "browser", "frame", "afterDestroy"}) &&
               ReadAfterDestroy(object, step) && ResolveFrame(object, step);
      case StepKind::kMessage:
        return ParseMessage(object, step);
      case StepKind::kRunTasks:
        return CheckKeys(object, path, {"do"});
      case StepKind::kEval:
        return CheckKeys(object, path, {"do", "browser", "frame", "code"}) &&
               ResolveFrame(object, step) &&
               GetString(object, path, "code", /*allow_empty=*/true,
                         &step->code);
      case StepKind::kExpect:
        return ParseExpect(object, step);
      case StepKind::kKeep:
        return ParseKeep(object, step);
      case StepKind::kRemoveFrame:
        return ParseRemoveFrame(object, step);
      case StepKind::kSwapFrame:
        return ParseSwapFrame(object, step);
      case StepKind::kFrameRemover:
        return CheckKeys(object, path, {"do", "browser", "frame", "as"}) &&
               ResolveFrame(object, step) &&
               GetString(object, path, "as", /*allow_empty=*/false,
                         &step->global_name);
      case StepKind::kFrameId:
        return CheckKeys(object, path, {"do", "browser", "frame"}) &&
               ResolveFrame(object, step);
    }
    return Fail(path, "unhandled step");
  }

  struct BrowserState {
    std::string declared_at;
    std::string destroyed_at;      // empty while the browser lives
    std::set<std::string> frames;  // the frames that live
    std::map<std::string, std::string> parents;     // empty for the main frame
    std::map<std::string, std::string> removed_at;  // by removeFrame steps
    std::set<std::string> remote;  // frames whose page is in another process
    int browser_id = 0;
    std::string main_frame;
  };
  using BrowserStates = std::map<std::string, BrowserState>;

  const std::string& error() const { return error_; }
  const BrowserStates& browsers() const { return browsers_; }
  void AdoptBrowsers(const BrowserStates& browsers) {
    browsers_ = browsers;
    for (const auto& browser : browsers_) {
      next_browser_id_ =
          std::max(next_browser_id_, browser.second.browser_id + 1);
    }
  }

 private:
  bool ParseBrowser(const json& object,
                    const std::string& path,
                    const KeyList& extra_keys,
                    BrowserDeclaration* browser) {
    KeyList keys = {"id", "frames", "browserId"};
    keys.insert(keys.end(), extra_keys.begin(), extra_keys.end());
    if (!CheckKeys(object, path, keys) ||
        !GetString(object, path, "id", /*allow_empty=*/false,
                   &browser->handle) ||
        (object.contains("browserId") &&
         !GetPositiveInt(object, path, "browserId", &browser->browser_id))) {
      return false;
    }
    const auto known = browsers_.find(browser->handle);
    if (known != browsers_.end()) {
      return Fail(JsonPathMember(path, "id"),
                  "browser " + Quote(browser->handle) +
                      " is already declared at " + known->second.declared_at);
    }
    BrowserState state;
    state.declared_at = path;
    state.browser_id =
        browser->browser_id > 0 ? browser->browser_id : next_browser_id_;
    for (const auto& other : browsers_) {
      if (other.second.destroyed_at.empty() &&
          other.second.browser_id == state.browser_id) {
        return Fail(JsonPathMember(path, "browserId"),
                    "browser " + std::to_string(state.browser_id) +
                        " is open already (" + Quote(other.first) + ")");
      }
    }
    next_browser_id_ = std::max(next_browser_id_, state.browser_id + 1);
    if (!object.contains("frames")) {
      browser->frames.push_back({"main", "main", ""});
      state.frames.insert("main");
    } else {
      const std::string frames_path = JsonPathMember(path, "frames");
      const json& frames = object["frames"];
      if (!frames.is_array())
        return Fail(frames_path, "must be an array");
      if (frames.empty())
        return Fail(frames_path, "must list at least the main frame");
      for (size_t i = 0; i < frames.size(); ++i) {
        const std::string frame_path = JsonPathIndex(frames_path, i);
        FrameDeclaration frame;
        if (!CheckKeys(frames[i], frame_path,
                       {"name", "frameName", "parent", "remote"}) ||
            !ParseFrame(frames[i], frame_path, browser->handle, i == 0,
                        browser->frames.empty() ? std::string()
                                                : browser->frames[0].handle,
                        &state, &frame)) {
          return false;
        }
        browser->frames.push_back(std::move(frame));
      }
    }
    state.main_frame = browser->frames[0].handle;
    browsers_[browser->handle] = std::move(state);
    if (scenario_->default_browser.empty())
      scenario_->default_browser = browser->handle;
    return true;
  }

  // |object| is known to be an object whose keys were checked.
  bool ParseFrame(const json& object,
                  const std::string& path,
                  const std::string& browser,
                  bool is_main,
                  const std::string& main_frame,
                  BrowserState* state,
                  FrameDeclaration* frame) {
    if (!GetString(object, path, "name", /*allow_empty=*/false,
                   &frame->handle)) {
      return false;
    }
    if (state->frames.count(frame->handle) ||
        state->removed_at.count(frame->handle)) {
      return Fail(JsonPathMember(path, "name"),
                  "frame " + Quote(frame->handle) +
                      " is already declared in browser " + Quote(browser));
    }
    frame->cef_name = frame->handle;
    if (object.contains("frameName") &&
        !GetString(object, path, "frameName", /*allow_empty=*/true,
                   &frame->cef_name)) {
      return false;
    }
    if (object.contains("parent")) {
      if (is_main) {
        return Fail(JsonPathMember(path, "parent"),
                    "the first frame is the main frame and has no parent");
      }
      if (!GetString(object, path, "parent", /*allow_empty=*/false,
                     &frame->parent)) {
        return false;
      }
      if (!state->frames.count(frame->parent)) {
        return Fail(JsonPathMember(path, "parent"),
                    "unknown frame " + Quote(frame->parent) + " in browser " +
                        Quote(browser) +
                        " (a parent is declared before its children)");
      }
    } else if (!is_main) {
      frame->parent = main_frame;
    }
    if (object.contains("remote")) {
      if (!object["remote"].is_boolean())
        return Fail(JsonPathMember(path, "remote"), "must be true or false");
      frame->remote = object["remote"].get<bool>();
    }
    if (frame->remote)
      state->remote.insert(frame->handle);
    state->frames.insert(frame->handle);
    state->parents[frame->handle] = frame->parent;
    return true;
  }

  // The frame and every frame below it go; later steps cannot name them.
  bool ParseRemoveFrame(const json& object, Step* step) {
    if (!CheckKeys(object, step->path, {"do", "browser", "frame"}) ||
        !ResolveFrame(object, step, /*allow_remote=*/true)) {
      return false;
    }
    BrowserState& state = browsers_[step->browser];
    if (state.parents[step->frame].empty()) {
      return Fail(JsonPathMember(step->path, "frame"),
                  "a page cannot remove the main frame (destroy the browser)");
    }
    RemoveBelow(step->frame, /*with_frame=*/true, step->path, &state);
    return true;
  }

  // The frame's page moves between processes: the frames below it go.
  bool ParseSwapFrame(const json& object, Step* step) {
    if (!CheckKeys(object, step->path, {"do", "browser", "frame", "remote"}) ||
        !ResolveFrame(object, step, /*allow_remote=*/true)) {
      return false;
    }
    if (!object.contains("remote") || !object["remote"].is_boolean())
      return Fail(JsonPathMember(step->path, "remote"),
                  "must be true or false");
    step->remote = object["remote"].get<bool>();
    BrowserState& state = browsers_[step->browser];
    if (step->remote && state.parents[step->frame].empty()) {
      return Fail(JsonPathMember(step->path, "frame"),
                  "a main frame that leaves the process takes the browser "
                  "with it (destroy the browser)");
    }
    RemoveBelow(step->frame, /*with_frame=*/false, step->path, &state);
    if (step->remote)
      state.remote.insert(step->frame);
    else
      state.remote.erase(step->frame);
    return true;
  }

  void RemoveBelow(const std::string& top,
                   bool with_frame,
                   const std::string& path,
                   BrowserState* state) {
    std::set<std::string> gone = {top};
    for (bool grew = true; grew;) {
      grew = false;
      for (const std::string& frame : state->frames) {
        if (!gone.count(frame) && gone.count(state->parents[frame]))
          grew = gone.insert(frame).second;
      }
    }
    if (!with_frame)
      gone.erase(top);
    for (const std::string& frame : gone) {
      state->frames.erase(frame);
      state->remote.erase(frame);
      state->removed_at[frame] = path;
    }
  }

  bool ParseAddFrame(const json& object, Step* step) {
    if (!CheckKeys(
            object, step->path,
            {"do", "browser", "name", "frameName", "parent", "remote"}) ||
        !ResolveBrowser(object, step)) {
      return false;
    }
    // From the state, not the declaration: a live session keeps no steps.
    BrowserState& state = browsers_[step->browser];
    return ParseFrame(object, step->path, step->browser, /*is_main=*/false,
                      state.main_frame, &state, &step->new_frame);
  }

  bool ReadAfterDestroy(const json& object, Step* step) {
    if (!object.contains("afterDestroy"))
      return true;
    if (!object["afterDestroy"].is_boolean())
      return Fail(JsonPathMember(step->path, "afterDestroy"),
                  "must be true or false");
    step->after_destroy = object["afterDestroy"].get<bool>();
    return true;
  }

  bool ParseMessage(const json& object, Step* step) {
    if (!CheckKeys(
            object, step->path,
            {"do", "browser", "frame", "name", "args", "afterDestroy"}) ||
        !ReadAfterDestroy(object, step) || !ResolveFrame(object, step) ||
        !GetString(object, step->path, "name", /*allow_empty=*/false,
                   &step->message_name)) {
      return false;
    }
    step->args = json::array();
    if (!object.contains("args"))
      return true;
    step->args = object["args"];
    // Converted once here so that a bad value stops the scenario before it
    // starts; the runner converts again into the message it sends.
    std::string error;
    if (!JsonToCefList(step->args, &error,
                       JsonPathMember(step->path, "args"))) {
      error_ = error;
      return false;
    }
    return true;
  }

  bool ParseKeep(const json& object, Step* step) {
    if (!CheckKeys(object, step->path,
                   {"do", "browser", "frame", "code", "into", "as"}) ||
        !ResolveFrame(object, step) ||
        !GetString(object, step->path, "code", /*allow_empty=*/false,
                   &step->code) ||
        !GetString(object, step->path, "into", /*allow_empty=*/false,
                   &step->into_frame) ||
        !GetString(object, step->path, "as", /*allow_empty=*/false,
                   &step->global_name)) {
      return false;
    }
    const BrowserState& state = browsers_[step->browser];
    if (!state.frames.count(step->into_frame)) {
      return Fail(JsonPathMember(step->path, "into"),
                  "unknown frame " + Quote(step->into_frame) + " in browser " +
                      Quote(step->browser));
    }
    if (state.remote.count(step->into_frame))
      return Fail(JsonPathMember(step->path, "into"),
                  RemoteFrame(step->into_frame));
    return true;
  }

  bool ParseExpect(const json& object, Step* step) {
    if (!CheckKeys(object, step->path,
                   {"do", "browser", "frame", "code", "result", "text",
                    "exception"}) ||
        !ResolveFrame(object, step) ||
        !GetString(object, step->path, "code", /*allow_empty=*/true,
                   &step->code)) {
      return false;
    }
    const int outcomes = static_cast<int>(object.contains("result")) +
                         static_cast<int>(object.contains("text")) +
                         static_cast<int>(object.contains("exception"));
    if (outcomes != 1) {
      return Fail(step->path,
                  "give exactly one of 'result', 'text' and 'exception'");
    }
    if (object.contains("result")) {
      step->expect_kind = ExpectKind::kResult;
      step->expected = object["result"];
      return true;
    }
    step->expect_kind =
        object.contains("text") ? ExpectKind::kText : ExpectKind::kException;
    const char* key = object.contains("text") ? "text" : "exception";
    std::string expected;
    if (!GetString(object, step->path, key, /*allow_empty=*/true, &expected))
      return false;
    step->expected = expected;
    return true;
  }

  // Sets step->browser from "browser", or the default browser, and checks
  // that it lives.
  bool ResolveBrowser(const json& object, Step* step) {
    std::string where = step->path;
    if (object.contains("browser")) {
      if (!GetString(object, step->path, "browser", /*allow_empty=*/false,
                     &step->browser)) {
        return false;
      }
      where = JsonPathMember(step->path, "browser");
      if (!browsers_.count(step->browser))
        return Fail(where, "unknown browser " + Quote(step->browser));
    } else {
      step->browser = scenario_->default_browser;
      if (step->browser.empty()) {
        return Fail(step->path,
                    "no browser exists yet (declare one in 'browsers' or "
                    "create one with a createBrowser step first)");
      }
    }
    const BrowserState& state = browsers_[step->browser];
    if (step->after_destroy) {
      if (state.destroyed_at.empty()) {
        return Fail(where, "browser " + Quote(step->browser) +
                               " lives (afterDestroy needs a destroyed "
                               "browser)");
      }
      return true;
    }
    if (!state.destroyed_at.empty()) {
      return Fail(where, "browser " + Quote(step->browser) +
                             " was destroyed at " + state.destroyed_at);
    }
    return true;
  }

  static std::string RemoteFrame(const std::string& frame) {
    return "frame " + Quote(frame) +
           " is remote in this renderer process (its page is in another)";
  }

  // Only the steps that do not touch the frame's page take a remote frame.
  bool ResolveFrame(const json& object, Step* step, bool allow_remote = false) {
    if (!ResolveBrowser(object, step) ||
        !GetString(object, step->path, "frame", /*allow_empty=*/false,
                   &step->frame)) {
      return false;
    }
    const BrowserState& state = browsers_[step->browser];
    const auto removed = state.removed_at.find(step->frame);
    if (removed != state.removed_at.end()) {
      return Fail(
          JsonPathMember(step->path, "frame"),
          "frame " + Quote(step->frame) + " was removed at " + removed->second);
    }
    if (!state.frames.count(step->frame)) {
      return Fail(JsonPathMember(step->path, "frame"),
                  "unknown frame " + Quote(step->frame) + " in browser " +
                      Quote(step->browser));
    }
    if (!allow_remote && state.remote.count(step->frame))
      return Fail(JsonPathMember(step->path, "frame"),
                  RemoteFrame(step->frame));
    return true;
  }

  // "comment" is allowed everywhere, for people to say what a part is for.
  bool CheckKeys(const json& object,
                 const std::string& path,
                 const KeyList& allowed) {
    if (!object.is_object())
      return Fail(path, "must be an object");
    for (auto it = object.begin(); it != object.end(); ++it) {
      if (it.key() == "comment" || std::find(allowed.begin(), allowed.end(),
                                             it.key()) != allowed.end()) {
        continue;
      }
      return Fail(JsonPathMember(path, it.key()),
                  "unknown key (expected " + Join(allowed) + " or comment)");
    }
    return true;
  }

  bool GetString(const json& object,
                 const std::string& path,
                 const char* key,
                 bool allow_empty,
                 std::string* out) {
    const std::string key_path = JsonPathMember(path, key);
    if (!object.contains(key))
      return Fail(path, std::string("missing key '") + key + "'");
    const json& value = object[key];
    if (!value.is_string())
      return Fail(key_path, "must be a string");
    *out = value.get<std::string>();
    if (!allow_empty && out->empty())
      return Fail(key_path, "must not be empty");
    return true;
  }

  bool GetPositiveInt(const json& object,
                      const std::string& path,
                      const char* key,
                      int* out) {
    const json& value = object[key];
    if (!value.is_number_integer() || value.get<int64_t>() <= 0 ||
        value.get<int64_t>() > 2147483647) {
      return Fail(JsonPathMember(path, key),
                  "must be a whole number from 1 to 2147483647");
    }
    *out = value.get<int>();
    return true;
  }

  bool Fail(const std::string& path, const std::string& what) {
    error_ = (path.empty() ? std::string("the scenario") : path) + ": " + what;
    return false;
  }

  Scenario* const scenario_;
  BrowserStates browsers_;
  int next_browser_id_ = 1;  // as the driver counts them
  std::string error_;
};

}  // namespace

class StepReader::Impl {
 public:
  explicit Impl(Scenario* scenario) : scenario_(scenario) {}

  bool Read(const std::string& text,
            const std::string& path,
            Step* step,
            std::string* error) {
    json object;
    if (!ParseJsonText(text, &object, error)) {
      *error = path + ": " + *error;
      return false;
    }
    // A refused step must leave no trace: parse into a copy and keep it only
    // when the step is good.
    Scenario scenario = *scenario_;
    Parser parser(&scenario);
    parser.AdoptBrowsers(browsers_);
    if (!parser.ParseStep(object, path, step)) {
      *error = parser.error();
      return false;
    }
    *scenario_ = std::move(scenario);
    browsers_ = parser.browsers();
    return true;
  }

 private:
  Scenario* const scenario_;
  Parser::BrowserStates browsers_;
};

StepReader::StepReader()
    : scenario_(std::make_unique<Scenario>()),
      impl_(std::make_unique<Impl>(scenario_.get())) {}

StepReader::~StepReader() = default;

bool StepReader::Read(const std::string& text,
                      const std::string& path,
                      Step* step,
                      std::string* error) {
  *step = Step();
  return impl_->Read(text, path, step, error);
}

bool Parse(const std::string& text, Scenario* scenario, std::string* error) {
  json document;
  if (!ParseJsonText(text, &document, error))
    return false;
  *scenario = Scenario();
  Parser parser(scenario);
  if (!parser.ParseDocument(document)) {
    *error = parser.error();
    return false;
  }
  return true;
}

}  // namespace scenario
}  // namespace standin
