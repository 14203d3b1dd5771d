// Enters a V8 context for as long as it lives, for installation and callback
// execution.
#ifndef QUILLMOSS_APP_SCOPED_CONTEXT_ENTRY_H_
#define QUILLMOSS_APP_SCOPED_CONTEXT_ENTRY_H_

#include "include/cef_v8.h"

namespace quillmoss {

class ScopedContextEntry {
 public:
  ScopedContextEntry() = default;
  ScopedContextEntry(const ScopedContextEntry&) = delete;
  ScopedContextEntry& operator=(const ScopedContextEntry&) = delete;
  ~ScopedContextEntry() {
    // A page's script run while entered may have removed the frame, and CEF
    // refuses every call on a released context, Exit() included.
    if (context_ && context_->IsValid())
      context_->Exit();
  }

  // False, with nothing entered, when CEF refuses.
  bool Enter(const CefRefPtr<CefV8Context>& context) {
    if (!context->Enter())
      return false;
    context_ = context;
    return true;
  }

 private:
  CefRefPtr<CefV8Context> context_;
};

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_SCOPED_CONTEXT_ENTRY_H_
