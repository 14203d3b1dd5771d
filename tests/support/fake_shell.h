// The tests' Windows shell: implements app/platform_shell.h in place of the
// production files, and records what the application object asked of it.
#ifndef QUILLMOSS_TESTS_SUPPORT_FAKE_SHELL_H_
#define QUILLMOSS_TESTS_SUPPORT_FAKE_SHELL_H_

#include <string>

namespace quillmoss {

struct FakeShell {
  // How the shell behaves.
  bool library_loads = true;
  bool has_app_user_model_id_function = true;
  long app_user_model_id_result = 0;

  // What happened.
  bool library_loaded = false;
  int app_user_model_id_calls = 0;
  std::wstring last_app_user_model_id;
};

FakeShell& GetFakeShell();
void ResetFakeShell();

}  // namespace quillmoss

#endif  // QUILLMOSS_TESTS_SUPPORT_FAKE_SHELL_H_
