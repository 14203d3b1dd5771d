// What CEF's framework library exports of the platform: the calling thread's
// identifier and handle (include/internal/cef_thread_internal.h) and, on
// Linux, the X display (include/internal/cef_types_linux.h).
//
// Thread ids: on Windows both are GetCurrentThreadId(); elsewhere the
// kernel's thread id (what Chromium's PlatformThread::CurrentId() answers on
// Linux) and pthread_self(). CEF's own cef_thread_internal.h picks its
// platform by OS_WIN / OS_POSIX, which its includers define first
// (cef_build.h, through cef_export.h); against CEF's headers
// cef_string_types.h does that here.
#include "include/internal/cef_string_types.h"
// (after cef_string_types.h)
#include "include/internal/cef_thread_internal.h"

#if !defined(_WIN32)
#include <sys/syscall.h>

#include "cef_standin/src/logging_internal.h"
#include "include/internal/cef_types_linux.h"
#endif

cef_platform_thread_id_t cef_get_current_platform_thread_id() {
#if defined(_WIN32)
  return GetCurrentThreadId();
#else
  return static_cast<cef_platform_thread_id_t>(syscall(SYS_gettid));
#endif
}

cef_platform_thread_handle_t cef_get_current_platform_thread_handle() {
#if defined(_WIN32)
  return GetCurrentThreadId();
#else
  return pthread_self();
#endif
}

#if !defined(_WIN32)
// The stand-in opens no X display: a renderer never asks for one, only the
// browser process's UI code does.
XDisplay* cef_get_xdisplay() {
  standin::internal::NotImplemented("cef_get_xdisplay");
}
#endif
