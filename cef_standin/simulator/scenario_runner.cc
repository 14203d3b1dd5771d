#include "cef_standin/simulator/scenario_runner.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#endif

#include "cef_standin/driver/renderer_driver.h"
#include "cef_standin/simulator/cef_value_json.h"
#include "cef_standin/simulator/json_text.h"
#include "cef_standin/simulator/scenario.h"

namespace standin {

namespace {

using nlohmann::json;
using scenario::Step;
using scenario::StepKind;

// Stands in for an application that gave CefExecuteProcess no CefApp.
class EmptyApp : public CefApp {
 public:
  EmptyApp() = default;
  EmptyApp(const EmptyApp&) = delete;
  EmptyApp& operator=(const EmptyApp&) = delete;

 private:
  IMPLEMENT_REFCOUNTING(EmptyApp);
};

// What a script gave, in the form the output and expect steps use.
struct Outcome {
  enum class Kind { kResult, kText, kException } kind = Kind::kText;
  json result;       // kResult
  std::string text;  // kText: String() of the result; kException: the text
};

Outcome ClassifyScriptResult(const ScriptResult& script) {
  Outcome outcome;
  if (!script.ok) {
    outcome.kind = Outcome::Kind::kException;
    outcome.text = script.exception;
    return outcome;
  }
  // The driver gives JSON.stringify of the result, or String() of it when it
  // has no JSON form; only the first parses. Deep results stay text, since
  // writing them out again would recurse that deep.
  json parsed = json::parse(script.value, nullptr, /*allow_exceptions=*/false);
  if (!parsed.is_discarded() &&
      FindExcessiveNesting(script.value, kMaxJsonDepth) == std::string::npos) {
    outcome.kind = Outcome::Kind::kResult;
    outcome.result = std::move(parsed);
    return outcome;
  }
  outcome.text = script.value;
  return outcome;
}

std::string DescribeOutcome(const Outcome& outcome) {
  switch (outcome.kind) {
    case Outcome::Kind::kResult:
      return "result " + ToJsonText(outcome.result);
    case Outcome::Kind::kText:
      return "text " + ToJsonText(outcome.text);
    case Outcome::Kind::kException:
      return "exception " + ToJsonText(outcome.text);
  }
  return std::string();
}

// CEF's names of the console levels (cef_log_severity_t).
const char* LevelName(cef_log_severity_t level) {
  switch (level) {
    case LOGSEVERITY_DEBUG:
      return "debug";
    case LOGSEVERITY_INFO:
      return "info";
    case LOGSEVERITY_WARNING:
      return "warning";
    case LOGSEVERITY_ERROR:
      return "error";
    default:
      return "default";
  }
}

// How one step went, for the line that closes it in a live session.
struct StepReport {
  bool ok = true;
  std::string error;               // why not ok
  std::vector<std::string> notes;  // what went to stderr about the step
};

struct LiveBrowser {
  int id = 0;
  std::map<std::string, int64> frames;  // handle -> frame identifier
};

// One run of a checked scenario against one renderer.
class ScenarioRun {
 public:
  ScenarioRun(CefRefPtr<CefApp> app,
              const scenario::Scenario& scenario,
              const std::string& source_name,
              std::ostream& out,
              std::ostream& err)
      : renderer_(app),
        scenario_(scenario),
        source_name_(source_name),
        out_(out),
        err_(err) {
    renderer_.SetConsoleListener(
        [this](const ConsoleMessage& message) { PrintConsole(message); });
  }
  ScenarioRun(const ScenarioRun&) = delete;
  ScenarioRun& operator=(const ScenarioRun&) = delete;

  int Run() {
    Begin();
    for (const Step& step : scenario_.steps)
      RunOneStep(step);
    return Finish();
  }

  // Creates the browsers the scenario declares before its steps.
  void Begin() {
    current_path_ = "browsers";
    FlushSentMessages(current_path_);
    for (const scenario::BrowserDeclaration& browser : scenario_.browsers)
      CreateBrowser(browser);
    if (scenario_.auto_run_tasks)
      renderer_.RunPendingTasks();
    FlushSentMessages(current_path_);
  }

  StepReport RunOneStep(const Step& step) {
    report_ = StepReport();
    current_path_ = step.path;
    RunStep(step);
    if (scenario_.auto_run_tasks)
      renderer_.RunPendingTasks();
    FlushSentMessages(step.path);
    return std::move(report_);
  }

  // Reports what never ran; returns the exit code.
  int Finish() {
    current_path_ = "end";
    const size_t pending = renderer_.PendingTaskCount();
    if (pending > 0) {
      Note("end", std::to_string(pending) +
                      " posted task(s) never ran (a runTasks step runs them)");
    }
    return expect_failed_ ? kScenarioExpectFailed : kScenarioPassed;
  }

 private:
  void RunStep(const Step& step) {
    switch (step.kind) {
      case StepKind::kCreateBrowser:
        CreateBrowser(step.new_browser);
        return;
      case StepKind::kAddFrame:
        AddFrame(step.browser, step.new_frame);
        return;
      case StepKind::kDestroyBrowser:
        renderer_.DestroyBrowser(browsers_[step.browser].id);
        return;
      case StepKind::kCreateContext:
        if (step.after_destroy)
          renderer_.CreateContextAfterDestroy(BrowserId(step), FrameId(step));
        else
          renderer_.CreateContext(BrowserId(step), FrameId(step));
        return;
      case StepKind::kReleaseContext:
        if (step.after_destroy)
          renderer_.ReleaseContextAfterDestroy(BrowserId(step), FrameId(step));
        else
          renderer_.ReleaseContext(BrowserId(step), FrameId(step));
        return;
      case StepKind::kMessage:
        DeliverMessage(step);
        return;
      case StepKind::kRunTasks:
        renderer_.RunPendingTasks();
        return;
      case StepKind::kEval: {
        const Outcome outcome = ClassifyScriptResult(
            renderer_.Eval(BrowserId(step), FrameId(step), step.code));
        // What the script sent went out before it returned.
        FlushSentMessages(step.path);
        PrintEval(step, outcome);
        return;
      }
      case StepKind::kExpect:
        Expect(step);
        return;
      case StepKind::kKeep:
        if (!renderer_.KeepValue(
                BrowserId(step), FrameId(step), step.code,
                browsers_[step.browser].frames[step.into_frame],
                step.global_name)) {
          Note(step.path,
               "could not keep the value as " + ToJsonText(step.global_name));
        }
        // What the code sent went out before it returned.
        FlushSentMessages(step.path);
        return;
      case StepKind::kRemoveFrame:
        renderer_.RemoveFrame(BrowserId(step), FrameId(step));
        return;
      case StepKind::kFrameRemover:
        if (!renderer_.DefineFrameRemover(BrowserId(step), FrameId(step),
                                          step.global_name)) {
          Note(step.path, "could not define " + ToJsonText(step.global_name));
        }
        return;
      case StepKind::kSwapFrame: {
        const int64 swapped =
            renderer_.SwapFrame(BrowserId(step), FrameId(step), step.remote);
        browsers_[step.browser].frames[step.frame] = swapped;
        frame_handles_[{BrowserId(step), swapped}] = step.frame;
        return;
      }
      case StepKind::kFrameId:
        PrintFrameId(step);
        return;
    }
  }

  void CreateBrowser(const scenario::BrowserDeclaration& declaration) {
    LiveBrowser& browser = browsers_[declaration.handle];
    browser.id = renderer_.CreateBrowser(declaration.frames[0].cef_name,
                                         declaration.browser_id,
                                         declaration.frames[0].remote);
    const int64 main_frame = renderer_.MainFrameId(browser.id);
    browser.frames[declaration.frames[0].handle] = main_frame;
    frame_handles_[{browser.id, main_frame}] = declaration.frames[0].handle;
    for (size_t i = 1; i < declaration.frames.size(); ++i)
      AddFrame(declaration.handle, declaration.frames[i]);
  }

  void AddFrame(const std::string& browser_handle,
                const scenario::FrameDeclaration& frame) {
    LiveBrowser& browser = browsers_[browser_handle];
    const int64 parent = browser.frames[frame.parent];
    const int64 id =
        renderer_.AddFrame(browser.id, frame.cef_name, parent, frame.remote);
    browser.frames[frame.handle] = id;
    frame_handles_[{browser.id, id}] = frame.handle;
  }

  void DeliverMessage(const Step& step) {
    CefRefPtr<CefProcessMessage> message =
        CefProcessMessage::Create(step.message_name);
    if (!message) {
      Note(step.path,
           "CEF refused to create message " + ToJsonText(step.message_name));
      return;
    }
    std::string error;
    if (!AppendJsonToCefList(step.args, message->GetArgumentList(), &error,
                             JsonPathMember(step.path, "args"))) {
      Note(step.path, error);
      return;
    }
    const bool handled =
        step.after_destroy
            ? renderer_.DeliverMessageAfterDestroy(BrowserId(step),
                                                   FrameId(step), message)
            : renderer_.DeliverMessage(BrowserId(step), FrameId(step), message);
    if (!handled) {
      Note(step.path, "the application did not handle message " +
                          ToJsonText(step.message_name));
    }
  }

  void PrintEval(const Step& step, const Outcome& outcome) {
    std::string line = "{";
    if (step.browser != scenario_.default_browser)
      line += "\"browser\":" + std::to_string(BrowserId(step)) + ",";
    line += "\"eval\":" + ToJsonText(step.frame) + ",";
    switch (outcome.kind) {
      case Outcome::Kind::kResult:
        line += "\"result\":" + ToJsonText(outcome.result);
        break;
      case Outcome::Kind::kText:
        line += "\"text\":" + ToJsonText(outcome.text);
        break;
      case Outcome::Kind::kException:
        line += "\"exception\":" + ToJsonText(outcome.text);
        break;
    }
    out_ << line << "}\n";
  }

  // A host knows the identifier of every frame a message comes through; a
  // live session asks for it, as the Python package does.
  void PrintFrameId(const Step& step) {
    std::string line = "{";
    if (step.browser != scenario_.default_browser)
      line += "\"browser\":" + std::to_string(BrowserId(step)) + ",";
    out_ << line << "\"frameId\":" << ToJsonText(step.frame)
         << ",\"id\":" << FrameId(step) << "}\n";
  }

  void Expect(const Step& step) {
    const Outcome outcome = ClassifyScriptResult(
        renderer_.Eval(BrowserId(step), FrameId(step), step.code));
    bool held = false;
    std::string wanted;
    switch (step.expect_kind) {
      case scenario::ExpectKind::kResult:
        held = outcome.kind == Outcome::Kind::kResult &&
               outcome.result == step.expected;
        wanted = "result " + ToJsonText(step.expected);
        break;
      case scenario::ExpectKind::kText:
        held = outcome.kind == Outcome::Kind::kText &&
               outcome.text == step.expected.get<std::string>();
        wanted = "text " + ToJsonText(step.expected);
        break;
      case scenario::ExpectKind::kException:
        held = outcome.kind == Outcome::Kind::kException &&
               outcome.text.find(step.expected.get<std::string>()) !=
                   std::string::npos;
        wanted = "an exception containing " + ToJsonText(step.expected);
        break;
    }
    if (held)
      return;
    expect_failed_ = true;
    report_.ok = false;
    report_.error = "expectation failed: " + ToJsonText(step.code) + " gave " +
                    DescribeOutcome(outcome) + ", expected " + wanted;
    Note(step.path, report_.error);
  }

  // A console call of page script, after what the script sent before it.
  void PrintConsole(const ConsoleMessage& message) {
    FlushSentMessages(current_path_);
    out_ << "{\"browser\":" << message.browser_id << ",\"frame\":"
         << ToJsonText(FrameJson(message.browser_id, message.frame_id))
         << ",\"console\":" << ToJsonText(message.method) << ",\"level\":\""
         << LevelName(message.level) << "\""
         << ",\"message\":" << ToJsonText(message.message)
         << ",\"source\":" << ToJsonText(message.source)
         << ",\"line\":" << message.line << "}\n";
  }

  // The scenario's name for a frame, or its identifier when it has none.
  json FrameJson(int browser_id, int64 frame_id) const {
    const auto handle = frame_handles_.find({browser_id, frame_id});
    return handle == frame_handles_.end() ? json(frame_id)
                                          : json(handle->second);
  }

  void FlushSentMessages(const std::string& path) {
    for (const SentMessage& sent : renderer_.SentMessages()) {
      const std::string name =
          sent.message ? sent.message->GetName().ToString() : std::string();
      if (sent.target != PID_BROWSER) {
        Note(path, "message " + ToJsonText(name) +
                       " was sent to a renderer process; CEF drops it");
        continue;
      }
      const json frame = FrameJson(sent.browser_id, sent.frame_id);
      const json args = sent.message
                            ? CefListToJson(sent.message->GetArgumentList())
                            : json::array();
      out_ << "{\"browser\":" << sent.browser_id
           << ",\"frame\":" << ToJsonText(frame)
           << ",\"name\":" << ToJsonText(name)
           << ",\"args\":" << ToJsonText(args) << "}\n";
    }
    renderer_.ClearSentMessages();
    out_.flush();
  }

  int BrowserId(const Step& step) { return browsers_[step.browser].id; }
  int64 FrameId(const Step& step) {
    return browsers_[step.browser].frames[step.frame];
  }

  void Note(const std::string& path, const std::string& text) {
    err_ << source_name_ << ": " << path << ": " << text << "\n";
    report_.notes.push_back(text);
  }

  Renderer renderer_;
  const scenario::Scenario& scenario_;
  const std::string source_name_;
  std::ostream& out_;
  std::ostream& err_;
  std::map<std::string, LiveBrowser> browsers_;
  std::map<std::pair<int, int64>, std::string> frame_handles_;
  bool expect_failed_ = false;
  std::string current_path_;  // of the step running, for console lines
  StepReport report_;         // of the step running
};

bool IsBlank(const std::string& line) {
  return line.find_first_not_of(" \t\r") == std::string::npos;
}

json LogJson(const std::vector<LogRecord>& records) {
  json log = json::array();
  for (const LogRecord& record : records) {
    // Verbose levels by number, unlike the log's prefix.
    const bool named =
        record.severity >= kLogInfo && record.severity <= kLogFatal;
    log.push_back({{"severity", named ? LogSeverityName(record.severity)
                                      : std::to_string(record.severity)},
                   {"source", record.file},
                   {"line", record.line},
                   {"message", record.message}});
  }
  return log;
}

// The line that closes a step of a live session.
std::string CloseLine(size_t index,
                      const StepReport& report,
                      const std::vector<LogRecord>& log) {
  // Written by hand to keep "step" first, where a reader looks for it.
  std::string line = "{\"step\":" + std::to_string(index) +
                     ",\"ok\":" + (report.ok ? "true" : "false");
  if (!report.ok)
    line += ",\"error\":" + ToJsonText(report.error);
  line += ",\"notes\":" + ToJsonText(json(report.notes));
  line += ",\"log\":" + ToJsonText(LogJson(log));
  return line + "}";
}

#if defined(_WIN32)
// On Windows the path comes as Windows writes it (drive letters,
// backslashes, UTF-16 names): opened through Windows, as the host's own
// files are. The failure texts are the C library's, as on other systems.
bool ReadFile(const std::string& path, std::string* text, std::string* why) {
  const std::wstring wide_path = CefString(path).ToWString();
  HANDLE file =
      ::CreateFileW(wide_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = ::GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
      *why = std::strerror(ENOENT);
    else if (error == ERROR_ACCESS_DENIED)
      *why = std::strerror(EACCES);
    else
      *why = "Windows error " + std::to_string(error);
    return false;
  }
  char buffer[64 * 1024];
  DWORD read = 0;
  bool ok = true;
  while ((ok = ::ReadFile(file, buffer, sizeof(buffer), &read, nullptr)) &&
         read > 0) {
    text->append(buffer, read);
  }
  if (!ok)
    *why = std::strerror(EIO);
  ::CloseHandle(file);
  return ok;
}
#else
bool ReadFile(const std::string& path, std::string* text, std::string* why) {
  FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) {
    *why = std::strerror(errno);
    return false;
  }
  char buffer[64 * 1024];
  size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof(buffer), file)) > 0)
    text->append(buffer, read);
  const bool failed = std::ferror(file) != 0;
  if (failed)
    *why = std::strerror(errno);
  std::fclose(file);
  return !failed;
}
#endif

}  // namespace

int RunScenario(CefRefPtr<CefApp> app,
                const std::string& scenario_text,
                const std::string& source_name,
                std::ostream& out,
                std::ostream& err) {
  try {
    scenario::Scenario scenario;
    std::string error;
    if (!scenario::Parse(scenario_text, &scenario, &error)) {
      err << source_name << ": " << error << "\n";
      return kScenarioMalformed;
    }
    if (!app)
      app = new EmptyApp();
    // One run is one process: its client id goes with it.
    const int client_id = RenderProcessClientId();
    if (scenario.client_id > 0)
      SetRenderProcessClientId(scenario.client_id);
    int code = kScenarioMalformed;
    {
      ScenarioRun run(app, scenario, source_name, out, err);
      code = run.Run();
    }
    SetRenderProcessClientId(client_id);
    return code;
  } catch (const std::exception& e) {
    // Only a fault of the simulator itself gets here; say so rather than
    // letting the process die without a word.
    err << source_name << ": internal error of the simulator: " << e.what()
        << "\n";
    return kScenarioMalformed;
  }
}

int RunLiveSession(CefRefPtr<CefApp> app,
                   std::istream& in,
                   const std::string& source_name,
                   std::ostream& out,
                   std::ostream& err) {
  try {
    if (!app)
      app = new EmptyApp();
    scenario::StepReader reader;
    ScenarioRun run(app, reader.scenario(), source_name, out, err);
    run.Begin();
    bool step_failed = false;
    size_t index = 0;
    std::string line;
    while (std::getline(in, line)) {
      if (IsBlank(line))
        continue;
      ClearLog();
      StepReport report;
      Step step;
      std::string error;
      if (reader.Read(line, JsonPathIndex("steps", index), &step, &error)) {
        report = run.RunOneStep(step);
      } else {
        report.ok = false;
        report.error = error;
        err << source_name << ": " << error << "\n";
      }
      step_failed |= !report.ok;
      out << CloseLine(index, report, LogRecords()) << "\n";
      out.flush();
      ++index;
    }
    ClearLog();
    const int code = run.Finish();
    return step_failed ? kScenarioExpectFailed : code;
  } catch (const std::exception& e) {
    err << source_name << ": internal error of the simulator: " << e.what()
        << "\n";
    return kScenarioMalformed;
  }
}

int RunScenarioProcess(CefRefPtr<CefApp> app,
                       CefRefPtr<CefCommandLine> command_line) {
  const std::string path =
      command_line ? command_line->GetSwitchValue("scenario").ToString()
                   : std::string();
  if (path.empty()) {
    std::cerr << "renderer simulator: --type=renderer needs --scenario=FILE\n";
    return kScenarioMalformed;
  }
  // Chromium numbers its renderer processes on their command line; a
  // scenario's "clientId" still wins.
  const std::string client_id =
      command_line->GetSwitchValue("renderer-client-id").ToString();
  if (!client_id.empty()) {
    const int value = std::atoi(client_id.c_str());
    if (value <= 0) {
      std::cerr << "renderer simulator: --renderer-client-id must be a "
                   "positive number\n";
      return kScenarioMalformed;
    }
    SetRenderProcessClientId(value);
  }
  if (path == kLiveScenario) {
    SetLogEcho(stderr);
    const int code =
        RunLiveSession(app, std::cin, "stdin", std::cout, std::cerr);
    std::cout.flush();
    SetLogEcho(nullptr);
    return code;
  }
  std::string text;
  std::string why;
  if (!ReadFile(path, &text, &why)) {
    std::cerr << path << ": cannot read the scenario: " << why << "\n";
    return kScenarioMalformed;
  }
  SetLogEcho(stderr);
  const int code = RunScenario(app, text, path, std::cout, std::cerr);
  std::cout.flush();
  SetLogEcho(nullptr);
  return code;
}

}  // namespace standin
