#include "app/context_builtins.h"

#include "app/scoped_context_entry.h"

namespace quillmoss {

ContextBuiltins::ContextBuiltins() = default;

ContextBuiltins::~ContextBuiltins() = default;

void ContextBuiltins::Remember(CefRefPtr<CefFrame> frame,
                               CefRefPtr<CefV8Context> context) {
  const int64 frame_id = frame->GetIdentifier();
  is_array_by_frame_.erase(frame_id);
  // CEF creates it entered; entering again only counts once more.
  ScopedContextEntry entry;
  if (!entry.Enter(context))
    return;
  const CefRefPtr<CefV8Value> global = context->GetGlobal();
  const CefRefPtr<CefV8Value> array =
      global ? global->GetValue("Array") : nullptr;
  if (!array || !array->IsObject())
    return;
  const CefRefPtr<CefV8Value> is_array = array->GetValue("isArray");
  if (is_array && is_array->IsFunction())
    is_array_by_frame_[frame_id] = is_array;
}

void ContextBuiltins::Forget(CefRefPtr<CefFrame> frame) {
  is_array_by_frame_.erase(frame->GetIdentifier());
}

CefRefPtr<CefV8Value> ContextBuiltins::GetCurrentContextArrayIsArray() const {
  if (!CefV8Context::InContext())
    return nullptr;
  const CefRefPtr<CefFrame> frame =
      CefV8Context::GetCurrentContext()->GetFrame();
  if (!frame)
    return nullptr;
  const auto found = is_array_by_frame_.find(frame->GetIdentifier());
  return found == is_array_by_frame_.end() ? nullptr : found->second;
}

}  // namespace quillmoss
