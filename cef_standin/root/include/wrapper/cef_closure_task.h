// Helpers that turn a base::Closure into a CefTask.
#ifndef CEF_INCLUDE_WRAPPER_CEF_CLOSURE_TASK_H_
#define CEF_INCLUDE_WRAPPER_CEF_CLOSURE_TASK_H_

#include "include/base/cef_bind.h"
#include "include/base/cef_callback_forward.h"
#include "include/base/cef_macros.h"
#include "include/cef_task.h"

CefRefPtr<CefTask> CefCreateClosureTask(const base::Closure& closure);

bool CefPostTask(CefThreadId threadId, const base::Closure& closure);
bool CefPostDelayedTask(CefThreadId threadId,
                        const base::Closure& closure,
                        int64 delay_ms);

#endif  // CEF_INCLUDE_WRAPPER_CEF_CLOSURE_TASK_H_
