#include "app/quillmoss_app.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/javascript_callback.h"
#include "app/platform_shell.h"
#include "app/v8function_handler.h"
#include "common/log_line.h"
#include "common/process_messages.h"
#include "convert/v8utils.h"
#include "include/base/cef_bind.h"
#include "include/wrapper/cef_closure_task.h"

namespace {

constexpr char kLogSource[] = "quillmoss_app";

}  // namespace

namespace quillmoss {
namespace {

// The bindings keys as CEF strings, converted once: the functions and objects
// keys are read on every bound call.
const CefString& BindToFramesKey() {
  static const CefString key(kBindToFramesKey);
  return key;
}
const CefString& FunctionsKey() {
  static const CefString key(kFunctionsKey);
  return key;
}
const CefString& PropertiesKey() {
  static const CefString key(kPropertiesKey);
  return key;
}
const CefString& ObjectsKey() {
  static const CefString key(kObjectsKey);
  return key;
}
const CefString& ProtoKey() {
  static const CefString key("__proto__");
  return key;
}

bool HasDictionary(const CefRefPtr<CefDictionaryValue>& dictionary,
                   const CefString& key) {
  // GetType() of a missing key is VTYPE_INVALID: no HasKey() needed.
  return dictionary->GetType(key) == VTYPE_DICTIONARY;
}

// Missing or not a bool means false.
bool ReadBindToFrames(const CefRefPtr<CefDictionaryValue>& bindings) {
  return bindings->HasKey(BindToFramesKey()) &&
         bindings->GetType(BindToFramesKey()) == VTYPE_BOOL &&
         bindings->GetBool(BindToFramesKey());
}

void SendContextMessage(CefRefPtr<CefFrame> frame, const char* name) {
  frame->SendProcessMessage(PID_BROWSER, CefProcessMessage::Create(name));
}

// The frames a browser's bindings go into, by identifier: every frame when
// "bindToFrames" is true, and the main frame always, exactly once.
std::vector<int64> ChooseFrameIds(
    const CefRefPtr<CefBrowser>& browser,
    const CefRefPtr<CefDictionaryValue>& bindings) {
  std::vector<int64> frameIds;
  if (ReadBindToFrames(bindings)) {
    // By identifier: pages may give several frames one name, and a look-up
    // by name finds only the first of them.
    browser->GetFrameIdentifiers(frameIds);
  }
  const CefRefPtr<CefFrame> main_frame = browser->GetMainFrame();
  if (!main_frame) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForBrowser(): "
                   "GetMainFrame() failed";
    return frameIds;
  }
  const int64 main_frame_id = main_frame->GetIdentifier();
  if (std::find(frameIds.begin(), frameIds.end(), main_frame_id) ==
      frameIds.end()) {
    frameIds.push_back(main_frame_id);
  }
  return frameIds;
}

// Leaves a context on every way out of an installation that entered it.
class ScopedContextEntry {
 public:
  ScopedContextEntry() = default;
  ScopedContextEntry(const ScopedContextEntry&) = delete;
  ScopedContextEntry& operator=(const ScopedContextEntry&) = delete;
  ~ScopedContextEntry() {
    // CEF refuses every call on a released context, Exit() included.
    if (context_ && context_->IsValid())
      context_->Exit();
  }

  bool Enter(CefRefPtr<CefV8Context> context) {
    if (!context->Enter())
      return false;
    context_ = context;
    return true;
  }

 private:
  CefRefPtr<CefV8Context> context_;
};

// The three dictionaries and the flag, each of its type.
bool HasBindingsLayout(const CefRefPtr<CefDictionaryValue>& bindings) {
  return HasDictionary(bindings, FunctionsKey()) &&
         HasDictionary(bindings, PropertiesKey()) &&
         HasDictionary(bindings, ObjectsKey()) &&
         bindings->HasKey(BindToFramesKey()) &&
         bindings->GetType(BindToFramesKey()) == VTYPE_BOOL;
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
      QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): V8 "
                     "context not available";
      return false;
    }
    const CefRefPtr<CefV8Context> current = CefV8Context::GetCurrentContext();
    if (current && current->IsSame(context))
      return true;
  }
  if (!context || !context->IsValid() || !entry->Enter(context)) {
    QLOG(INFO) << "[Renderer process] DoJavascriptBindingsForFrame(): V8 "
                  "context provided by CEF is invalid";
    return false;
  }
  return true;
}

// A function named |name| under |key| of |target|. CreateFunction() gives
// null when it cannot make one, and CEF's wrapper refuses to set null.
// False when |target| is gone: an assignment runs the page's setters (its
// own, or inherited from Object.prototype), and one may have removed the
// frame, whose context CEF then released at once; CEF refuses every call on
// the values of a released context.
bool SetFunction(const CefRefPtr<CefV8Value>& target,
                 const CefString& key,
                 const CefString& name,
                 const CefRefPtr<V8FunctionHandler>& handler) {
  if (!target->IsValid())
    return false;
  const CefRefPtr<CefV8Value> function =
      CefV8Value::CreateFunction(name, handler);
  if (!function) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "CreateFunction() failed";
    return true;
  }
  target->SetValue(key, function, V8_PROPERTY_ATTRIBUTE_NONE);
  return true;
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
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "functions->GetKeys() failed";
    return false;
  }
  for (const CefString& function_name : function_names) {
    // CEF's wrapper makes no function without a name: CreateFunction()
    // would give null, and setting null is refused too (a debug renderer
    // aborts on either). The other names go on.
    if (function_name.empty()) {
      QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                     "empty function name refused";
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
bool InstallProperties(const CefRefPtr<CefV8Value>& global,
                       CefRefPtr<CefDictionaryValue> properties) {
  // Installing is assignment, and assigning "__proto__" replaces the page's
  // prototype chain (the members of the host's value would become globals);
  // an own property under that name would hide the page's prototype from
  // its own script. Neither is a global the host can mean.
  if (properties->HasKey(ProtoKey())) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "property __proto__ refused";
    properties = properties->Copy(false);
    properties->Remove(ProtoKey());
  }
  // Unreadable properties keep the line that hosts' logs already know.
  if (!CefDictionaryValueSetOnV8Object(properties, global, 0)) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "v8Properties->GetKeys() failed";
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
  if (!global->IsValid())
    return false;
  const CefRefPtr<CefV8Value> object =
      CefV8Value::CreateObject(nullptr, nullptr);
  // CEF's wrapper refuses to set null.
  if (object)
    global->SetValue(object_name, object, V8_PROPERTY_ATTRIBUTE_NONE);
  if (objects->GetType(object_name) != VTYPE_DICTIONARY) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "objects->GetType() != VTYPE_DICTIONARY";
    return false;
  }
  const CefRefPtr<CefDictionaryValue> methods =
      objects->GetDictionary(object_name);
  std::vector<CefString> method_names;
  if (!methods || !methods->IsValid() || !methods->GetKeys(method_names)) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "methods->GetKeys() failed";
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
      QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                     "empty method name refused, object="
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
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "objects->GetKeys() failed";
    return false;
  }
  for (const CefString& object_name : object_names) {
    // CEF's wrapper refuses to read the entry under an empty key (a debug
    // renderer aborts), and its methods could never be called: refused
    // whole, before its object is made. The other names go on.
    if (object_name.empty()) {
      QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                     "empty object name refused";
      continue;
    }
    if (!InstallObject(global, objects, object_name, handler))
      return false;
  }
  return true;
}

}  // namespace
}  // namespace quillmoss

QuillmossApp::QuillmossApp() = default;

// Members go in reverse order: the print handler, then the store with every
// dictionary in it.
QuillmossApp::~QuillmossApp() = default;

// CefApp methods.

void QuillmossApp::OnBeforeCommandLineProcessing(
    const CefString& process_type,
    CefRefPtr<CefCommandLine> command_line) {
  // Loaded in every process and never freed, so the look-up is cheap
  // wherever the switch appears.
  quillmoss::LoadShellLibrary();
  if (!command_line)
    return;
  const CefString app_user_model_id =
      command_line->GetSwitchValue("app-user-model-id");
  if (app_user_model_id.empty())
    return;
  if (!quillmoss::SetAppUserModelId(app_user_model_id.ToWString()))
    QLOG(ERROR) << "SetCurrentProcessExplicitAppUserModelID failed";
}

void QuillmossApp::OnRegisterCustomSchemes(
    CefRawPtr<CefSchemeRegistrar> registrar) {}

CefRefPtr<CefResourceBundleHandler> QuillmossApp::GetResourceBundleHandler() {
  return nullptr;
}

CefRefPtr<CefBrowserProcessHandler> QuillmossApp::GetBrowserProcessHandler() {
  return this;
}

CefRefPtr<CefRenderProcessHandler> QuillmossApp::GetRenderProcessHandler() {
  return this;
}

// CefBrowserProcessHandler methods.

void QuillmossApp::OnContextInitialized() {}

void QuillmossApp::OnBeforeChildProcessLaunch(
    CefRefPtr<CefCommandLine> command_line) {
  QLOG(INFO) << "[Non-browser process] "
             << "OnBeforeChildProcessLaunch() command line: "
             << (command_line ? command_line->GetCommandLineString().ToString()
                              : std::string());
}

void QuillmossApp::OnRenderProcessThreadCreated(
    CefRefPtr<CefListValue> extra_info) {}

CefRefPtr<CefPrintHandler> QuillmossApp::GetPrintHandler() {
  return printHandler;
}

void QuillmossApp::OnScheduleMessagePumpWork(int64 delay_ms) {}

// CefRenderProcessHandler methods.

void QuillmossApp::OnRenderThreadCreated(CefRefPtr<CefListValue> extra_info) {}

void QuillmossApp::OnWebKitInitialized() {}

void QuillmossApp::OnBrowserCreated(CefRefPtr<CefBrowser> browser,
                                    CefRefPtr<CefDictionaryValue> extra_info) {}

void QuillmossApp::OnBrowserDestroyed(CefRefPtr<CefBrowser> browser) {
  QLOG(INFO) << "[Renderer process] OnBrowserDestroyed()";
  RemoveBindingsForBrowser(browser);
}

CefRefPtr<CefLoadHandler> QuillmossApp::GetLoadHandler() {
  return nullptr;
}

void QuillmossApp::OnContextCreated(CefRefPtr<CefBrowser> browser,
                                    CefRefPtr<CefFrame> frame,
                                    CefRefPtr<CefV8Context> context) {
  QLOG(INFO) << "[Renderer process] OnContextCreated()";
  // The host hears of every context before any binding is installed in it.
  quillmoss::SendContextMessage(frame, quillmoss::kOnContextCreatedMessage);

  const CefRefPtr<CefDictionaryValue> bindings = GetBindingsForBrowser(browser);
  if (!bindings)
    return;
  if (frame->IsMain() || quillmoss::ReadBindToFrames(bindings))
    DoJavascriptBindingsForFrame(browser, frame, context);
}

void QuillmossApp::OnContextReleased(CefRefPtr<CefBrowser> browser,
                                     CefRefPtr<CefFrame> frame,
                                     CefRefPtr<CefV8Context> context) {
  QLOG(INFO) << "[Renderer process] OnContextReleased()";
  quillmoss::SendContextMessage(frame, quillmoss::kOnContextReleasedMessage);
  RemoveJavascriptCallbacksForFrame(frame);
}

void QuillmossApp::OnUncaughtException(CefRefPtr<CefBrowser> browser,
                                       CefRefPtr<CefFrame> frame,
                                       CefRefPtr<CefV8Context> context,
                                       CefRefPtr<CefV8Exception> exception,
                                       CefRefPtr<CefV8StackTrace> stackTrace) {}

void QuillmossApp::OnFocusedNodeChanged(CefRefPtr<CefBrowser> browser,
                                        CefRefPtr<CefFrame> frame,
                                        CefRefPtr<CefDOMNode> node) {}

bool QuillmossApp::OnProcessMessageReceived(
    CefRefPtr<CefBrowser> browser,
    CefRefPtr<CefFrame> frame,
    CefProcessId source_process,
    CefRefPtr<CefProcessMessage> message) {
  // Only the main frame speaks for the host; a sub-frame may hold a page of
  // any origin.
  if (!frame || !frame->IsMain()) {
    QLOG(ERROR) << "QuillmossApp::OnProcessMessageReceived: received process "
                   "message from non-main frame.";
    return false;
  }
  const std::string name = message->GetName().ToString();
  QLOG(INFO) << "[Renderer process] OnProcessMessageReceived(): " << name;
  const CefRefPtr<CefListValue> arguments = message->GetArgumentList();

  if (name == quillmoss::kDoJavascriptBindingsMessage) {
    if (arguments->GetSize() != 1 ||
        arguments->GetType(quillmoss::kBindingsIndex) != VTYPE_DICTIONARY ||
        !arguments->GetDictionary(quillmoss::kBindingsIndex)->IsValid()) {
      QLOG(ERROR) << "[Renderer process] OnProcessMessageReceived(): invalid "
                     "arguments, messageName=DoJavascriptBindings";
      return false;
    }
    // The received message goes invalid when this returns; keep a copy.
    SetBindingsForBrowser(
        browser,
        arguments->GetDictionary(quillmoss::kBindingsIndex)->Copy(false));
    DoJavascriptBindingsForBrowser(browser);
    return true;
  }

  if (name == quillmoss::kExecuteJavascriptCallbackMessage) {
    if (arguments->GetType(quillmoss::kCallbackIdIndex) != VTYPE_INT) {
      QLOG(ERROR) << "[Renderer process] OnProcessMessageReceived: invalid "
                     "arguments, expected first argument to be a javascript "
                     "callback (int)";
      return false;
    }
    const int callbackId = arguments->GetInt(quillmoss::kCallbackIdIndex);
    // A received argument list is read-only.
    CefRefPtr<CefListValue> call_arguments =
        arguments->IsReadOnly() ? arguments->Copy() : arguments;
    call_arguments->Remove(quillmoss::kCallbackIdIndex);
    ExecuteJavascriptCallback(callbackId, call_arguments);
    return true;
  }

  return true;
}

// Bindings store.

void QuillmossApp::SetBindingsForBrowser(
    CefRefPtr<CefBrowser> browser,
    CefRefPtr<CefDictionaryValue> bindings) {
  if (!browser)
    return;
  bindingsByBrowser[browser->GetIdentifier()] = bindings;
}

CefRefPtr<CefDictionaryValue> QuillmossApp::GetBindingsForBrowser(
    CefRefPtr<CefBrowser> browser) {
  if (!browser)
    return nullptr;
  const auto it = bindingsByBrowser.find(browser->GetIdentifier());
  if (it == bindingsByBrowser.end())
    return nullptr;
  return it->second;
}

void QuillmossApp::RemoveBindingsForBrowser(CefRefPtr<CefBrowser> browser) {
  if (!browser)
    return;
  bindingsByBrowser.erase(browser->GetIdentifier());
}

bool QuillmossApp::BindedFunctionExists(CefRefPtr<CefBrowser> browser,
                                        const CefString& functionName) {
  const CefRefPtr<CefDictionaryValue> bindings = GetBindingsForBrowser(browser);
  if (!bindings)
    return false;

  // Every bound call asks this, so a plain function name is looked for in
  // the CEF string as it is, without a UTF-8 copy; and GetDictionary() is
  // null for a missing key or another type, so it alone is the test.
  const CefString::char_type* const begin = functionName.c_str();
  const CefString::char_type* const end = begin + functionName.length();
  if (std::find(begin, end, '.') == end) {
    const CefRefPtr<CefDictionaryValue> functions =
        bindings->GetDictionary(quillmoss::FunctionsKey());
    if (!functions) {
      QLOG(ERROR) << "[Renderer process] BindedFunctionExists(): functions "
                     "dictionary not found";
      return false;
    }
    // CEF's wrapper refuses a look-up by an empty key; installation binds no
    // empty name, here or below.
    return !functionName.empty() && functions->HasKey(functionName);
  }

  // Only the first full stop splits: a method name may hold more of them.
  const std::string name = functionName.ToString();
  const size_t dot = name.find('.');
  const std::string object_name = name.substr(0, dot);
  const std::string method_name = name.substr(dot + 1);
  const CefRefPtr<CefDictionaryValue> objects =
      bindings->GetDictionary(quillmoss::ObjectsKey());
  if (!objects) {
    QLOG(ERROR) << "[Renderer process] BindedFunctionExists(): objects "
                   "dictionary not found";
    return false;
  }
  if (object_name.empty() || !objects->HasKey(object_name))
    return false;
  if (objects->GetType(object_name) != VTYPE_DICTIONARY) {
    QLOG(ERROR) << "[Renderer process] BindedFunctionExists(): objects "
                   "dictionary has invalid type";
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
  return bindings && quillmoss::ReadBindToFrames(bindings);
}

// Installation.

void QuillmossApp::DoJavascriptBindingsForBrowser(
    CefRefPtr<CefBrowser> browser) {
  const CefRefPtr<CefDictionaryValue> bindings = GetBindingsForBrowser(browser);
  if (!bindings) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForBrowser(): "
                   "bindings not set";
    return;
  }

  const std::vector<int64> frameIds =
      quillmoss::ChooseFrameIds(browser, bindings);
  if (frameIds.empty()) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForBrowser(): "
                   "frameIds.size() == 0";
    return;
  }

  for (const int64 frameId : frameIds) {
    if (frameId <= 0) {
      QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForBrowser(): "
                     "frameId <= 0";
      continue;
    }
    const CefRefPtr<CefFrame> frame = browser->GetFrame(frameId);
    if (!frame) {
      QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForBrowser(): "
                     "GetFrame() failed";
      continue;
    }
    const CefRefPtr<CefV8Context> context = frame->GetV8Context();
    if (!context) {
      QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForBrowser(): "
                     "GetV8Context() failed";
      continue;
    }
    const CefRefPtr<CefTaskRunner> task_runner = context->GetTaskRunner();
    if (!task_runner) {
      QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForBrowser(): "
                     "GetTaskRunner() failed";
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
    QLOG(INFO) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                  "bindings not set yet";
    return;
  }
  QLOG(INFO) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                "bindings are set";

  // Validated before the context is touched: a bad dictionary changes
  // nothing in the page.
  if (!quillmoss::HasBindingsLayout(bindings)) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "invalid data [1]";
    return;
  }

  quillmoss::ScopedContextEntry entry;
  if (!quillmoss::EnterContextForInstallation(context, &entry))
    return;

  const CefRefPtr<CefDictionaryValue> functions =
      bindings->GetDictionary(quillmoss::FunctionsKey());
  const CefRefPtr<CefDictionaryValue> properties =
      bindings->GetDictionary(quillmoss::PropertiesKey());
  const CefRefPtr<CefDictionaryValue> objects =
      bindings->GetDictionary(quillmoss::ObjectsKey());
  if (!functions || !functions->IsValid() || !properties ||
      !properties->IsValid() || !objects || !objects->IsValid()) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "invalid data [2]";
    return;
  }

  const CefRefPtr<CefV8Value> global = context->GetGlobal();
  if (!global) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "GetGlobal() failed";
    return;
  }
  const CefRefPtr<V8FunctionHandler> handler = new V8FunctionHandler(this, 0);
  if (quillmoss::InstallFunctions(global, functions, handler) &&
      quillmoss::InstallProperties(global, properties)) {
    quillmoss::InstallObjects(global, objects, handler);
  }
  if (!context->IsValid()) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): the "
                   "frame went during the installation";
  }
}
