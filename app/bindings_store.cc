// The bindings store: the last bindings dictionary each browser received,
// read by installation and by every bound call.
#include <algorithm>
#include <string>

#include "app/bindings_dictionary.h"
#include "app/quillmoss_app.h"
#include "app/quillmoss_app_log.h"
#include "common/log_line.h"

namespace quillmoss {

void QuillmossApp::SetBindingsForBrowser(
    CefRefPtr<CefBrowser> browser,
    CefRefPtr<CefDictionaryValue> bindings) {
  if (!browser)
    return;
  bindings_by_browser_[browser->GetIdentifier()] = bindings;
}

CefRefPtr<CefDictionaryValue> QuillmossApp::GetBindingsForBrowser(
    CefRefPtr<CefBrowser> browser) {
  if (!browser)
    return nullptr;
  const auto it = bindings_by_browser_.find(browser->GetIdentifier());
  if (it == bindings_by_browser_.end())
    return nullptr;
  return it->second;
}

void QuillmossApp::RemoveBindingsForBrowser(CefRefPtr<CefBrowser> browser) {
  if (!browser)
    return;
  bindings_by_browser_.erase(browser->GetIdentifier());
}

bool QuillmossApp::BindedFunctionExists(CefRefPtr<CefBrowser> browser,
                                        const CefString& function_name) {
  const CefRefPtr<CefDictionaryValue> bindings = GetBindingsForBrowser(browser);
  if (!bindings)
    return false;

  // Every bound call asks this, so a plain function name is looked for in
  // the CEF string as it is, without a UTF-8 copy; and GetDictionary() is
  // null for a missing key or another type, so it alone is the test.
  const CefString::char_type* const begin = function_name.c_str();
  const CefString::char_type* const end = begin + function_name.length();
  if (std::find(begin, end, '.') == end) {
    const CefRefPtr<CefDictionaryValue> functions =
        bindings->GetDictionary(FunctionsKey());
    if (!functions) {
      RENDERER_LOG(ERROR)
          << "BindedFunctionExists(): functions dictionary not found";
      return false;
    }
    // CEF's wrapper refuses a look-up by an empty key; installation binds no
    // empty name, here or below.
    return !function_name.empty() && functions->HasKey(function_name);
  }

  // Only the first full stop splits: a method name may hold more of them.
  const std::string name = function_name.ToString();
  const size_t dot = name.find('.');
  const std::string object_name = name.substr(0, dot);
  const std::string method_name = name.substr(dot + 1);
  const CefRefPtr<CefDictionaryValue> objects =
      bindings->GetDictionary(ObjectsKey());
  if (!objects) {
    RENDERER_LOG(ERROR)
        << "BindedFunctionExists(): objects dictionary not found";
    return false;
  }
  if (object_name.empty() || !objects->HasKey(object_name))
    return false;
  if (objects->GetType(object_name) != VTYPE_DICTIONARY) {
    RENDERER_LOG(ERROR)
        << "BindedFunctionExists(): objects dictionary has invalid type";
    return false;
  }
  return !method_name.empty() &&
         objects->GetDictionary(object_name)->HasKey(method_name);
}

bool QuillmossApp::BindingsReachFrame(CefRefPtr<CefBrowser> browser,
                                      CefRefPtr<CefFrame> frame) {
  if (!frame)
    return false;
  if (frame->IsMain())
    return true;
  const CefRefPtr<CefDictionaryValue> bindings = GetBindingsForBrowser(browser);
  return bindings && ReadBindToFrames(bindings);
}

}  // namespace quillmoss
