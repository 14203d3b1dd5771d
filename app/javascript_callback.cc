#include "app/javascript_callback.h"

#include <cstdio>
#include <limits>
#include <set>
#include <string>
#include <unordered_map>

#include "common/log_line.h"
#include "common/process_messages.h"
#include "convert/v8utils.h"

int g_lastJavascriptCallbackId = 0;
std::map<int, JavascriptCallback> g_javascriptCallbacks;

namespace {

constexpr char kLogSource[] = "javascript_callback";

// Frame identifier -> the ids stored from it, ascending. Lets a context
// release find its frame's entries without visiting every other frame's.
// Frame identifiers never change, so the one read at store time stays right.
std::unordered_map<int64, std::set<int>> g_callbackIdsByFrame;

// Writes |name| as the body of a JSON string. Page script chooses function
// names, so quotes, backslashes and control characters must not be able to
// end the string or add members to the descriptor the host parses.
void AppendJsonStringBody(const std::string& name, std::string* out) {
  for (const char c : name) {
    switch (c) {
      case '"':
        out->append("\\\"");
        break;
      case '\\':
        out->append("\\\\");
        break;
      case '\b':
        out->append("\\b");
        break;
      case '\f':
        out->append("\\f");
        break;
      case '\n':
        out->append("\\n");
        break;
      case '\r':
        out->append("\\r");
        break;
      case '\t':
        out->append("\\t");
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          char escaped[7];
          std::snprintf(escaped, sizeof(escaped), "\\u%04x",
                        static_cast<unsigned char>(c));
          out->append(escaped);
        } else {
          out->push_back(c);
        }
    }
  }
}

// Ids stay positive and unique among live entries. Past INT32_MAX the counter
// starts again at 1 and skips ids still in the registry: incrementing a
// signed int past its maximum is undefined, and a reused live id would make
// the host call the wrong function.
int NextJavascriptCallbackId() {
  do {
    if (g_lastJavascriptCallbackId == std::numeric_limits<int>::max() ||
        g_lastJavascriptCallbackId < 0) {
      g_lastJavascriptCallbackId = 1;
    } else {
      ++g_lastJavascriptCallbackId;
    }
  } while (g_javascriptCallbacks.count(g_lastJavascriptCallbackId) != 0);
  return g_lastJavascriptCallbackId;
}

}  // namespace

CefString StoreJavascriptCallback(CefRefPtr<CefFrame> frame,
                                  CefRefPtr<CefV8Value> function) {
  const int callbackId = NextJavascriptCallbackId();
  const int64 frameId = frame->GetIdentifier();
  const CefString name = function->GetFunctionName();
  const std::string functionName =
      name.empty() ? std::string() : name.ToString();

  std::string descriptor(quillmoss::kCallbackDescriptorMarker);
  descriptor.append("{");
  descriptor.append("\"what\":\"javascript-callback\"");
  descriptor.append(",\"callbackId\":").append(std::to_string(callbackId));
  descriptor.append(",\"frameId\":").append(std::to_string(frameId));
  descriptor.append(",\"functionName\":\"");
  AppendJsonStringBody(functionName, &descriptor);
  descriptor.append("\"}");

  g_javascriptCallbacks[callbackId] = JavascriptCallback(frame, function);
  g_callbackIdsByFrame[frameId].insert(callbackId);

  CefString result;
  result.FromString(descriptor);
  return result;
}

bool GetJavascriptCallback(int callbackId, JavascriptCallback* callback) {
  const auto it = g_javascriptCallbacks.find(callbackId);
  if (it == g_javascriptCallbacks.end())
    return false;
  *callback = it->second;
  return true;
}

void RemoveJavascriptCallbacksForFrame(CefRefPtr<CefFrame> frame) {
  if (g_javascriptCallbacks.empty())
    return;
  const int64 frameId = frame->GetIdentifier();
  const auto index = g_callbackIdsByFrame.find(frameId);
  if (index == g_callbackIdsByFrame.end())
    return;
  // Take the ids out first: erasing an entry releases a V8 function, which
  // must not find the index half-changed.
  const std::set<int> callbackIds = std::move(index->second);
  g_callbackIdsByFrame.erase(index);
  for (const int callbackId : callbackIds) {
    if (g_javascriptCallbacks.erase(callbackId) == 0)
      continue;
    QLOG(INFO) << "[Renderer process] RemoveJavascriptCallbacksForFrame(): "
                  "removed js callback from the map";
  }
}

bool ExecuteJavascriptCallback(int callbackId, CefRefPtr<CefListValue> args) {
  if (g_javascriptCallbacks.empty()) {
    QLOG(ERROR) << "[Renderer process] ExecuteJavascriptCallback(): callback "
                   "map is empty";
    return false;
  }
  JavascriptCallback callback;
  if (!GetJavascriptCallback(callbackId, &callback)) {
    QLOG(ERROR) << "[Renderer process] ExecuteJavascriptCallback(): callback "
                   "not found, id="
                << callbackId;
    return false;
  }
  const CefRefPtr<CefFrame> frame = callback.first;
  const CefRefPtr<CefV8Value> function = callback.second;

  // A frame whose context is gone or going cannot run script; entering it
  // would touch a dead context.
  CefRefPtr<CefV8Context> context = frame->GetV8Context();
  if (!context || !context->IsValid()) {
    QLOG(ERROR) << "[Renderer process] ExecuteJavascriptCallback(): V8 "
                   "context not available, id="
                << callbackId;
    return false;
  }

  context->Enter();
  const CefV8ValueList arguments = CefListValueToV8Arguments(args);
  const CefRefPtr<CefV8Value> result =
      function->ExecuteFunction(nullptr, arguments);
  context->Exit();

  if (result)
    return true;
  QLOG(ERROR) << "[Renderer process] ExecuteJavascriptCallback(): "
                 "callback->ExecuteFunction() failed";
  return false;
}

void SetLastJavascriptCallbackIdForTesting(int id) {
  g_lastJavascriptCallbackId = id;
}

void ResetJavascriptCallbacksForTesting() {
  g_callbackIdsByFrame.clear();
  g_javascriptCallbacks.clear();
  g_lastJavascriptCallbackId = 0;
}
