#include "app/platform_shell.h"

#include <cstring>

namespace quillmoss {
namespace platform {

#if defined(_WIN32)

ModuleHandle LoadLibraryW(const wchar_t* file_name) {
  return ::LoadLibraryW(file_name);
}

ProcAddress GetProcAddress(ModuleHandle module, const char* proc_name) {
  return ::GetProcAddress(module, proc_name);
}

std::wstring GetCommandLineW() {
  const wchar_t* command_line = ::GetCommandLineW();
  return command_line ? std::wstring(command_line) : std::wstring();
}

#else

namespace {

FakeShell g_fake_shell;
// Distinct addresses stand for the module handle.
char g_fake_shell_module;

long FakeSetCurrentProcessExplicitAppUserModelID(const wchar_t* app_id) {
  ++g_fake_shell.app_user_model_id_calls;
  g_fake_shell.last_app_user_model_id = app_id ? app_id : L"";
  return g_fake_shell.app_user_model_id_result;
}

}  // namespace

FakeShell& GetFakeShell() {
  return g_fake_shell;
}

void ResetFakeShell() {
  g_fake_shell = FakeShell();
}

ModuleHandle LoadLibraryW(const wchar_t* file_name) {
  ++g_fake_shell.load_library_calls;
  g_fake_shell.last_loaded_library = file_name ? file_name : L"";
  return g_fake_shell.library_loads ? &g_fake_shell_module : nullptr;
}

ProcAddress GetProcAddress(ModuleHandle module, const char* proc_name) {
  ++g_fake_shell.get_proc_address_calls;
  if (module != &g_fake_shell_module || !proc_name)
    return nullptr;
  if (std::strcmp(proc_name, "SetCurrentProcessExplicitAppUserModelID") != 0 ||
      !g_fake_shell.has_app_user_model_id_function) {
    return nullptr;
  }
  return reinterpret_cast<ProcAddress>(
      &FakeSetCurrentProcessExplicitAppUserModelID);
}

std::wstring GetCommandLineW() {
  return g_fake_shell.command_line;
}

#endif

}  // namespace platform
}  // namespace quillmoss
