// The process entry: high-DPI by switch presence, and CEF's result as the
// exit code.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "cef_standin/driver/renderer_driver.h"
#include "cef_standin/simulator/scenario_runner.h"
#include "entry/child_process.h"
#include "support/fake_shell.h"

namespace quillmoss {
namespace {

int RunEntry(std::vector<std::string> args, bool with_command_line = true) {
  args.insert(args.begin(), "quillmoss_subprocess");
  std::vector<char*> argv;
  for (std::string& arg : args)
    argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  CefMainArgs main_args(static_cast<int>(args.size()), argv.data());
  CefRefPtr<CefCommandLine> command_line;
  if (with_command_line) {
    command_line = CefCommandLine::CreateCommandLine();
    command_line->InitFromArgv(main_args.argc, main_args.argv);
  }
  return RunChildProcess(main_args, command_line);
}

TEST(ChildProcessTest, HighDpiSupportFollowsSwitchPresenceOnly) {
  ResetFakeShell();
  struct Row {
    std::vector<std::string> args;
    int expected_calls;
  };
  const Row rows[] = {
      {{"--type=gpu-process"}, 0},
      {{"--type=gpu-process", "--enable-high-dpi-support"}, 1},
      {{"--type=gpu-process", "--enable-high-dpi-support=0"}, 1},
      {{"--type=utility", "--enable-high-dpi-support=1"}, 1},
      {{"--type=utility", "--", "--enable-high-dpi-support"}, 0},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    const int before = standin::HighDpiSupportCalls();
    EXPECT_EQ(0, RunEntry(rows[i].args));
    EXPECT_EQ(rows[i].expected_calls, standin::HighDpiSupportCalls() - before);
  }
}

TEST(ChildProcessTest, ExitCodeIsCefExecuteProcessResultUnchanged) {
  // No type switch: a browser process by CEF's contract, -1 at once.
  EXPECT_EQ(-1, RunEntry({}));
  EXPECT_EQ(-1, RunEntry({"--enable-high-dpi-support"}));
  EXPECT_EQ(0, RunEntry({"--type=gpu-process"}));
}

TEST(ChildProcessTest, MissingCommandLineStillHandsControlToCef) {
  const int before = standin::HighDpiSupportCalls();
  EXPECT_EQ(0, RunEntry({"--type=gpu-process", "--enable-high-dpi-support"},
                        /*with_command_line=*/false));
  EXPECT_EQ(before, standin::HighDpiSupportCalls());
}

// A renderer that ends with pages alive, a page function kept for the host
// and a host callback in the page: what the app held is let go before
// RunChildProcess returns, not left to static destruction.
TEST(ChildProcessTest, RendererLetsGoOfEverythingBeforeReturning) {
  const std::string path = testing::TempDir() + "child_process_test.json";
  std::ofstream(path) << R"json({"browsers": [{"id": "b"}], "steps": [
      {"do": "createContext", "frame": "main"},
      {"do": "message", "frame": "main", "name": "DoJavascriptBindings",
       "args": [{"bindToFrames": false, "functions": {"save": null},
                 "properties": {"onReady": {"$callback": 7}},
                 "objects": {}}]},
      {"do": "runTasks"},
      {"do": "eval", "frame": "main", "code": "save(function kept() {})"}]})json";
  standin::SetRendererProcessRunner(&standin::RunScenarioProcess);
  const int live_before = standin::LiveObjectCount();
  testing::internal::CaptureStdout();
  const int exit_code = RunEntry({"--type=renderer", "--scenario=" + path});
  const std::string out = testing::internal::GetCapturedStdout();
  standin::SetRendererProcessRunner(nullptr);
  std::remove(path.c_str());
  EXPECT_EQ(0, exit_code);
  EXPECT_NE(std::string::npos, out.find("javascript-callback")) << out;
  EXPECT_EQ(live_before, standin::LiveObjectCount());
}

}  // namespace
}  // namespace quillmoss
