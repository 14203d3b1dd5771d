// What the application object needs from the Windows shell. Windows builds
// link platform_shell_win.cc; other production builds link
// platform_shell_posix.cc, which has no shell; tests link a double they can
// steer (tests/support/fake_shell.h).
#ifndef QUILLMOSS_APP_PLATFORM_SHELL_H_
#define QUILLMOSS_APP_PLATFORM_SHELL_H_

#include <string>

namespace quillmoss {

// Loads the shell library ("shell32.dll") for the rest of the process: it is
// never freed, so later look-ups in it stay valid.
void LoadShellLibrary();

// Sets the process's explicit application user-model id through the loaded
// shell library. False when the library or its function is missing or the
// call fails.
bool SetAppUserModelId(const std::wstring& app_user_model_id);

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_PLATFORM_SHELL_H_
