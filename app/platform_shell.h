// The Windows shell calls that the application object makes. On Windows they
// are the system's own; elsewhere a stand-in that tests can steer, so the
// same code path runs and is tested on every platform.
#ifndef QUILLMOSS_APP_PLATFORM_SHELL_H_
#define QUILLMOSS_APP_PLATFORM_SHELL_H_

#include <string>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace quillmoss {
namespace platform {

#if defined(_WIN32)
using ModuleHandle = HMODULE;
using ProcAddress = FARPROC;
#define QUILLMOSS_WINAPI WINAPI
#else
using ModuleHandle = void*;
using ProcAddress = void (*)();
#define QUILLMOSS_WINAPI
#endif

// The shell's SetCurrentProcessExplicitAppUserModelID; 0 (S_OK) is success.
using SetAppUserModelIdFunction = long(QUILLMOSS_WINAPI*)(const wchar_t*);

ModuleHandle LoadLibraryW(const wchar_t* file_name);
ProcAddress GetProcAddress(ModuleHandle module, const char* proc_name);
// The whole process command line, program path included.
std::wstring GetCommandLineW();

#if !defined(_WIN32)
// What the stand-in shell does, for tests.
struct FakeShell {
  bool library_loads = true;
  bool has_app_user_model_id_function = true;
  long app_user_model_id_result = 0;
  std::wstring command_line;

  // What happened.
  int load_library_calls = 0;
  std::wstring last_loaded_library;
  int get_proc_address_calls = 0;
  int app_user_model_id_calls = 0;
  std::wstring last_app_user_model_id;
};
FakeShell& GetFakeShell();
void ResetFakeShell();
#endif

}  // namespace platform
}  // namespace quillmoss

#endif  // QUILLMOSS_APP_PLATFORM_SHELL_H_
