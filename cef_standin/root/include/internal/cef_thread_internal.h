// The identifier and handle of the calling thread, as the framework library
// exports them (src/platform.cc).
#ifndef CEF_INCLUDE_INTERNAL_CEF_THREAD_INTERNAL_H_
#define CEF_INCLUDE_INTERNAL_CEF_THREAD_INTERNAL_H_

#if defined(_WIN32)
#include <windows.h>
#else
#include <pthread.h>
#include <unistd.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

// Windows: GetCurrentThreadId() for both. Elsewhere: the kernel's thread id
// and pthread_self().
#if defined(_WIN32)
typedef DWORD cef_platform_thread_id_t;
typedef DWORD cef_platform_thread_handle_t;
#define kInvalidPlatformThreadId 0U
#define kInvalidPlatformThreadHandle 0U
#else
typedef pid_t cef_platform_thread_id_t;
typedef pthread_t cef_platform_thread_handle_t;
#define kInvalidPlatformThreadId 0
#define kInvalidPlatformThreadHandle 0
#endif

cef_platform_thread_id_t cef_get_current_platform_thread_id();

cef_platform_thread_handle_t cef_get_current_platform_thread_handle();

#ifdef __cplusplus
}
#endif

#endif  // CEF_INCLUDE_INTERNAL_CEF_THREAD_INTERNAL_H_
