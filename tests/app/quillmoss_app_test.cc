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

// What the taskbar sees: the host's id when the switch gives one, in every
// process type, and the process's own default (no call at all) otherwise.
TEST_F(QuillmossAppTest, SetsTheAppUserModelIdOnlyWhenOneIsGiven) {
  struct Row {
    const char* process_type;
    std::vector<const char*> argv;
    int expected_calls;
    const wchar_t* expected_id;
  };
  const Row rows[] = {
      {"renderer", {}, 0, L""},
      {"gpu-process", {"--app-user-model-id="}, 0, L""},
      {"", {"--app-user-model-id=Example.Host.1"}, 1, L"Example.Host.1"},
      {"utility", {"--app-user-model-id=Caf\xC3\xA9"}, 1, L"Caf\u00e9"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(::testing::Message() << "type '" << row.process_type << "'");
    ResetFakeShell();
    standin::ClearLog();
    ProcessCommandLine(row.process_type, row.argv);
    const FakeShell& shell = GetFakeShell();
    EXPECT_EQ(row.expected_calls, shell.app_user_model_id_calls);
    EXPECT_EQ(row.expected_id, shell.last_app_user_model_id);
    EXPECT_TRUE(standin::LogRecords().empty());
  }
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

    EXPECT_EQ(rows[i].expected_calls, shell.app_user_model_id_calls);
    ASSERT_EQ(1u, standin::LogRecords().size());
    const standin::LogRecord& line = standin::LogRecords()[0];
    EXPECT_EQ("quillmoss_app", line.file);
    EXPECT_EQ(standin::kLogError, line.severity);
    EXPECT_EQ("SetCurrentProcessExplicitAppUserModelID failed", line.message);
  }
}

}  // namespace
}  // namespace quillmoss
