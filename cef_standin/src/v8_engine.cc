// The isolate, page contexts, the entered-context stack and the callback
// registry of the V8-backed stand-in.
#include "cef_standin/src/v8_engine.h"

#include <algorithm>
#include <thread>
#include <unordered_map>
#include <vector>

#include "cef_standin/src/renderer_internal.h"
#include "cef_standin/src/standin_core.h"
#include "cef_standin/src/verify_param.h"
#include "libplatform/libplatform.h"

namespace standin {
namespace internal {

namespace {

// Where a page context keeps its ContextState. Index 0 is left alone: V8's
// debugger support reads it.
constexpr int kStateEmbedderIndex = 1;

// Made once and never torn down: V8 cannot be initialised twice in a process,
// and its worker threads may still run at exit. Reachable from a static, so
// leak checkers do not count it.
struct Engine {
  Engine() : thread(std::this_thread::get_id()) {
    platform = v8::platform::NewDefaultPlatform();
    v8::V8::InitializePlatform(platform.get());
    v8::V8::Initialize();
    allocator.reset(v8::ArrayBuffer::Allocator::NewDefaultAllocator());
    v8::Isolate::CreateParams params;
    params.array_buffer_allocator = allocator.get();
    isolate = v8::Isolate::New(params);
    isolate->Enter();
  }

  const std::thread::id thread;
  std::unique_ptr<v8::Platform> platform;
  std::unique_ptr<v8::ArrayBuffer::Allocator> allocator;
  v8::Isolate* isolate = nullptr;
};

bool g_engine_started = false;

Engine& GetEngine() {
  static Engine* engine = [] {
    g_engine_started = true;
    return new Engine();
  }();
  return *engine;
}

struct EnteredEntry {
  ContextState* state;
  // The object whose CefV8Context::Enter() made the entry; null for the
  // page's entries, and once that object went.
  V8ContextImpl* wrapper;
  bool in_v8;  // false until the state's context is made
  // Keeps the state while entered: a frame removed by its own page script
  // releases the context under the script that still runs in it.
  std::shared_ptr<ContextState> keep;
};

// Entries pushed before their context was made. They sit on top of the
// stack: whatever enters another context, or asks V8 anything, goes through
// GetIsolate() first, which makes them.
int g_unmade_entries = 0;

std::vector<EnteredEntry>& EnteredStack() {
  static std::vector<EnteredEntry> stack;
  return stack;
}

int g_script_forbidden = 0;

int g_contexts_made = 0;

void MakeEnteredContexts() {
  v8::HandleScope handle_scope(GetEngine().isolate);
  for (EnteredEntry& entry : EnteredStack()) {
    if (entry.in_v8)
      continue;
    entry.state->GetContext()->Enter();
    entry.in_v8 = true;
    --g_unmade_entries;
  }
}

int64 g_next_callback_id = 1;

std::unordered_map<int64, std::unique_ptr<CallbackHolder>>& Callbacks() {
  static std::unordered_map<int64, std::unique_ptr<CallbackHolder>> callbacks;
  return callbacks;
}

// Runs once V8 may be called again; the handler's destructor may use it.
void DeleteCallbackHolder(const v8::WeakCallbackInfo<CallbackHolder>& info) {
  delete info.GetParameter();
}

// V8 collected the object: take the holder out of the registry now and
// delete it in the second pass.
void OnCallbackObjectCollected(
    const v8::WeakCallbackInfo<CallbackHolder>& info) {
  CallbackHolder* holder = info.GetParameter();
  holder->object.Reset();
  if (auto state = holder->state.lock())
    state->UntrackCallback(holder->id);
  auto it = Callbacks().find(holder->id);
  if (it != Callbacks().end())
    it->second.release();  // owned by the second pass from here on
  Callbacks().erase(holder->id);
  info.SetSecondPassCallback(&DeleteCallbackHolder);
}

// Frame contexts get "window" as the browser gives them.
void InstallWindow(v8::Isolate* isolate, v8::Local<v8::Context> context) {
  v8::Local<v8::Object> global = context->Global();
  global
      ->DefineOwnProperty(
          context, ToV8String(isolate, "window"), global,
          static_cast<v8::PropertyAttribute>(v8::ReadOnly | v8::DontDelete))
      .Check();
}

std::string ToUtf8(v8::Isolate* isolate, v8::Local<v8::Value> value) {
  return ToCefString(isolate, value).ToString();
}

std::string ExceptionText(v8::Isolate* isolate,
                          v8::Local<v8::Context> context,
                          const v8::TryCatch& caught) {
  if (caught.HasTerminated())
    return "script execution was terminated";
  v8::Local<v8::Value> exception = caught.Exception();
  if (!exception.IsEmpty() && !exception->IsObject())
    return DescribeValue(isolate, context, exception);
  {
    v8::TryCatch nested(isolate);
    v8::Local<v8::String> text;
    if (!exception.IsEmpty() && exception->ToString(context).ToLocal(&text))
      return ToUtf8(isolate, text);
  }
  v8::Local<v8::Message> message = caught.Message();
  if (!message.IsEmpty())
    return ToUtf8(isolate, message->Get());
  return "an exception without a text form";
}

// JSON.stringify's text of |value|, or String(value) when JSON has none.
std::string ResultText(v8::Isolate* isolate,
                       v8::Local<v8::Context> context,
                       v8::Local<v8::Value> value) {
  v8::TryCatch try_catch(isolate);
  v8::Local<v8::String> json;
  if (v8::JSON::Stringify(context, value).ToLocal(&json)) {
    const std::string text = ToUtf8(isolate, json);
    // V8 turns JSON.stringify's undefined into this unquoted word.
    if (text != "undefined")
      return text;
  }
  return DescribeValue(isolate, context, value);
}

bool CompileAndRun(v8::Isolate* isolate,
                   v8::Local<v8::Context> context,
                   const CefString& code,
                   const CefString& script_url,
                   int start_line,
                   v8::Local<v8::Value>* result) {
  v8::ScriptOrigin origin(isolate, ToV8String(isolate, script_url),
                          std::max(start_line, 1) - 1);
  v8::Local<v8::Script> script;
  if (!v8::Script::Compile(context, ToV8String(isolate, code), &origin)
           .ToLocal(&script)) {
    return false;
  }
  return script->Run(context).ToLocal(result);
}

class V8StackFrameImpl : public CefV8StackFrame {
 public:
  V8StackFrameImpl(v8::Isolate* isolate, v8::Local<v8::StackFrame> frame)
      : script_name_(ToCefString(isolate, frame->GetScriptName())),
        script_name_or_source_url_(
            ToCefString(isolate, frame->GetScriptNameOrSourceURL())),
        function_name_(ToCefString(isolate, frame->GetFunctionName())),
        line_number_(frame->GetLineNumber()),
        column_(frame->GetColumn()),
        is_eval_(frame->IsEval()),
        is_constructor_(frame->IsConstructor()) {}
  V8StackFrameImpl(const V8StackFrameImpl&) = delete;
  V8StackFrameImpl& operator=(const V8StackFrameImpl&) = delete;

  // CefV8StackFrame methods:
  bool IsValid() override { return true; }
  CefString GetScriptName() override { return script_name_; }
  CefString GetScriptNameOrSourceURL() override {
    return script_name_or_source_url_;
  }
  CefString GetFunctionName() override { return function_name_; }
  int GetLineNumber() override { return line_number_; }
  int GetColumn() override { return column_; }
  bool IsEval() override { return is_eval_; }
  bool IsConstructor() override { return is_constructor_; }

 private:
  const CefString script_name_;
  const CefString script_name_or_source_url_;
  const CefString function_name_;
  const int line_number_;
  const int column_;
  const bool is_eval_;
  const bool is_constructor_;
  LiveObject live_;
  IMPLEMENT_REFCOUNTING(V8StackFrameImpl);
};

// Captured when made, so it stays usable after the script has moved on.
class V8StackTraceImpl : public CefV8StackTrace {
 public:
  V8StackTraceImpl(v8::Isolate* isolate, v8::Local<v8::StackTrace> trace) {
    for (int i = 0; i < trace->GetFrameCount(); ++i)
      frames_.push_back(
          new V8StackFrameImpl(isolate, trace->GetFrame(isolate, i)));
  }
  V8StackTraceImpl(const V8StackTraceImpl&) = delete;
  V8StackTraceImpl& operator=(const V8StackTraceImpl&) = delete;

  // CefV8StackTrace methods:
  bool IsValid() override { return true; }
  int GetFrameCount() override { return static_cast<int>(frames_.size()); }
  CefRefPtr<CefV8StackFrame> GetFrame(int index) override {
    if (index < 0 || index >= GetFrameCount())
      return nullptr;
    return frames_[static_cast<size_t>(index)];
  }

 private:
  std::vector<CefRefPtr<CefV8StackFrame>> frames_;
  LiveObject live_;
  IMPLEMENT_REFCOUNTING(V8StackTraceImpl);
};

std::shared_ptr<ContextState> StateOf(CefRefPtr<CefV8Context> context) {
  if (!context)
    return nullptr;
  // Every CefV8Context of this build is a V8ContextImpl.
  return static_cast<V8ContextImpl*>(context.get())->state();
}

}  // namespace

v8::Isolate* GetIsolate(const char* caller) {
  Engine& engine = GetEngine();
  if (std::this_thread::get_id() != engine.thread) {
    RendererError(std::string(caller) +
                  ": V8 is only usable on the renderer thread");
    return nullptr;
  }
  if (g_unmade_entries > 0)
    MakeEnteredContexts();
  return engine.isolate;
}

v8::Local<v8::String> ToV8String(v8::Isolate* isolate, const CefString& text) {
  static_assert(sizeof(char16) == sizeof(uint16_t), "UTF-16 code units");
  // An empty CefString's c_str() is null, as in CEF.
  if (text.empty())
    return v8::String::Empty(isolate);
  return v8::String::NewFromTwoByte(
             isolate, reinterpret_cast<const uint16_t*>(text.c_str()),
             v8::NewStringType::kNormal, static_cast<int>(text.length()))
      .ToLocalChecked();
}

CefString ToCefString(v8::Isolate* isolate, v8::Local<v8::Value> value) {
  if (value.IsEmpty() || !value->IsString())
    return CefString();
  v8::Local<v8::String> text = value.As<v8::String>();
  const int length = text->Length();
  // Names and keys are short: read them on the stack, so the CefString's
  // own copy is the only allocation.
  constexpr int kStackLength = 128;
  uint16_t stack_buffer[kStackLength];
  std::vector<uint16_t> heap_buffer;
  uint16_t* buffer = stack_buffer;
  if (length > kStackLength) {
    heap_buffer.resize(static_cast<size_t>(length));
    buffer = heap_buffer.data();
  }
  text->Write(isolate, buffer, 0, length, v8::String::NO_NULL_TERMINATION);
  return CefString(reinterpret_cast<const char16*>(buffer),
                   static_cast<size_t>(length), /*copy=*/true);
}

std::string DescribeValue(v8::Isolate* isolate,
                          v8::Local<v8::Context> context,
                          v8::Local<v8::Value> value) {
  // A Symbol's ToString throws; String(symbol) does not.
  if (value->IsSymbol()) {
    v8::Local<v8::Value> description =
        value.As<v8::Symbol>()->Description(isolate);
    return "Symbol(" +
           (description->IsUndefined() ? std::string()
                                       : ToUtf8(isolate, description)) +
           ")";
  }
  v8::TryCatch try_catch(isolate);
  v8::Local<v8::String> text;
  if (!value->ToString(context).ToLocal(&text))
    return "<a value without a text form>";
  return ToUtf8(isolate, text);
}

v8::Local<v8::Private> UserCreatedKey(v8::Isolate* isolate) {
  // Looked up once: every object, array and function made for the page
  // needs it, and ForApi is a registry look-up of a new string. There is
  // only the one isolate, and it lives for the whole process.
  static v8::Eternal<v8::Private> key(
      isolate,
      v8::Private::ForApi(isolate, v8::String::NewFromUtf8Literal(
                                       isolate, "cef_standin#user_created")));
  return key.Get(isolate);
}

void PumpPlatformTasks() {
  Engine& engine = GetEngine();
  while (v8::platform::PumpMessageLoop(engine.platform.get(), engine.isolate)) {
  }
}

// ContextState ---------------------------------------------------------------

ContextState::ContextState(v8::Isolate* isolate,
                           v8::Local<v8::Context> context,
                           CefRefPtr<CefFrame> frame,
                           CefRefPtr<CefTaskRunner> runner)
    : isolate_(isolate),
      pending_(context.IsEmpty()),
      context_(isolate, context),
      frame_(frame),
      runner_(runner) {
  if (!pending_)
    context->SetAlignedPointerInEmbedderData(kStateEmbedderIndex, this);
}

ContextState::~ContextState() {
  Release();
}

// static
std::shared_ptr<ContextState> ContextState::From(
    v8::Local<v8::Context> context) {
  ContextState* state = RawFrom(context);
  if (!state)
    return nullptr;
  return state->shared_from_this();
}

// static
ContextState* ContextState::RawFrom(v8::Local<v8::Context> context) {
  if (context.IsEmpty() ||
      context->GetNumberOfEmbedderDataFields() <= kStateEmbedderIndex) {
    return nullptr;
  }
  return static_cast<ContextState*>(
      context->GetAlignedPointerFromEmbedderData(kStateEmbedderIndex));
}

// static
std::shared_ptr<ContextState> ContextState::Current(v8::Isolate* isolate) {
  if (!isolate->InContext())
    return nullptr;
  v8::Local<v8::Context> context = isolate->GetCurrentContext();
  std::shared_ptr<ContextState> state = From(context);
  if (state)
    return state;
  // Released under script that still runs in it (its frame was removed):
  // CEF starts a fresh state for a context it no longer tracks, frameless.
  return std::make_shared<ContextState>(
      isolate, context, nullptr, CefTaskRunner::GetForThread(TID_RENDERER));
}

void ContextState::TrackValue(V8ValueImpl* value) {
  value->prev_tracked_ = nullptr;
  value->next_tracked_ = values_;
  if (values_)
    values_->prev_tracked_ = value;
  values_ = value;
  value->tracked_ = true;
}

void ContextState::UntrackValue(V8ValueImpl* value) {
  // A release has already let go of every value it had.
  if (!value->tracked_)
    return;
  if (value->prev_tracked_)
    value->prev_tracked_->next_tracked_ = value->next_tracked_;
  else
    values_ = value->next_tracked_;
  if (value->next_tracked_)
    value->next_tracked_->prev_tracked_ = value->prev_tracked_;
  value->prev_tracked_ = value->next_tracked_ = nullptr;
  value->tracked_ = false;
}

v8::Local<v8::Context> ContextState::GetContext() {
  if (pending_)
    MakeContext();
  return context_.Get(isolate_);
}

// In the caller's handle scope: it gets a local handle back.
void ContextState::MakeContext() {
  pending_ = false;
  ++g_contexts_made;
  v8::Local<v8::Context> context = v8::Context::New(isolate_);
  InstallWindow(isolate_, context);
  InstallConsole(isolate_, context);
  context->SetAlignedPointerInEmbedderData(kStateEmbedderIndex, this);
  context_.Reset(isolate_, context);
}

v8::Local<v8::Context> ContextState::ContextToLeave() {
  if (!IsValid())
    return entered_context_.Get(isolate_);
  return GetContext();
}

void ContextState::Release(bool keep_entered) {
  if (!IsValid())
    return;
  v8::HandleScope handle_scope(isolate_);

  auto& stack = EnteredStack();
  auto lowest = std::find_if(
      stack.begin(), stack.end(),
      [this](const EnteredEntry& entry) { return entry.state == this; });
  if (lowest != stack.end() && keep_entered && !pending_) {
    // Script still runs in it (Blink releases a removed frame's context at
    // once); V8 leaves it when that script returns.
    entered_context_.Reset(isolate_, GetContext());
  } else if (lowest != stack.end()) {
    RendererError("a context was released while still entered");
    UnwindEnteredContexts(static_cast<size_t>(lowest - stack.begin()));
  }
  if (pending_) {
    // Never made: nothing in V8 holds it, and nothing was made in it.
    pending_ = false;
    frame_ = nullptr;
    return;
  }

  for (V8ValueImpl* value = values_; value;) {
    V8ValueImpl* next = value->next_tracked_;
    value->prev_tracked_ = value->next_tracked_ = nullptr;
    value->tracked_ = false;
    value->OnContextReleased();
    value = next;
  }
  values_ = nullptr;

  std::set<int64> callbacks;
  callbacks.swap(callbacks_);
  for (int64 id : callbacks) {
    // CEF keeps a function's handler until V8 collects the function: page
    // script of another frame may still hold it and call it.
    const CallbackHolder* holder = CallbackRegistry::Find(id);
    if (holder && holder->handler)
      continue;
    CallbackRegistry::Remove(id);
  }

  v8::Local<v8::Context> context = GetContext();
  context->SetAlignedPointerInEmbedderData(kStateEmbedderIndex, nullptr);
  context_.Reset();
  // The frame may hold this context: break the cycle. A handler's destructor
  // above may have been the last to hold the frame; that is fine.
  frame_ = nullptr;
}

// The entered-context stack ------------------------------------------------

void PushEnteredContext(ContextState* state, V8ContextImpl* wrapper) {
  if (!wrapper && state->pending()) {
    // The renderer enters a context to tell the application of it; most
    // applications' handlers never touch it then.
    EnteredStack().push_back(
        {state, wrapper, false, state->shared_from_this()});
    ++g_unmade_entries;
    return;
  }
  if (g_unmade_entries > 0)
    MakeEnteredContexts();
  v8::HandleScope handle_scope(state->isolate());
  state->GetContext()->Enter();
  EnteredStack().push_back({state, wrapper, true, state->shared_from_this()});
}

bool PopCountedContext(ContextState* state, V8ContextImpl* wrapper) {
  auto& stack = EnteredStack();
  if (stack.empty() || stack.back().state != state || !stack.back().wrapper) {
    RendererError(
        "CefV8Context::Exit() does not match the innermost "
        "CefV8Context::Enter()");
    return false;
  }
  stack.back().wrapper = wrapper;
  UnwindEnteredContexts(stack.size() - 1);
  return true;
}

size_t EnteredDepth() {
  return EnteredStack().size();
}

size_t EnteredContextDepth() {
  return EnteredDepth();
}

void LeaveContextsAbove(size_t depth) {
  if (EnteredDepth() <= depth)
    return;
  RendererError(
      "a context released while entered was not left (CEF cannot leave it "
      "once released): left at the end of the renderer's task");
  UnwindEnteredContexts(depth);
}

void UnwindEnteredContexts(size_t depth) {
  auto& stack = EnteredStack();
  while (stack.size() > depth) {
    EnteredEntry entry = stack.back();
    stack.pop_back();
    if (!entry.in_v8) {
      --g_unmade_entries;
      continue;
    }
    v8::HandleScope handle_scope(entry.state->isolate());
    entry.state->ContextToLeave()->Exit();
    if (entry.wrapper)
      entry.wrapper->CountExit();
  }
}

ScopedPageEntry::ScopedPageEntry(ContextState* state)
    : state_(state), depth_(EnteredDepth()) {
  PushEnteredContext(state_, nullptr);
}

ScopedPageEntry::~ScopedPageEntry() {
  if (EnteredDepth() > depth_ + 1)
    RendererError("a context entered with CefV8Context::Enter() was not left");
  UnwindEnteredContexts(depth_);
}

bool IsScriptForbidden() {
  return g_script_forbidden > 0;
}

// CallbackRegistry -----------------------------------------------------------

// static
CallbackHolder* CallbackRegistry::Reserve(
    const std::shared_ptr<ContextState>& state) {
  auto holder = std::make_unique<CallbackHolder>();
  holder->id = g_next_callback_id++;
  holder->state = state;
  state->TrackCallback(holder->id);
  CallbackHolder* result = holder.get();
  Callbacks()[result->id] = std::move(holder);
  return result;
}

// static
void CallbackRegistry::Attach(CallbackHolder* holder,
                              v8::Isolate* isolate,
                              v8::Local<v8::Context> context,
                              v8::Local<v8::Object> object) {
  holder->object.Reset(isolate, object);
  holder->object.SetWeak(holder, &OnCallbackObjectCollected,
                         v8::WeakCallbackType::kParameter);
  object
      ->SetPrivate(context, UserCreatedKey(isolate),
                   v8::Number::New(isolate, static_cast<double>(holder->id)))
      .Check();
}

// static
CallbackHolder* CallbackRegistry::Find(int64 id) {
  auto it = Callbacks().find(id);
  return it == Callbacks().end() ? nullptr : it->second.get();
}

// static
CallbackHolder* CallbackRegistry::FindFor(v8::Isolate* isolate,
                                          v8::Local<v8::Context> context,
                                          v8::Local<v8::Object> object) {
  v8::Local<v8::Value> id;
  if (!object->GetPrivate(context, UserCreatedKey(isolate)).ToLocal(&id) ||
      !id->IsNumber()) {
    return nullptr;
  }
  return Find(static_cast<int64>(id.As<v8::Number>()->Value()));
}

// static
void CallbackRegistry::Remove(int64 id) {
  auto it = Callbacks().find(id);
  if (it == Callbacks().end())
    return;
  std::unique_ptr<CallbackHolder> holder = std::move(it->second);
  Callbacks().erase(it);
  if (!holder->object.IsEmpty()) {
    holder->object.ClearWeak();
    holder->object.Reset();
  }
  if (auto state = holder->state.lock())
    state->UntrackCallback(id);
  // |holder| goes here, and with it the handler.
}

// V8ExceptionImpl ------------------------------------------------------------

V8ExceptionImpl::V8ExceptionImpl(v8::Isolate* isolate,
                                 v8::Local<v8::Context> context,
                                 v8::Local<v8::Message> message) {
  if (message.IsEmpty())
    return;
  message_ = ToCefString(isolate, message->Get());
  v8::Local<v8::String> source_line;
  if (message->GetSourceLine(context).ToLocal(&source_line))
    source_line_ = ToCefString(isolate, source_line);
  resource_name_ = ToCefString(isolate, message->GetScriptResourceName());
  line_number_ = message->GetLineNumber(context).FromMaybe(0);
  start_position_ = message->GetStartPosition();
  end_position_ = message->GetEndPosition();
  start_column_ = message->GetStartColumn(context).FromMaybe(0);
  end_column_ = message->GetEndColumn(context).FromMaybe(0);
}

// V8ContextImpl --------------------------------------------------------------

V8ContextImpl::V8ContextImpl(std::shared_ptr<ContextState> state)
    : state_(std::move(state)) {}

V8ContextImpl::~V8ContextImpl() {
  if (enter_count_ == 0)
    return;
  RendererError("a CefV8Context object went while it was entered");
  for (EnteredEntry& entry : EnteredStack()) {
    if (entry.wrapper == this)
      entry.wrapper = nullptr;
  }
}

CefRefPtr<CefTaskRunner> V8ContextImpl::GetTaskRunner() {
  // CEF answers even for a context that is gone: the thread is still there.
  return state_ ? state_->runner() : CefTaskRunner::GetForThread(TID_RENDERER);
}

bool V8ContextImpl::IsValid() {
  return state_ && state_->IsValid();
}

CefRefPtr<CefBrowser> V8ContextImpl::GetBrowser() {
  if (!IsValid() || !state_->frame())
    return nullptr;
  return state_->frame()->GetBrowser();
}

CefRefPtr<CefFrame> V8ContextImpl::GetFrame() {
  if (!IsValid())
    return nullptr;
  return state_->frame();
}

CefRefPtr<CefV8Value> V8ContextImpl::GetGlobal() {
  if (!IsValid() || IsScriptForbidden())
    return nullptr;
  v8::Isolate* isolate = GetIsolate("CefV8Context::GetGlobal");
  if (!isolate)
    return nullptr;
  v8::HandleScope handle_scope(isolate);
  return V8ValueImpl::Wrap(isolate, state_, state_->GetContext()->Global())
      .get();
}

bool V8ContextImpl::Enter() {
  if (!IsValid() || IsScriptForbidden())
    return false;
  if (!GetIsolate("CefV8Context::Enter"))
    return false;
  PushEnteredContext(state_.get(), this);
  ++enter_count_;
  return true;
}

bool V8ContextImpl::Exit() {
  if (!IsValid() || IsScriptForbidden())
    return false;
  if (!GetIsolate("CefV8Context::Exit"))
    return false;
  if (enter_count_ <= 0) {
    RendererError(
        "Call to CefV8Context::Exit() without matching call to "
        "CefV8Context::Enter()");
    return false;
  }
  return PopCountedContext(state_.get(), this);
}

bool V8ContextImpl::IsSame(CefRefPtr<CefV8Context> that) {
  if (!VerifyParam(that != nullptr, "CefV8Context::IsSame", "that.get()"))
    return false;
  if (!IsValid() || !that->IsValid())
    return false;
  return StateOf(that) == state_;
}

bool V8ContextImpl::Eval(const CefString& code,
                         const CefString& script_url,
                         int start_line,
                         CefRefPtr<CefV8Value>& retval,
                         CefRefPtr<CefV8Exception>& exception) {
  retval = nullptr;
  exception = nullptr;
  if (code.empty()) {
    RendererError("CefV8Context::Eval: no code");
    return false;
  }
  if (!IsValid() || IsScriptForbidden())
    return false;
  v8::Isolate* isolate = GetIsolate("CefV8Context::Eval");
  if (!isolate)
    return false;
  v8::HandleScope handle_scope(isolate);
  // Keeps the state alive should the script release the context.
  const std::shared_ptr<ContextState> state = state_;
  v8::Local<v8::Context> context = state->GetContext();
  ScopedPageEntry entry(state.get());
  v8::TryCatch try_catch(isolate);
  v8::Local<v8::Value> result;
  if (!CompileAndRun(isolate, context, code, script_url, start_line, &result)) {
    exception = new V8ExceptionImpl(isolate, context, try_catch.Message());
    return false;
  }
  retval = V8ValueImpl::Wrap(isolate, state, result).get();
  return true;
}

// The renderer's seam (renderer_internal.h) ----------------------------------

CefRefPtr<CefV8Context> CreateFrameContext(CefRefPtr<CefFrame> frame,
                                           CefRefPtr<CefTaskRunner> runner) {
  v8::Isolate* isolate = GetIsolate("CreateFrameContext");
  if (!isolate)
    return nullptr;
  auto state = std::make_shared<ContextState>(isolate, v8::Local<v8::Context>(),
                                              frame, runner);
  return new V8ContextImpl(state);
}

CefRefPtr<CefV8Context> CreateInvalidContext() {
  return new V8ContextImpl(nullptr);
}

CefRefPtr<CefV8Context> NewContextWrapper(CefRefPtr<CefV8Context> context) {
  return new V8ContextImpl(StateOf(context));
}

void RunInContext(CefRefPtr<CefV8Context> context,
                  const std::function<void()>& callback) {
  const std::shared_ptr<ContextState> state = StateOf(context);
  if (!state || !state->IsValid()) {
    RendererError("RunInContext: the context is not valid");
    return;
  }
  if (!GetIsolate("RunInContext"))
    return;
  ScopedPageEntry entry(state.get());
  callback();
}

void RunWithScriptForbidden(const std::function<void()>& callback) {
  struct Forbid {
    Forbid() { ++g_script_forbidden; }
    ~Forbid() { --g_script_forbidden; }
  } forbid;
  callback();
}

void DisposeContext(CefRefPtr<CefV8Context> context, bool keep_entered) {
  const std::shared_ptr<ContextState> state = StateOf(context);
  if (!state || !GetIsolate("DisposeContext"))
    return;
  state->Release(keep_entered);
  // Weak callbacks of functions collected earlier may be waiting here.
  PumpPlatformTasks();
}

ScriptResult RunPageScript(CefRefPtr<CefV8Context> context,
                           const std::string& code,
                           const std::string& script_url,
                           int start_line) {
  ScriptResult outcome;
  const std::shared_ptr<ContextState> state = StateOf(context);
  if (!state || !state->IsValid()) {
    outcome.exception = "the frame has no JavaScript context";
    return outcome;
  }
  if (IsScriptForbidden()) {
    outcome.exception = "script is forbidden while a context is released";
    return outcome;
  }
  v8::Isolate* isolate = GetIsolate("RunPageScript");
  if (!isolate) {
    outcome.exception = "not on the renderer thread";
    return outcome;
  }
  v8::HandleScope handle_scope(isolate);
  v8::Local<v8::Context> v8_context = state->GetContext();
  ScopedPageEntry entry(state.get());
  v8::TryCatch try_catch(isolate);
  v8::Local<v8::Value> result;
  if (!CompileAndRun(isolate, v8_context, code, script_url, start_line,
                     &result)) {
    outcome.exception = ExceptionText(isolate, v8_context, try_catch);
    return outcome;
  }
  outcome.ok = true;
  outcome.value = ResultText(isolate, v8_context, result);
  return outcome;
}

bool IsAnyContextEntered() {
  return !EnteredStack().empty();
}

void RunEngineTasks() {
  if (GetIsolate("RunEngineTasks"))
    PumpPlatformTasks();
}

void DropLeftoverFunctions() {
  std::vector<int64> leftovers;
  for (const auto& entry : Callbacks()) {
    const std::shared_ptr<ContextState> state = entry.second->state.lock();
    if (!state || !state->IsValid())
      leftovers.push_back(entry.first);
  }
  for (int64 id : leftovers)
    CallbackRegistry::Remove(id);
}

int ContextsMadeForTesting() {
  return g_contexts_made;
}

void CollectGarbageForTesting() {
  v8::Isolate* isolate = GetIsolate("CollectGarbageForTesting");
  if (!isolate)
    return;
  isolate->LowMemoryNotification();
  PumpPlatformTasks();
}

}  // namespace internal

bool SetV8Flags(const std::string& flags) {
  // V8 reads its flags as it initialises.
  if (internal::g_engine_started)
    return false;
  v8::V8::SetFlagsFromString(flags.c_str(), flags.size());
  return true;
}

}  // namespace standin

using standin::internal::ContextState;
using standin::internal::GetIsolate;
using standin::internal::V8ContextImpl;
using standin::internal::V8StackTraceImpl;

// static
CefRefPtr<CefV8Context> CefV8Context::GetCurrentContext() {
  v8::Isolate* isolate = GetIsolate("CefV8Context::GetCurrentContext");
  if (!isolate || !isolate->InContext())
    return nullptr;
  v8::HandleScope handle_scope(isolate);
  return new V8ContextImpl(ContextState::Current(isolate));
}

// static
CefRefPtr<CefV8Context> CefV8Context::GetEnteredContext() {
  v8::Isolate* isolate = GetIsolate("CefV8Context::GetEnteredContext");
  if (!isolate || !isolate->InContext())
    return nullptr;
  v8::HandleScope handle_scope(isolate);
  return new V8ContextImpl(
      ContextState::From(isolate->GetEnteredOrMicrotaskContext()));
}

// static
bool CefV8Context::InContext() {
  v8::Isolate* isolate = GetIsolate("CefV8Context::InContext");
  return isolate && isolate->InContext();
}

// static
CefRefPtr<CefV8StackTrace> CefV8StackTrace::GetCurrent(int frame_limit) {
  v8::Isolate* isolate = GetIsolate("CefV8StackTrace::GetCurrent");
  if (!isolate || !isolate->InContext())
    return nullptr;
  v8::HandleScope handle_scope(isolate);
  return new V8StackTraceImpl(isolate,
                              v8::StackTrace::CurrentStackTrace(
                                  isolate, frame_limit < 0 ? 0 : frame_limit,
                                  v8::StackTrace::kDetailed));
}
