// Scenarios run end to end against a small application through the driver.
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "cef_standin/driver/renderer_driver.h"
#include "cef_standin/simulator/scenario_runner.h"
#include "gtest/gtest.h"
#include "include/cef_app.h"
#include "include/cef_task.h"
#include "scenario_dump.h"

namespace standin {
namespace {

// A function called after its context went has no frame to send through.
void Send(CefRefPtr<CefFrame> frame, CefRefPtr<CefProcessMessage> message) {
  if (frame)
    frame->SendProcessMessage(PID_BROWSER, message);
}

// window.report(text) sends "report" with the text and returns 7.
class ReportHandler : public CefV8Handler {
 public:
  ReportHandler() = default;
  ReportHandler(const ReportHandler&) = delete;
  ReportHandler& operator=(const ReportHandler&) = delete;

  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override {
    CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(name);
    if (!arguments.empty() && arguments[0]->IsString())
      message->GetArgumentList()->SetString(0, arguments[0]->GetStringValue());
    Send(CefV8Context::GetCurrentContext()->GetFrame(), message);
    retval = CefV8Value::CreateInt(7);
    return true;
  }

 private:
  IMPLEMENT_REFCOUNTING(ReportHandler);
};

class SendLaterTask : public CefTask {
 public:
  explicit SendLaterTask(CefRefPtr<CefFrame> frame) : frame_(frame) {}
  SendLaterTask(const SendLaterTask&) = delete;
  SendLaterTask& operator=(const SendLaterTask&) = delete;

  void Execute() override {
    Send(frame_, CefProcessMessage::Create("LaterDone"));
  }

 private:
  CefRefPtr<CefFrame> frame_;
  IMPLEMENT_REFCOUNTING(SendLaterTask);
};

// Announces every context, echoes "Echo" and answers "Later" from a task.
class TestHandler : public CefRenderProcessHandler {
 public:
  TestHandler() = default;
  TestHandler(const TestHandler&) = delete;
  TestHandler& operator=(const TestHandler&) = delete;

  void OnContextCreated(CefRefPtr<CefBrowser> browser,
                        CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override {
    CefRefPtr<CefProcessMessage> message =
        CefProcessMessage::Create("ContextCreated");
    message->GetArgumentList()->SetString(0, frame->GetName());
    Send(frame, message);
    context->GetGlobal()->SetValue(
        "report", CefV8Value::CreateFunction("report", new ReportHandler()),
        V8_PROPERTY_ATTRIBUTE_NONE);
  }

  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                CefRefPtr<CefFrame> frame,
                                CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override {
    const std::string name = message->GetName();
    if (name == "Echo") {
      CefRefPtr<CefProcessMessage> reply =
          CefProcessMessage::Create("EchoReply");
      reply->GetArgumentList()->SetList(0, message->GetArgumentList()->Copy());
      Send(frame, reply);
      return true;
    }
    if (name == "Later")
      return CefPostTask(TID_RENDERER, new SendLaterTask(frame));
    return false;
  }

 private:
  IMPLEMENT_REFCOUNTING(TestHandler);
};

class TestApp : public CefApp {
 public:
  TestApp() : handler_(new TestHandler()) {}
  TestApp(const TestApp&) = delete;
  TestApp& operator=(const TestApp&) = delete;

  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override {
    return handler_;
  }

 private:
  CefRefPtr<CefRenderProcessHandler> handler_;
  IMPLEMENT_REFCOUNTING(TestApp);
};

class ScenarioRunTest : public testing::Test {
 protected:
  int Run(const std::string& text, CefRefPtr<CefApp> app = new TestApp()) {
    out_.str("");
    err_.str("");
    DumpScenarioForComparison(text);
    return RunScenario(app, text, "run.json", out_, err_);
  }

  std::ostringstream out_;
  std::ostringstream err_;
};

TEST_F(ScenarioRunTest, PrintsWhatTheBrowserProcessAndThePageSee) {
  const char kScenario[] = R"json({
    "browsers": [{"id": "b1", "frames": [{"name": "main"}, {"name": "A"}]}],
    "steps": [
      {"do": "createContext", "frame": "main"},
      {"do": "message", "frame": "main", "name": "Echo", "args": [
          1, 2.5, {"$double": 3}, "s", {"$callback": 12},
          {"k": [null, true]}]},
      {"do": "eval", "frame": "main", "code": "report('hi'); 40 + 2"},
      {"do": "eval", "frame": "main", "code": "undefined"},
      {"do": "message", "frame": "main", "name": "Later"},
      {"do": "runTasks"},
      {"do": "message", "frame": "A", "name": "Unknown"},
      {"do": "createContext", "frame": "A"},
      {"do": "createBrowser", "id": "b2", "frames": [{"name": "top"}]},
      {"do": "createContext", "browser": "b2", "frame": "top"},
      {"do": "eval", "browser": "b2", "frame": "top", "code": "({a: [1.5]})"},
      {"do": "expect", "frame": "main", "code": "typeof report",
       "result": "function"},
      {"do": "expect", "frame": "main", "code": "undefined",
       "text": "undefined"},
      {"do": "destroyBrowser"},
      {"do": "eval", "browser": "b2", "frame": "top", "code": "'still here'"}
    ]})json";
  const int live_before = LiveObjectCount();
  EXPECT_EQ(kScenarioPassed, Run(kScenario)) << err_.str();
  EXPECT_EQ(
      R"({"browser":1,"frame":"main","name":"ContextCreated","args":["main"]})"
      "\n"
      R"({"browser":1,"frame":"main","name":"EchoReply","args":[[1,2.5,3.0,"s",)"
      R"({"$binary":"0c00000000000000000000000000000000000000"},{"k":[null,true]}]]})"
      "\n"
      R"({"browser":1,"frame":"main","name":"report","args":["hi"]})"
      "\n"
      R"({"eval":"main","result":42})"
      "\n"
      R"({"eval":"main","text":"undefined"})"
      "\n"
      R"({"browser":1,"frame":"main","name":"LaterDone","args":[]})"
      "\n"
      R"({"browser":1,"frame":"A","name":"ContextCreated","args":["A"]})"
      "\n"
      R"({"browser":2,"frame":"top","name":"ContextCreated","args":["top"]})"
      "\n"
      R"({"browser":2,"eval":"top","result":{"a":[1.5]}})"
      "\n"
      R"({"browser":2,"eval":"top","result":"still here"})"
      "\n",
      out_.str());
  EXPECT_NE(std::string::npos,
            err_.str().find("run.json: steps[6]: the application did not "
                            "handle message \"Unknown\""))
      << err_.str();
  EXPECT_EQ(live_before, LiveObjectCount());
}

// A function kept by another frame runs after its own context went, in that
// context, which belongs to no frame: here the handler has nowhere to send.
TEST_F(ScenarioRunTest, KeptFunctionsOutliveTheirContext) {
  EXPECT_EQ(kScenarioPassed, Run(R"json({
    "browsers": [{"id": "b1", "frames": [{"name": "main"}, {"name": "A"}]}],
    "steps": [
      {"do": "createContext", "frame": "main"},
      {"do": "createContext", "frame": "A"},
      {"do": "keep", "frame": "A", "code": "report", "into": "main",
       "as": "keptReport"},
      {"do": "releaseContext", "frame": "A"},
      {"do": "expect", "frame": "main", "code": "keptReport(1)", "result": 7}
    ]})json"))
      << err_.str();
  EXPECT_EQ(std::string::npos, out_.str().find("\"report\"")) << out_.str();
}

// A page removes a sub-frame, by a step or from script: the frame's and its
// children's contexts go at once, and the steps go on.
TEST_F(ScenarioRunTest, PagesRemoveFrames) {
  EXPECT_EQ(kScenarioPassed, Run(R"json({
    "browsers": [{"id": "b1", "frames": [{"name": "main"}, {"name": "A"},
                 {"name": "B", "parent": "A"}, {"name": "S"}]}],
    "steps": [
      {"do": "createContext", "frame": "main"},
      {"do": "createContext", "frame": "B"},
      {"do": "createContext", "frame": "S"},
      {"do": "frameRemover", "frame": "main", "as": "removeFrame"},
      {"do": "removeFrame", "frame": "A"},
      {"do": "expect", "frame": "main",
       "code": "[removeFrame('S'), removeFrame('B')]", "result": [true, false]},
      {"do": "expect", "frame": "main", "code": "removeFrame('S')",
       "result": false},
      {"do": "eval", "frame": "main", "code": "1"}
    ]})json"))
      << err_.str();
}

TEST_F(ScenarioRunTest, ThrownScriptsAreReportedNotFatal) {
  EXPECT_EQ(kScenarioPassed, Run(R"json({
    "browsers": [{"id": "b1"}],
    "steps": [
      {"do": "createContext", "frame": "main"},
      {"do": "eval", "frame": "main", "code": "throw new Error('boom')"},
      {"do": "expect", "frame": "main", "code": "null.x",
       "exception": "TypeError"},
      {"do": "eval", "frame": "main", "code": "1"}
    ]})json"));
  std::istringstream lines(out_.str());
  std::string line;
  std::getline(lines, line);  // ContextCreated
  std::getline(lines, line);
  EXPECT_EQ(0u, line.find(R"({"eval":"main","exception":")")) << line;
  EXPECT_NE(std::string::npos, line.find("boom")) << line;
  std::getline(lines, line);
  EXPECT_EQ(R"({"eval":"main","result":1})", line);
}

TEST_F(ScenarioRunTest, FailedExpectationsExitOneAfterTheRest) {
  EXPECT_EQ(kScenarioExpectFailed, Run(R"json({
    "browsers": [{"id": "b1"}],
    "steps": [
      {"do": "createContext", "frame": "main"},
      {"do": "expect", "frame": "main", "code": "1 + 1", "result": 3},
      {"do": "expect", "frame": "main", "code": "'x'", "exception": "x"},
      {"do": "eval", "frame": "main", "code": "2"}
    ]})json"));
  EXPECT_NE(std::string::npos,
            err_.str().find("run.json: steps[1]: expectation failed: "
                            "\"1 + 1\" gave result 2, expected result 3"))
      << err_.str();
  EXPECT_NE(std::string::npos,
            err_.str().find("run.json: steps[2]: expectation failed: \"'x'\" "
                            "gave result \"x\", expected an exception"))
      << err_.str();
  EXPECT_NE(std::string::npos,
            out_.str().find(R"({"eval":"main","result":2})"));
}

TEST_F(ScenarioRunTest, AutoRunTasksRunsThemAfterEveryStep) {
  EXPECT_EQ(kScenarioPassed, Run(R"json({
    "autoRunTasks": true,
    "browsers": [{"id": "b1"}],
    "steps": [
      {"do": "createContext", "frame": "main"},
      {"do": "message", "frame": "main", "name": "Later"},
      {"do": "eval", "frame": "main", "code": "1"}
    ]})json"));
  EXPECT_EQ(
      R"({"browser":1,"frame":"main","name":"ContextCreated","args":["main"]})"
      "\n"
      R"({"browser":1,"frame":"main","name":"LaterDone","args":[]})"
      "\n"
      R"({"eval":"main","result":1})"
      "\n",
      out_.str());
  EXPECT_EQ("", err_.str());
}

TEST_F(ScenarioRunTest, RunsWithoutAnApplication) {
  EXPECT_EQ(kScenarioPassed, Run(R"json({
    "comment": "comments are allowed on every object",
    "browsers": [{"id": "b1", "comment": "c",
                  "frames": [{"name": "main", "frameName": "", "comment": "c"}]}],
    "steps": [
      {"do": "createContext", "frame": "main", "comment": "c"},
      {"do": "message", "frame": "main", "name": "Nobody"},
      {"do": "eval", "frame": "main", "code": "[1, 'a', null]"},
      {"do": "releaseContext", "frame": "main"}
    ]})json",
                                 nullptr));
  EXPECT_EQ("{\"eval\":\"main\",\"result\":[1,\"a\",null]}\n", out_.str());
}

TEST_F(ScenarioRunTest, ConsoleCallsPrintInOrderWithTheMessages) {
  EXPECT_EQ(kScenarioPassed, Run(R"json({
    "browsers": [{"id": "b1", "frames": [{"name": "main"}, {"name": "A"}]}],
    "steps": [
      {"do": "createContext", "frame": "A"},
      {"do": "eval", "frame": "A",
       "code": "report('a');\nconsole.log('b', 1, {x: 1}, [2, 3]); report('c'); 4"},
      {"do": "eval", "frame": "A",
       "code": "console.info('i'); console.warn('w'); console.error('e'); console.debug()"},
      {"do": "eval", "frame": "A",
       "code": "console.log({toString() { throw new Error('no'); }}, Symbol('s'))"}
    ]})json"));
  EXPECT_EQ(
      R"({"browser":1,"frame":"A","name":"ContextCreated","args":["A"]})"
      "\n"
      R"({"browser":1,"frame":"A","name":"report","args":["a"]})"
      "\n"
      R"({"browser":1,"frame":"A","console":"log","level":"info",)"
      R"("message":"b 1 [object Object] 2,3","source":"","line":2})"
      "\n"
      R"({"browser":1,"frame":"A","name":"report","args":["c"]})"
      "\n"
      R"({"eval":"A","result":4})"
      "\n"
      R"({"browser":1,"frame":"A","console":"info","level":"info",)"
      R"("message":"i","source":"","line":1})"
      "\n"
      R"({"browser":1,"frame":"A","console":"warn","level":"warning",)"
      R"("message":"w","source":"","line":1})"
      "\n"
      R"({"browser":1,"frame":"A","console":"error","level":"error",)"
      R"("message":"e","source":"","line":1})"
      "\n"
      R"({"browser":1,"frame":"A","console":"debug","level":"debug",)"
      R"("message":"","source":"","line":1})"
      "\n"
      R"({"eval":"A","text":"undefined"})"
      "\n"
      R"({"browser":1,"frame":"A","console":"log","level":"info",)"
      R"j("message":"<a value without a text form> Symbol(s)","source":"",)j"
      R"("line":1})"
      "\n"
      R"({"eval":"A","text":"undefined"})"
      "\n",
      out_.str());
}

TEST_F(ScenarioRunTest, HooksAfterDestroyReachTheApplication) {
  ClearLog();
  EXPECT_EQ(kScenarioPassed, Run(R"json({
    "browsers": [{"id": "b1", "frames": [{"name": "main"}, {"name": "A"}]}],
    "steps": [
      {"do": "destroyBrowser"},
      {"do": "createContext", "frame": "A", "afterDestroy": true},
      {"do": "releaseContext", "frame": "main", "afterDestroy": true},
      {"do": "message", "frame": "main", "name": "Echo", "args": [1],
       "afterDestroy": true}
    ]})json"));
  // The hooks ran; what they sent through a detached frame went nowhere.
  EXPECT_EQ("", out_.str());
  EXPECT_EQ("", err_.str());
  int gone = 0;
  for (const LogRecord& record : LogRecords())
    gone += record.message.find("the frame is gone") != std::string::npos;
  EXPECT_EQ(2, gone);
}

class ScenarioProcessTest : public testing::Test {
 protected:
  void TearDown() override { std::remove(path_.c_str()); }

  int RunProcess(const std::vector<std::string>& switches) {
    std::vector<const char*> argv = {"quillmoss_subprocess", "--type=renderer"};
    for (const std::string& value : switches)
      argv.push_back(value.c_str());
    CefRefPtr<CefCommandLine> command_line =
        CefCommandLine::CreateCommandLine();
    command_line->InitFromArgv(static_cast<int>(argv.size()), argv.data());
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int code = RunScenarioProcess(new TestApp(), command_line);
    out_ = testing::internal::GetCapturedStdout();
    err_ = testing::internal::GetCapturedStderr();
    return code;
  }

  const std::string path_ = testing::TempDir() + "scenario_process_test.json";
  std::string out_;
  std::string err_;
};

TEST_F(ScenarioProcessTest, RunsTheFileNamedOnTheCommandLine) {
  std::ofstream(path_)
      << R"({"browsers": [{"id": "b"}],)"
      << R"( "steps": [{"do": "createContext", "frame": "main"}]})";
  EXPECT_EQ(kScenarioPassed, RunProcess({"--scenario=" + path_})) << err_;
  EXPECT_EQ(
      R"({"browser":1,"frame":"main","name":"ContextCreated","args":["main"]})"
      "\n",
      out_);
}

TEST_F(ScenarioProcessTest, RefusesAMissingScenario) {
  EXPECT_EQ(kScenarioMalformed, RunProcess({}));
  EXPECT_NE(std::string::npos, err_.find("--scenario=FILE")) << err_;
  EXPECT_EQ(kScenarioMalformed, RunProcess({"--scenario=" + path_ + ".none"}));
  EXPECT_NE(std::string::npos, err_.find("cannot read the scenario")) << err_;
  std::ofstream(path_) << "{\n  \"steps\": 1\n}";
  EXPECT_EQ(kScenarioMalformed, RunProcess({"--scenario=" + path_}));
  EXPECT_EQ(path_ + ": steps: must be an array\n", err_);
  EXPECT_EQ("", out_);
}

}  // namespace
}  // namespace standin
