#include "app/javascript_callback.h"

#include <limits>
#include <string>
#include <type_traits>

#include "app/scoped_context_entry.h"
#include "common/log_line.h"
#include "common/process_messages.h"
#include "convert/v8utils.h"

namespace quillmoss {
namespace {

// The descriptor's text around its three values, written by
// StoreJavascriptCallback() and counted by
// GetJavascriptCallbackDescriptorLength() before a function is stored.
constexpr char kDescriptorOpening[] =
    "{\"what\":\"javascript-callback\",\"callbackId\":";
constexpr char kDescriptorFrameId[] = ",\"frameId\":";
constexpr char kDescriptorFunctionName[] = ",\"functionName\":\"";
constexpr char kDescriptorClosing[] = "\"}";

constexpr char kLogSource[] = "javascript_callback";

// Passes |units| to |sink| as they stand in the body of a JSON string:
// sink(units, count) for a run that stays as it is, sink(escape, length) for
// a unit's escape. Page script chooses function names, so quotes,
// backslashes and control characters must not be able to end the string or
// add members to the descriptor the host parses. The escapes depend only on
// ASCII, which UTF-8 bytes and UTF-16 units spell alike, so this one routine
// both writes the descriptor from UTF-8 and counts its UTF-16 length: the
// two cannot disagree.
template <typename Unit, typename Sink>
void EscapeJsonStringBody(const Unit* units, size_t count, Sink&& sink) {
  constexpr char kHex[] = "0123456789abcdef";
  size_t run_start = 0;
  for (size_t i = 0; i < count; ++i) {
    const auto code = static_cast<std::make_unsigned_t<Unit>>(units[i]);
    char escape[] = {'\\', 0, '0', '0', 0, 0};
    size_t escape_length = 2;
    switch (code) {
      case '"':
      case '\\':
        escape[1] = static_cast<char>(code);
        break;
      case '\b':
        escape[1] = 'b';
        break;
      case '\f':
        escape[1] = 'f';
        break;
      case '\n':
        escape[1] = 'n';
        break;
      case '\r':
        escape[1] = 'r';
        break;
      case '\t':
        escape[1] = 't';
        break;
      default:
        if (code >= 0x20)
          continue;
        escape[1] = 'u';
        escape[4] = kHex[code >> 4];
        escape[5] = kHex[code & 0xF];
        escape_length = sizeof(escape);
    }
    if (i > run_start)
      sink(units + run_start, i - run_start);
    sink(escape, escape_length);
    run_start = i + 1;
  }
  if (count > run_start)
    sink(units + run_start, count - run_start);
}

void AppendJsonStringBody(const std::string& name, std::string* out) {
  EscapeJsonStringBody(
      name.data(), name.size(),
      [out](const char* text, size_t length) { out->append(text, length); });
}

// UTF-16 units |name| takes once AppendJsonStringBody has escaped it.
size_t JsonStringBodyLength(const CefString& name) {
  size_t length = 0;
  // c_str() of an empty CefString is null, but then nothing is read.
  EscapeJsonStringBody(
      name.c_str(), name.length(),
      [&length](const void*, size_t units) { length += units; });
  return length;
}

}  // namespace

JavascriptCallbackRegistry::JavascriptCallbackRegistry() = default;

JavascriptCallbackRegistry::~JavascriptCallbackRegistry() = default;

// Ids stay positive and unique among live entries. Past INT32_MAX the counter
// starts again at 1 and skips ids still in the registry: incrementing a
// signed int past its maximum is undefined, and a reused live id would make
// the host call the wrong function.
int JavascriptCallbackRegistry::NextJavascriptCallbackId() {
  do {
    if (last_javascript_callback_id_ == std::numeric_limits<int>::max() ||
        last_javascript_callback_id_ < 0) {
      last_javascript_callback_id_ = 1;
    } else {
      ++last_javascript_callback_id_;
    }
  } while (IsLiveJavascriptCallbackId(last_javascript_callback_id_));
  return last_javascript_callback_id_;
}

// Until the counter wraps, a new id is above every live one: the largest key
// answers without a search of a registry that may hold many thousands.
bool JavascriptCallbackRegistry::IsLiveJavascriptCallbackId(
    int callback_id) const {
  if (javascript_callbacks_.empty() ||
      callback_id > javascript_callbacks_.rbegin()->first) {
    return false;
  }
  return javascript_callbacks_.count(callback_id) != 0;
}

CefString JavascriptCallbackRegistry::StoreJavascriptCallback(
    CefRefPtr<CefFrame> frame,
    CefRefPtr<CefV8Value> function) {
  return StoreJavascriptCallback(frame, function, function->GetFunctionName());
}

CefString JavascriptCallbackRegistry::StoreJavascriptCallback(
    CefRefPtr<CefFrame> frame,
    CefRefPtr<CefV8Value> function,
    const CefString& name) {
  const int callback_id = NextJavascriptCallbackId();
  const int64 frame_id = frame->GetIdentifier();
  const std::string function_name =
      name.empty() ? std::string() : name.ToString();

  // One allocation: the fixed text, two numbers and the name fit in this.
  std::string descriptor;
  descriptor.reserve(128 + function_name.size());
  descriptor.append(kCallbackDescriptorMarker);
  descriptor.append(kDescriptorOpening).append(std::to_string(callback_id));
  descriptor.append(kDescriptorFrameId).append(std::to_string(frame_id));
  descriptor.append(kDescriptorFunctionName);
  AppendJsonStringBody(function_name, &descriptor);
  descriptor.append(kDescriptorClosing);

  // The id is not live (see NextJavascriptCallbackId), so this inserts; at
  // the end, without a search, unless the counter has wrapped.
  javascript_callbacks_.emplace_hint(javascript_callbacks_.end(), callback_id,
                                     JavascriptCallback(frame, function));
  callback_ids_by_frame_[frame_id].insert(callback_id);

  CefString result;
  result.FromString(descriptor);
  return result;
}

bool JavascriptCallbackRegistry::GetJavascriptCallback(
    int callback_id,
    JavascriptCallback* callback) const {
  const auto it = javascript_callbacks_.find(callback_id);
  if (it == javascript_callbacks_.end())
    return false;
  *callback = it->second;
  return true;
}

// static
size_t JavascriptCallbackRegistry::GetJavascriptCallbackDescriptorLength(
    CefRefPtr<CefV8Value> function) {
  return GetJavascriptCallbackDescriptorLength(function->GetFunctionName());
}

// static
size_t JavascriptCallbackRegistry::GetJavascriptCallbackDescriptorLength(
    const CefString& name) {
  // StoreJavascriptCallback's fixed text, "2147483647" and
  // "-9223372036854775808" at most for the two ids.
  constexpr size_t kLongestWithoutName =
      sizeof(kCallbackDescriptorMarker) - 1 + sizeof(kDescriptorOpening) - 1 +
      10 + sizeof(kDescriptorFrameId) - 1 + 20 +
      sizeof(kDescriptorFunctionName) - 1 + sizeof(kDescriptorClosing) - 1;
  return kLongestWithoutName + JsonStringBodyLength(name);
}

void JavascriptCallbackRegistry::RemoveJavascriptCallbacksForFrame(
    CefRefPtr<CefFrame> frame) {
  if (javascript_callbacks_.empty())
    return;
  const int64 frame_id = frame->GetIdentifier();
  const auto index = callback_ids_by_frame_.find(frame_id);
  if (index == callback_ids_by_frame_.end())
    return;
  // Take the ids out first: erasing an entry releases a V8 function, which
  // must not find the index half-changed.
  const std::set<int> callback_ids = std::move(index->second);
  callback_ids_by_frame_.erase(index);
  for (const int callback_id : callback_ids) {
    if (javascript_callbacks_.erase(callback_id) == 0)
      continue;
    RENDERER_LOG(INFO)
        << "RemoveJavascriptCallbacksForFrame(): removed js callback from the map";
  }
}

bool JavascriptCallbackRegistry::ExecuteJavascriptCallback(
    ConversionHooks& hooks,
    CefRefPtr<CefBrowser> browser,
    int callback_id,
    CefRefPtr<CefListValue> args) {
  if (javascript_callbacks_.empty()) {
    RENDERER_LOG(ERROR) << "ExecuteJavascriptCallback(): callback map is empty";
    return false;
  }
  // A copy, not a reference into the map: the page's script run below may
  // remove the frame, and with it this entry.
  JavascriptCallback callback;
  if (!GetJavascriptCallback(callback_id, &callback)) {
    RENDERER_LOG(ERROR)
        << "ExecuteJavascriptCallback(): callback not found, id="
        << callback_id;
    return false;
  }
  const CefRefPtr<CefFrame>& frame = callback.first;
  const CefRefPtr<CefV8Value>& function = callback.second;

  // Ids count per process across every browser it renders: a reply that
  // came through one browser must not run a function another browser's page
  // passed, with data meant for the first. A frame that has left its browser
  // has no context either, and is refused below.
  const CefRefPtr<CefBrowser> owner = frame->GetBrowser();
  if (owner &&
      (!browser || owner->GetIdentifier() != browser->GetIdentifier())) {
    RENDERER_LOG(ERROR)
        << "ExecuteJavascriptCallback(): callback belongs to another browser, id="
        << callback_id;
    return false;
  }

  // A frame whose context is gone or going cannot run script; entering it
  // would touch a dead context.
  CefRefPtr<CefV8Context> context = frame->GetV8Context();
  ScopedContextEntry entry;
  if (!context || !context->IsValid() || !entry.Enter(context)) {
    RENDERER_LOG(ERROR)
        << "ExecuteJavascriptCallback(): V8 context not available, id="
        << callback_id;
    return false;
  }
  const CefV8ValueList arguments = CefListValueToV8Arguments(hooks, args);
  // A page setter run by the conversion may have removed the frame: CEF
  // released its context at once and dropped its callbacks, this one too.
  if (!context->IsValid()) {
    RENDERER_LOG(ERROR)
        << "ExecuteJavascriptCallback(): the frame went while the arguments converted, id="
        << callback_id;
    return false;
  }
  const CefRefPtr<CefV8Value> result =
      function->ExecuteFunction(nullptr, arguments);
  if (result)
    return true;
  // CEF keeps what the page threw on the stored function, its message and
  // source line with it, for as long as the entry lives.
  function->ClearException();
  RENDERER_LOG(ERROR)
      << "ExecuteJavascriptCallback(): callback->ExecuteFunction() failed";
  return false;
}

void JavascriptCallbackRegistry::ResetJavascriptCallbacksForTesting() {
  callback_ids_by_frame_.clear();
  javascript_callbacks_.clear();
  last_javascript_callback_id_ = 0;
}

void JavascriptCallbackRegistry::SetLastJavascriptCallbackIdForTesting(int id) {
  last_javascript_callback_id_ = id;
}

int JavascriptCallbackRegistry::GetLastJavascriptCallbackIdForTesting() const {
  return last_javascript_callback_id_;
}

size_t JavascriptCallbackRegistry::CountJavascriptCallbacksForTesting() const {
  return javascript_callbacks_.size();
}

bool JavascriptCallbackRegistry::HasJavascriptCallbackForTesting(
    int callback_id) const {
  return javascript_callbacks_.count(callback_id) != 0;
}

std::vector<int>
JavascriptCallbackRegistry::GetJavascriptCallbackIdsForTesting() const {
  std::vector<int> ids;
  ids.reserve(javascript_callbacks_.size());
  for (const auto& entry : javascript_callbacks_)
    ids.push_back(entry.first);
  return ids;
}

bool JavascriptCallbackRegistry::IsFrameIndexInStepForTesting() const {
  size_t indexed = 0;
  for (const auto& frame_ids : callback_ids_by_frame_) {
    if (frame_ids.second.empty())
      return false;
    for (const int callback_id : frame_ids.second) {
      const auto it = javascript_callbacks_.find(callback_id);
      if (it == javascript_callbacks_.end() ||
          it->second.first->GetIdentifier() != frame_ids.first) {
        return false;
      }
      ++indexed;
    }
  }
  return indexed == javascript_callbacks_.size();
}

}  // namespace quillmoss
