// Installation of a browser's stored bindings: scheduled into each chosen
// frame, or done at once into one V8 context.
#include <string>
#include <vector>

#include "app/bindings_dictionary.h"
#include "app/frame_choice.h"
#include "app/quillmoss_app.h"
#include "app/quillmoss_app_log.h"
#include "app/scoped_context_entry.h"
#include "app/v8function_handler.h"
#include "common/log_line.h"
#include "convert/v8utils.h"
#include "include/base/cef_bind.h"
#include "include/wrapper/cef_closure_task.h"

namespace quillmoss {
namespace {

const CefString& ProtoKey() {
  static const CefString key("__proto__");
  return key;
}

// When the given context is already the current one (the context hook runs
// with the new context entered), use it as it is. Otherwise enter it, for as
// long as |entry| lives: also when another frame's context is current (a
// posted task run from a nested message loop), since values are made in the
// current context. False when there is no context to install into.
bool EnterContextForInstallation(const CefRefPtr<CefV8Context>& context,
                                 ScopedContextEntry* entry) {
  if (CefV8Context::InContext()) {
    if (!context) {
      RENDERER_LOG(ERROR)
          << "DoJavascriptBindingsForFrame(): V8 context not available";
      return false;
    }
    const CefRefPtr<CefV8Context> current = CefV8Context::GetCurrentContext();
    if (current && current->IsSame(context))
      return true;
  }
  if (!context || !context->IsValid() || !entry->Enter(context)) {
    RENDERER_LOG(INFO)
        << "DoJavascriptBindingsForFrame(): V8 context provided by CEF is invalid";
    return false;
  }
  return true;
}

// Sets |value| under |key| of |target|. False when |target| is gone
// afterwards: an assignment runs the page's setters (its own, or inherited
// from Object.prototype), and one may have removed the frame, whose context
// CEF then released at once; CEF refuses every call on the values of a
// released context, and a debug renderer aborts.
bool SetOnPage(const CefRefPtr<CefV8Value>& target,
               const CefString& key,
               const CefRefPtr<CefV8Value>& value) {
  target->SetValue(key, value, V8_PROPERTY_ATTRIBUTE_NONE);
  return target->IsValid();
}

// A function named |name| under |key| of |target|, as SetOnPage().
// CreateFunction() gives null when it cannot make one, and CEF's wrapper
// refuses to set null.
bool SetFunction(const CefRefPtr<CefV8Value>& target,
                 const CefString& key,
                 const CefString& name,
                 const CefRefPtr<V8FunctionHandler>& handler) {
  const CefRefPtr<CefV8Value> function =
      CefV8Value::CreateFunction(name, handler);
  if (!function) {
    RENDERER_LOG(ERROR)
        << "DoJavascriptBindingsForFrame(): CreateFunction() failed";
    return true;
  }
  return SetOnPage(target, key, function);
}

// The installation steps below return false to end the installation: after
// logging their own failure, or silently when a page setter removed the
// frame (see SetFunction()), which the caller logs. Whatever earlier steps
// set stays in the page.

bool InstallFunctions(const CefRefPtr<CefV8Value>& global,
                      const CefRefPtr<CefDictionaryValue>& functions,
                      const CefRefPtr<V8FunctionHandler>& handler) {
  std::vector<CefString> function_names;
  if (!functions->GetKeys(function_names)) {
    RENDERER_LOG(ERROR)
        << "DoJavascriptBindingsForFrame(): functions->GetKeys() failed";
    return false;
  }
  for (const CefString& function_name : function_names) {
    // CEF's wrapper makes no function without a name: CreateFunction()
    // would give null, and setting null is refused too (a debug renderer
    // aborts on either). The other names go on.
    if (function_name.empty()) {
      RENDERER_LOG(ERROR)
          << "DoJavascriptBindingsForFrame(): empty function name refused";
      continue;
    }
    // Assigned to the global, it would replace the page's prototype chain,
    // as a property of that name would.
    if (function_name == ProtoKey()) {
      RENDERER_LOG(ERROR)
          << "DoJavascriptBindingsForFrame(): function __proto__ refused";
      continue;
    }
    if (!SetFunction(global, function_name, function_name, handler))
      return false;
  }
  return true;
}

// Set straight from the host's dictionary: an intermediate object would
// list the keys the page put on Object.prototype with the host's, and run
// their getters.
bool InstallProperties(ConversionHooks& hooks,
                       const CefRefPtr<CefV8Value>& global,
                       CefRefPtr<CefDictionaryValue> properties) {
  // Installing is assignment, and assigning "__proto__" replaces the page's
  // prototype chain (the members of the host's value would become globals);
  // an own property under that name would hide the page's prototype from
  // its own script. Neither is a global the host can mean.
  if (properties->HasKey(ProtoKey())) {
    RENDERER_LOG(ERROR)
        << "DoJavascriptBindingsForFrame(): property __proto__ refused";
    properties = properties->Copy(false);
    properties->Remove(ProtoKey());
  }
  // Unreadable properties keep the line that hosts' logs already know.
  if (!CefDictionaryValueSetOnV8Object(hooks, properties, global, 0)) {
    RENDERER_LOG(ERROR)
        << "DoJavascriptBindingsForFrame(): v8Properties->GetKeys() failed";
    return false;
  }
  // The conversion stops setting once a setter has removed the frame.
  return global->IsValid();
}

// The object's global is set before its methods are read, so an object
// whose methods cannot be read still appears, empty.
bool InstallObject(const CefRefPtr<CefV8Value>& global,
                   const CefRefPtr<CefDictionaryValue>& objects,
                   const CefString& object_name,
                   const CefRefPtr<V8FunctionHandler>& handler) {
  const CefRefPtr<CefV8Value> object =
      CefV8Value::CreateObject(nullptr, nullptr);
  // CEF's wrapper refuses to set null.
  if (object && !SetOnPage(global, object_name, object))
    return false;
  if (objects->GetType(object_name) != VTYPE_DICTIONARY) {
    RENDERER_LOG(ERROR)
        << "DoJavascriptBindingsForFrame(): objects->GetType() != VTYPE_DICTIONARY";
    return false;
  }
  const CefRefPtr<CefDictionaryValue> methods =
      objects->GetDictionary(object_name);
  std::vector<CefString> method_names;
  if (!methods || !methods->IsValid() || !methods->GetKeys(method_names)) {
    RENDERER_LOG(ERROR)
        << "DoJavascriptBindingsForFrame(): methods->GetKeys() failed";
    return false;
  }
  if (!object)
    return true;
  // A method's function carries the full name, which is what the handler
  // looks up on every call.
  const std::string object_prefix = object_name.ToString() + ".";
  for (const CefString& method_name : method_names) {
    // Every call would ask the methods dictionary for the empty key, which
    // CEF's wrapper refuses (a debug renderer aborts).
    if (method_name.empty()) {
      RENDERER_LOG(ERROR)
          << "DoJavascriptBindingsForFrame(): empty method name refused, object="
          << object_name.ToString();
      continue;
    }
    // Assigned to the host's object, it would replace that object's
    // prototype with the function, whose apply, bind and call the object
    // would then show as its own methods.
    if (method_name == ProtoKey()) {
      RENDERER_LOG(ERROR)
          << "DoJavascriptBindingsForFrame(): method __proto__ refused, object="
          << object_name.ToString();
      continue;
    }
    if (!SetFunction(object, method_name,
                     CefString(object_prefix + method_name.ToString()),
                     handler)) {
      return false;
    }
  }
  return true;
}

bool InstallObjects(const CefRefPtr<CefV8Value>& global,
                    const CefRefPtr<CefDictionaryValue>& objects,
                    const CefRefPtr<V8FunctionHandler>& handler) {
  std::vector<CefString> object_names;
  if (!objects->GetKeys(object_names)) {
    RENDERER_LOG(ERROR)
        << "DoJavascriptBindingsForFrame(): objects->GetKeys() failed";
    return false;
  }
  for (const CefString& object_name : object_names) {
    // CEF's wrapper refuses to read the entry under an empty key (a debug
    // renderer aborts), and its methods could never be called: refused
    // whole, before its object is made. The other names go on.
    if (object_name.empty()) {
      RENDERER_LOG(ERROR)
          << "DoJavascriptBindingsForFrame(): empty object name refused";
      continue;
    }
    if (object_name == ProtoKey()) {
      RENDERER_LOG(ERROR)
          << "DoJavascriptBindingsForFrame(): object __proto__ refused";
      continue;
    }
    if (!InstallObject(global, objects, object_name, handler))
      return false;
  }
  return true;
}

}  // namespace

void QuillmossApp::DoJavascriptBindingsForBrowser(
    CefRefPtr<CefBrowser> browser) {
  const CefRefPtr<CefDictionaryValue> bindings = GetBindingsForBrowser(browser);
  if (!bindings) {
    RENDERER_LOG(ERROR) << "DoJavascriptBindingsForBrowser(): bindings not set";
    return;
  }

  const std::vector<int64> frame_ids = ChooseFrameIds(browser, bindings);
  if (frame_ids.empty()) {
    RENDERER_LOG(ERROR)
        << "DoJavascriptBindingsForBrowser(): frameIds.size() == 0";
    return;
  }

  for (const int64 frame_id : frame_ids) {
    if (frame_id <= 0) {
      RENDERER_LOG(ERROR) << "DoJavascriptBindingsForBrowser(): frameId <= 0";
      continue;
    }
    const CefRefPtr<CefFrame> frame = browser->GetFrame(frame_id);
    if (!frame) {
      RENDERER_LOG(ERROR)
          << "DoJavascriptBindingsForBrowser(): GetFrame() failed";
      continue;
    }
    const CefRefPtr<CefV8Context> context = frame->GetV8Context();
    if (!context) {
      RENDERER_LOG(ERROR)
          << "DoJavascriptBindingsForBrowser(): GetV8Context() failed";
      continue;
    }
    const CefRefPtr<CefTaskRunner> task_runner = context->GetTaskRunner();
    if (!task_runner) {
      RENDERER_LOG(ERROR)
          << "DoJavascriptBindingsForBrowser(): GetTaskRunner() failed";
      continue;
    }
    // The task looks the bindings up again when it runs, so bindings that
    // were replaced in the meantime are the ones installed.
    task_runner->PostTask(CefCreateClosureTask(
        base::Bind(&QuillmossApp::DoJavascriptBindingsForFrame, this, browser,
                   frame, context)));
  }
}

void QuillmossApp::DoJavascriptBindingsForFrame(
    CefRefPtr<CefBrowser> browser,
    CefRefPtr<CefFrame> frame,
    CefRefPtr<CefV8Context> context) {
  const CefRefPtr<CefDictionaryValue> bindings = GetBindingsForBrowser(browser);
  if (!bindings) {
    RENDERER_LOG(INFO)
        << "DoJavascriptBindingsForFrame(): bindings not set yet";
    return;
  }
  RENDERER_LOG(INFO) << "DoJavascriptBindingsForFrame(): bindings are set";

  // Validated before the context is touched: a bad dictionary changes
  // nothing in the page.
  if (!HasBindingsLayout(bindings)) {
    RENDERER_LOG(ERROR) << "DoJavascriptBindingsForFrame(): invalid data [1]";
    return;
  }

  ScopedContextEntry entry;
  if (!EnterContextForInstallation(context, &entry))
    return;

  const CefRefPtr<CefDictionaryValue> functions =
      bindings->GetDictionary(FunctionsKey());
  const CefRefPtr<CefDictionaryValue> properties =
      bindings->GetDictionary(PropertiesKey());
  const CefRefPtr<CefDictionaryValue> objects =
      bindings->GetDictionary(ObjectsKey());
  if (!functions || !functions->IsValid() || !properties ||
      !properties->IsValid() || !objects || !objects->IsValid()) {
    RENDERER_LOG(ERROR) << "DoJavascriptBindingsForFrame(): invalid data [2]";
    return;
  }

  const CefRefPtr<CefV8Value> global = context->GetGlobal();
  if (!global) {
    RENDERER_LOG(ERROR) << "DoJavascriptBindingsForFrame(): GetGlobal() failed";
    return;
  }
  const CefRefPtr<V8FunctionHandler> handler = new V8FunctionHandler(this, 0);
  if (InstallFunctions(global, functions, handler) &&
      InstallProperties(*this, global, properties)) {
    InstallObjects(global, objects, handler);
  }
  if (!context->IsValid()) {
    RENDERER_LOG(ERROR)
        << "DoJavascriptBindingsForFrame(): the frame went during the installation";
  }
}

}  // namespace quillmoss
