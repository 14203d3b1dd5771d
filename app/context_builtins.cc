#include "app/context_builtins.h"

#include <unordered_map>

#include "app/scoped_context_entry.h"
#include "convert/callback_hooks.h"

namespace quillmoss {
namespace {

// Frame identifier -> Array.isArray of the frame's current context. A frame
// has one context at a time: CEF releases the old one before it creates the
// next.
std::unordered_map<int64, CefRefPtr<CefV8Value>> g_is_array_by_frame;

}  // namespace

void RememberContextBuiltins(CefRefPtr<CefFrame> frame,
                             CefRefPtr<CefV8Context> context) {
  const int64 frame_id = frame->GetIdentifier();
  g_is_array_by_frame.erase(frame_id);
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
    g_is_array_by_frame[frame_id] = is_array;
}

void ForgetContextBuiltins(CefRefPtr<CefFrame> frame) {
  g_is_array_by_frame.erase(frame->GetIdentifier());
}

CefRefPtr<CefV8Value> GetCurrentContextArrayIsArray() {
  if (!CefV8Context::InContext())
    return nullptr;
  const CefRefPtr<CefFrame> frame =
      CefV8Context::GetCurrentContext()->GetFrame();
  if (!frame)
    return nullptr;
  const auto found = g_is_array_by_frame.find(frame->GetIdentifier());
  return found == g_is_array_by_frame.end() ? nullptr : found->second;
}

}  // namespace quillmoss
