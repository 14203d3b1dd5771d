// The parameter checks of CEF's C++ wrapper. A real CEF build turns every C++
// call into CEF's C API and back (libcef_dll's CToCpp and CppToC glue), and
// that glue checks the parameters first: "// Verify param: ..." lines, each a
// DCHECK followed by a refusal (null, false, 0 or an empty string) without
// calling the implementation. With DCHECKs on, a failed check aborts the
// renderer; without, the call just does nothing. The stand-in refuses the
// same calls, so the tests see what the shipped binary would do.
#ifndef CEF_STANDIN_SRC_VERIFY_PARAM_H_
#define CEF_STANDIN_SRC_VERIFY_PARAM_H_

namespace standin {
namespace internal {

// True when the call may go on: |ok|, or the checks are off on this thread
// (standin::ScopedWrapperChecksOff). Otherwise logs an error line naming
// |method| and the wrapper's |check| (its DCHECK expression), counted by
// CefMisuseCount(), and returns false: the caller then refuses as the
// wrapper does.
bool VerifyParam(bool ok, const char* method, const char* check);

}  // namespace internal
}  // namespace standin

#endif  // CEF_STANDIN_SRC_VERIFY_PARAM_H_
