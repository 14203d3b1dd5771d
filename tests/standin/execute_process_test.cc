// CefExecuteProcess and CefEnableHighDPISupport.
#include <algorithm>
#include <string>
#include <vector>

#include "cef_standin/driver/renderer_driver.h"
#include "gtest/gtest.h"
#include "include/cef_app.h"
#include "support/live_object_check.h"

namespace {

using ExecuteProcessTest = testing_support::LiveObjectCheckedTest;

// Notes every call CEF makes on the application.
class CountingApp : public CefApp {
 public:
  void OnBeforeCommandLineProcessing(
      const CefString& process_type,
      CefRefPtr<CefCommandLine> command_line) override {
    calls.push_back("OnBeforeCommandLineProcessing " + process_type.ToString());
    command_line->AppendSwitchWithValue("added-by-app", "yes");
  }
  void OnRegisterCustomSchemes(
      CefRawPtr<CefSchemeRegistrar> registrar) override {
    calls.push_back("OnRegisterCustomSchemes");
  }
  CefRefPtr<CefResourceBundleHandler> GetResourceBundleHandler() override {
    calls.push_back("GetResourceBundleHandler");
    return nullptr;
  }
  CefRefPtr<CefBrowserProcessHandler> GetBrowserProcessHandler() override {
    calls.push_back("GetBrowserProcessHandler");
    return nullptr;
  }
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override {
    calls.push_back("GetRenderProcessHandler");
    return nullptr;
  }

  std::vector<std::string> calls;

 private:
  IMPLEMENT_REFCOUNTING(CountingApp);
};

int Execute(std::vector<std::string> args, CefRefPtr<CefApp> app) {
  std::vector<char*> argv;
  for (auto& arg : args)
    argv.push_back(&arg[0]);
  argv.push_back(nullptr);
  return CefExecuteProcess(
      CefMainArgs(static_cast<int>(args.size()), argv.data()), app, nullptr);
}

bool LogContains(const std::string& text) {
  for (const auto& record : standin::LogRecords()) {
    if (record.message.find(text) != std::string::npos)
      return true;
  }
  return false;
}

TEST_F(ExecuteProcessTest, BrowserProcessReturnsAtOnce) {
  CefRefPtr<CountingApp> app = new CountingApp();
  EXPECT_EQ(-1, Execute({"host", "--some-flag", "page.html"}, app.get()));
  EXPECT_TRUE(app->calls.empty());
  EXPECT_TRUE(CefCommandLine::GetGlobalCommandLine()->HasSwitch("some-flag"));
  EXPECT_EQ(-1, Execute({"host", "--type="}, app.get()));
  EXPECT_TRUE(app->calls.empty());
}

TEST_F(ExecuteProcessTest, SubProcessConsultsTheApplication) {
  CefRefPtr<CountingApp> app = new CountingApp();
  EXPECT_EQ(0, Execute({"host", "--type=gpu-process"}, app.get()));
  ASSERT_FALSE(app->calls.empty());
  EXPECT_EQ("OnBeforeCommandLineProcessing gpu-process", app->calls[0]);
  for (const char* expected :
       {"GetBrowserProcessHandler", "GetRenderProcessHandler",
        "GetResourceBundleHandler", "OnRegisterCustomSchemes"}) {
    EXPECT_NE(app->calls.end(),
              std::find(app->calls.begin(), app->calls.end(), expected))
        << expected;
  }
  CefRefPtr<CefCommandLine> global = CefCommandLine::GetGlobalCommandLine();
  EXPECT_EQ("gpu-process", global->GetSwitchValue("type").ToString());
  EXPECT_EQ("yes", global->GetSwitchValue("added-by-app").ToString())
      << "the application's changes stay";
}

TEST_F(ExecuteProcessTest, RendererWithoutScenarioFails) {
  standin::ClearLog();
  EXPECT_EQ(1, Execute({"host", "--type=renderer"}, nullptr));
  EXPECT_TRUE(LogContains("renderer started without --scenario"));
}

// The core runs no scenario itself: the simulator registers that (the
// executable links it); these tests do not.
TEST_F(ExecuteProcessTest, RendererWithoutRegisteredRunnerFails) {
  standin::ClearLog();
  EXPECT_EQ(
      1, Execute({"host", "--type=renderer", "--scenario=none.json"}, nullptr));
  EXPECT_TRUE(LogContains("no scenario runner linked into this executable"));
}

TEST_F(ExecuteProcessTest, RendererRunsTheRegisteredRunner) {
  static std::string seen_scenario;
  standin::SetRendererProcessRunner(
      [](CefRefPtr<CefApp> app, CefRefPtr<CefCommandLine> command_line) {
        seen_scenario = command_line->GetSwitchValue("scenario").ToString();
        return 7;
      });
  EXPECT_EQ(
      7, Execute({"host", "--type=renderer", "--scenario=some.json"}, nullptr));
  standin::SetRendererProcessRunner(nullptr);
  EXPECT_EQ("some.json", seen_scenario);
}

TEST_F(ExecuteProcessTest, HighDpiSupportIsCountedAndLogged) {
  standin::ClearLog();
  const int before = standin::HighDpiSupportCalls();
  CefEnableHighDPISupport();
  CefEnableHighDPISupport();
  EXPECT_EQ(before + 2, standin::HighDpiSupportCalls());
  ASSERT_FALSE(standin::LogRecords().empty());
  EXPECT_EQ("cef_standin", standin::LogRecords().back().file);
  EXPECT_EQ("[stand-in] CefEnableHighDPISupport() called",
            standin::LogRecords().back().message);
}

}  // namespace
