#include "support/fake_shell.h"

#include "app/platform_shell.h"

namespace quillmoss {
namespace {

FakeShell g_fake_shell;

}  // namespace

FakeShell& GetFakeShell() {
  return g_fake_shell;
}

void ResetFakeShell() {
  g_fake_shell = FakeShell();
}

void LoadShellLibrary() {
  g_fake_shell.library_loaded = g_fake_shell.library_loads;
}

bool SetAppUserModelId(const std::wstring& app_user_model_id) {
  if (!g_fake_shell.library_loaded ||
      !g_fake_shell.has_app_user_model_id_function) {
    return false;
  }
  ++g_fake_shell.app_user_model_id_calls;
  g_fake_shell.last_app_user_model_id = app_user_model_id;
  return g_fake_shell.app_user_model_id_result == 0;
}

}  // namespace quillmoss
