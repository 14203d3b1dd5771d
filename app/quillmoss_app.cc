#include "app/quillmoss_app.h"

#include <algorithm>
#include <string>
#include <vector>

#include "app/javascript_callback.h"
#include "common/log_line.h"
#include "app/platform_shell.h"
#include "common/process_messages.h"
#include "app/v8function_handler.h"
#include "convert/v8utils.h"
#include "include/base/cef_bind.h"
#include "include/wrapper/cef_closure_task.h"

namespace {

constexpr char kLogSource[] = "quillmoss_app";

// The bindings keys as CEF strings, converted once: the functions and objects
// keys are read on every bound call.
const CefString& BindToFramesKey() {
  static const CefString key(quillmoss::kBindToFramesKey);
  return key;
}
const CefString& FunctionsKey() {
  static const CefString key(quillmoss::kFunctionsKey);
  return key;
}
const CefString& PropertiesKey() {
  static const CefString key(quillmoss::kPropertiesKey);
  return key;
}
const CefString& ObjectsKey() {
  static const CefString key(quillmoss::kObjectsKey);
  return key;
}

bool HasDictionary(const CefRefPtr<CefDictionaryValue>& dictionary,
                   const CefString& key) {
  return dictionary->HasKey(key) &&
         dictionary->GetType(key) == VTYPE_DICTIONARY;
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

// Leaves a context on every way out of an installation that entered it.
class ScopedContextEntry {
 public:
  ScopedContextEntry() = default;
  ScopedContextEntry(const ScopedContextEntry&) = delete;
  ScopedContextEntry& operator=(const ScopedContextEntry&) = delete;
  ~ScopedContextEntry() {
    if (context_)
      context_->Exit();
  }

  void Enter(CefRefPtr<CefV8Context> context) {
    context->Enter();
    context_ = context;
  }

 private:
  CefRefPtr<CefV8Context> context_;
};

}  // namespace

QuillmossApp::QuillmossApp() = default;

// Members go in reverse order: the print handler, then the store with every
// dictionary in it.
QuillmossApp::~QuillmossApp() = default;

// CefApp methods.

void QuillmossApp::OnBeforeCommandLineProcessing(
    const CefString& process_type,
    CefRefPtr<CefCommandLine> command_line) {
  // Loaded in every process and never freed, so the look-up below is cheap
  // wherever the switch appears.
  const quillmoss::platform::ModuleHandle shell =
      quillmoss::platform::LoadLibraryW(L"shell32.dll");
  if (!command_line)
    return;
  const CefString appUserModelId =
      command_line->GetSwitchValue("app-user-model-id");
  if (appUserModelId.empty())
    return;

  // Older Windows versions lack the function; a missing library or entry
  // point is a failure like any other, never a call through null.
  quillmoss::platform::SetAppUserModelIdFunction setAppUserModelId = nullptr;
  if (shell) {
    setAppUserModelId =
        reinterpret_cast<quillmoss::platform::SetAppUserModelIdFunction>(
            quillmoss::platform::GetProcAddress(
                shell, "SetCurrentProcessExplicitAppUserModelID"));
  }
  const std::wstring id = appUserModelId.ToWString();
  if (!setAppUserModelId || setAppUserModelId(id.c_str()) != 0)
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
  SendContextMessage(frame, quillmoss::kOnContextCreatedMessage);

  const CefRefPtr<CefDictionaryValue> bindings = GetBindingsForBrowser(browser);
  if (!bindings)
    return;
  if (frame->IsMain() || ReadBindToFrames(bindings))
    DoJavascriptBindingsForFrame(browser, frame, context);
}

void QuillmossApp::OnContextReleased(CefRefPtr<CefBrowser> browser,
                                     CefRefPtr<CefFrame> frame,
                                     CefRefPtr<CefV8Context> context) {
  QLOG(INFO) << "[Renderer process] OnContextReleased()";
  SendContextMessage(frame, quillmoss::kOnContextReleasedMessage);
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
    CefRefPtr<CefListValue> callArguments =
        arguments->IsReadOnly() ? arguments->Copy() : arguments;
    callArguments->Remove(quillmoss::kCallbackIdIndex);
    ExecuteJavascriptCallback(callbackId, callArguments);
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

  const std::string name = functionName.ToString();
  const size_t dot = name.find('.');
  if (dot == std::string::npos) {
    if (!HasDictionary(bindings, FunctionsKey())) {
      QLOG(ERROR) << "[Renderer process] BindedFunctionExists(): functions "
                     "dictionary not found";
      return false;
    }
    return bindings->GetDictionary(FunctionsKey())->HasKey(functionName);
  }

  // Only the first full stop splits: a method name may hold more of them.
  const std::string objectName = name.substr(0, dot);
  const std::string methodName = name.substr(dot + 1);
  if (!HasDictionary(bindings, ObjectsKey())) {
    QLOG(ERROR) << "[Renderer process] BindedFunctionExists(): objects "
                   "dictionary not found";
    return false;
  }
  const CefRefPtr<CefDictionaryValue> objects =
      bindings->GetDictionary(ObjectsKey());
  if (!objects->HasKey(objectName))
    return false;
  if (objects->GetType(objectName) != VTYPE_DICTIONARY) {
    QLOG(ERROR) << "[Renderer process] BindedFunctionExists(): objects "
                   "dictionary has invalid type";
    return false;
  }
  return objects->GetDictionary(objectName)->HasKey(methodName);
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

  std::vector<int64> frameIds;
  if (ReadBindToFrames(bindings)) {
    // By identifier: pages may give several frames one name, and a look-up
    // by name finds only the first of them.
    browser->GetFrameIdentifiers(frameIds);
  }
  // The main frame always gets the bindings, exactly once.
  const CefRefPtr<CefFrame> mainFrame = browser->GetMainFrame();
  if (mainFrame) {
    const int64 mainFrameId = mainFrame->GetIdentifier();
    if (std::find(frameIds.begin(), frameIds.end(), mainFrameId) ==
        frameIds.end()) {
      frameIds.push_back(mainFrameId);
    }
  } else {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForBrowser(): "
                   "GetMainFrame() failed";
  }
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
    const CefRefPtr<CefTaskRunner> taskRunner = context->GetTaskRunner();
    if (!taskRunner) {
      QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForBrowser(): "
                     "GetTaskRunner() failed";
      continue;
    }
    // The task looks the bindings up again when it runs, so bindings that
    // were replaced in the meantime are the ones installed.
    taskRunner->PostTask(CefCreateClosureTask(
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
  if (!HasDictionary(bindings, FunctionsKey()) ||
      !HasDictionary(bindings, PropertiesKey()) ||
      !HasDictionary(bindings, ObjectsKey()) ||
      !bindings->HasKey(BindToFramesKey()) ||
      bindings->GetType(BindToFramesKey()) != VTYPE_BOOL) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "invalid data [1]";
    return;
  }

  // Inside an entered context (the context hook) the given context is the
  // one being created: use it as it is. Otherwise (a posted task) enter it.
  ScopedContextEntry entry;
  if (!CefV8Context::InContext()) {
    if (!context || !context->IsValid()) {
      QLOG(INFO) << "[Renderer process] DoJavascriptBindingsForFrame(): V8 "
                    "context provided by CEF is invalid";
      return;
    }
    entry.Enter(context);
  } else if (!context) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): V8 "
                   "context not available";
    return;
  }

  const CefRefPtr<CefDictionaryValue> functions =
      bindings->GetDictionary(FunctionsKey());
  const CefRefPtr<CefDictionaryValue> properties =
      bindings->GetDictionary(PropertiesKey());
  const CefRefPtr<CefDictionaryValue> objects =
      bindings->GetDictionary(ObjectsKey());
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

  std::vector<CefString> functionNames;
  if (!functions->GetKeys(functionNames)) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "functions->GetKeys() failed";
    return;
  }
  for (const CefString& functionName : functionNames) {
    global->SetValue(functionName,
                     CefV8Value::CreateFunction(functionName, handler),
                     V8_PROPERTY_ATTRIBUTE_NONE);
  }

  const CefRefPtr<CefV8Value> v8Properties =
      CefDictionaryValueToV8Value(properties, 0);
  std::vector<CefString> propertyNames;
  if (!v8Properties->GetKeys(propertyNames)) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "v8Properties->GetKeys() failed";
    return;
  }
  for (const CefString& propertyName : propertyNames) {
    global->SetValue(propertyName, v8Properties->GetValue(propertyName),
                     V8_PROPERTY_ATTRIBUTE_NONE);
  }

  std::vector<CefString> objectNames;
  if (!objects->GetKeys(objectNames)) {
    QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                   "objects->GetKeys() failed";
    return;
  }
  for (const CefString& objectName : objectNames) {
    const CefRefPtr<CefV8Value> object =
        CefV8Value::CreateObject(nullptr, nullptr);
    global->SetValue(objectName, object, V8_PROPERTY_ATTRIBUTE_NONE);
    if (objects->GetType(objectName) != VTYPE_DICTIONARY) {
      QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                     "objects->GetType() != VTYPE_DICTIONARY";
      return;
    }
    const CefRefPtr<CefDictionaryValue> methods =
        objects->GetDictionary(objectName);
    std::vector<CefString> methodNames;
    if (!methods || !methods->IsValid() || !methods->GetKeys(methodNames)) {
      QLOG(ERROR) << "[Renderer process] DoJavascriptBindingsForFrame(): "
                     "methods->GetKeys() failed";
      return;
    }
    if (!object)
      continue;
    const std::string objectPrefix = objectName.ToString() + ".";
    for (const CefString& methodName : methodNames) {
      const CefString fullName(objectPrefix + methodName.ToString());
      object->SetValue(methodName,
                       CefV8Value::CreateFunction(fullName, handler),
                       V8_PROPERTY_ATTRIBUTE_NONE);
    }
  }
}
