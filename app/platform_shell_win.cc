#include "app/platform_shell.h"

#include <windows.h>

namespace quillmoss {
namespace {

// SetCurrentProcessExplicitAppUserModelID; S_OK (0) is success.
using SetAppUserModelIdFunction = HRESULT(WINAPI*)(PCWSTR);

// Loaded once and never freed.
HMODULE g_shell_module = nullptr;

}  // namespace

void LoadShellLibrary() {
  g_shell_module = ::LoadLibraryW(L"shell32.dll");
}

bool SetAppUserModelId(const std::wstring& app_user_model_id) {
  // Older Windows versions lack the function; a missing library or entry
  // point is a failure like any other, never a call through null.
  if (!g_shell_module)
    return false;
  // FARPROC goes through void (*)() to the real type: a direct cast is what
  // GCC's -Wcast-function-type reports.
  const auto set_app_user_model_id =
      reinterpret_cast<SetAppUserModelIdFunction>(
          reinterpret_cast<void (*)()>(::GetProcAddress(
              g_shell_module, "SetCurrentProcessExplicitAppUserModelID")));
  if (!set_app_user_model_id)
    return false;
  return set_app_user_model_id(app_user_model_id.c_str()) == S_OK;
}

}  // namespace quillmoss
