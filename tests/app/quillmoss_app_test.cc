// The application object outside the renderer: the command-line hooks.
#include <vector>

#include <gtest/gtest.h>

#include "app/quillmoss_app.h"
#include "cef_standin/driver/renderer_driver.h"
#include "support/fake_shell.h"

namespace quillmoss {
namespace {

class QuillmossAppTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetFakeShell();
    standin::ClearLog();
  }

  void ProcessCommandLine(const char* process_type,
                          std::vector<const char*> argv) {
    argv.insert(argv.begin(), "quillmoss_subprocess");
    CefRefPtr<CefCommandLine> command_line =
        CefCommandLine::CreateCommandLine();
    command_line->InitFromArgv(static_cast<int>(argv.size()), argv.data());
    CefRefPtr<QuillmossApp> app(new QuillmossApp);
    app->OnBeforeCommandLineProcessing(process_type, command_line);
  }
};

TEST_F(QuillmossAppTest, NoAppUserModelIdLooksNothingUpButLoadsTheShell) {
  ProcessCommandLine("renderer", {});
  ProcessCommandLine("gpu-process", {"--app-user-model-id="});
  const FakeShell& shell = GetFakeShell();
  EXPECT_EQ(2, shell.load_library_calls);
  EXPECT_EQ(0, shell.set_app_user_model_id_requests);
  EXPECT_EQ(0, shell.app_user_model_id_calls);
  EXPECT_TRUE(standin::LogRecords().empty());
}

TEST_F(QuillmossAppTest, SetsTheAppUserModelIdSilently) {
  ProcessCommandLine("", {"--app-user-model-id=Example.Host.1"});
  const FakeShell& shell = GetFakeShell();
  EXPECT_EQ(1, shell.app_user_model_id_calls);
  EXPECT_EQ(L"Example.Host.1", shell.last_app_user_model_id);
  EXPECT_TRUE(standin::LogRecords().empty());
}

// A failing call, a shell that cannot load and one without the function all
// give exactly one error line and the process goes on.
TEST_F(QuillmossAppTest, EveryShellFailureGivesExactlyOneErrorLine) {
  struct Row {
    bool library_loads;
    bool has_function;
    long result;
    int expected_calls;
  };
  const Row rows[] = {
      {true, true, static_cast<long>(0x80070057), 1},
      {false, true, 0, 0},
      {true, false, 0, 0},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    ResetFakeShell();
    standin::ClearLog();
    FakeShell& shell = GetFakeShell();
    shell.library_loads = rows[i].library_loads;
    shell.has_app_user_model_id_function = rows[i].has_function;
    shell.app_user_model_id_result = rows[i].result;

    ProcessCommandLine("renderer", {"--app-user-model-id=Example.Host"});

    EXPECT_EQ(1, shell.load_library_calls);
    EXPECT_EQ(1, shell.set_app_user_model_id_requests);
    EXPECT_EQ(rows[i].expected_calls, shell.app_user_model_id_calls);
    ASSERT_EQ(1u, standin::LogRecords().size());
    const standin::LogRecord& line = standin::LogRecords()[0];
    EXPECT_EQ("quillmoss_app", line.file);
    EXPECT_EQ(standin::kLogError, line.severity);
    EXPECT_EQ("SetCurrentProcessExplicitAppUserModelID failed", line.message);
  }
}

TEST_F(QuillmossAppTest, ChildProcessLaunchLogsTheCommandLine) {
  CefRefPtr<CefCommandLine> command_line = CefCommandLine::CreateCommandLine();
  const char* argv[] = {"child", "--type=renderer"};
  command_line->InitFromArgv(2, argv);
  const CefString before = command_line->GetCommandLineString();
  CefRefPtr<QuillmossApp> app(new QuillmossApp);
  app->OnBeforeChildProcessLaunch(command_line);

  ASSERT_EQ(1u, standin::LogRecords().size());
  EXPECT_EQ(standin::kLogInfo, standin::LogRecords()[0].severity);
  EXPECT_EQ(
      "[Non-browser process] OnBeforeChildProcessLaunch() command line: " +
          before.ToString(),
      standin::LogRecords()[0].message);
  EXPECT_EQ(before, command_line->GetCommandLineString());
}

}  // namespace
}  // namespace quillmoss
