// The parameter checks of CEF's C++ wrapper, and the switch that turns them
// off for code that stands for CEF's own.
#include "cef_standin/src/verify_param.h"

#include <string>

#include "cef_standin/src/renderer_internal.h"

namespace standin {
namespace internal {

namespace {
// ScopedWrapperChecksOff objects alive on this thread.
thread_local int g_wrapper_checks_off = 0;
}  // namespace

bool VerifyParam(bool ok, const char* method, const char* check) {
  if (ok || g_wrapper_checks_off > 0)
    return true;
  CountMisuse();
  RendererError(std::string("CEF wrapper DCHECK(") + check +
                ") failed: " + method + " refused");
  return false;
}

}  // namespace internal

ScopedWrapperChecksOff::ScopedWrapperChecksOff() {
  ++internal::g_wrapper_checks_off;
}

ScopedWrapperChecksOff::~ScopedWrapperChecksOff() {
  --internal::g_wrapper_checks_off;
}

}  // namespace standin
