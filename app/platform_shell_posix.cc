#include "app/platform_shell.h"

// Elsewhere there is no shell and no user-model id to set; succeeding
// silently keeps the application object's behaviour the same everywhere.

namespace quillmoss {

void LoadShellLibrary() {}

bool SetAppUserModelId(const std::wstring& app_user_model_id) {
  return true;
}

}  // namespace quillmoss
