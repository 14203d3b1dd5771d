// What the V8-backed files of the stand-in share. Only v8_engine*.cc include
// this: they alone see V8's headers and are built without RTTI, as libnode is.
#ifndef CEF_STANDIN_SRC_V8_ENGINE_H_
#define CEF_STANDIN_SRC_V8_ENGINE_H_

#include <map>
#include <memory>
#include <set>
#include <string>

#include "cef_standin/src/live_objects.h"
#include "cef_standin/src/logging_internal.h"
#include "include/cef_v8.h"
#include "v8.h"

namespace standin {
namespace internal {

class V8ValueImpl;

// The process's isolate, made on first use and entered for good on the thread
// that made it. nullptr, with an error line naming |caller|, on any other
// thread: V8 values belong to the renderer thread.
v8::Isolate* GetIsolate(const char* caller);

v8::Local<v8::String> ToV8String(v8::Isolate* isolate, const CefString& text);
CefString ToCefString(v8::Isolate* isolate, v8::Local<v8::Value> value);

// String(value): a console argument's text, and a result's or an exception's
// when JSON has none. A page's toString may throw or loop back into the
// console; neither reaches the caller.
std::string DescribeValue(v8::Isolate* isolate,
                          v8::Local<v8::Context> context,
                          v8::Local<v8::Value> value);

// Gives |context| a console whose log, info, warn, error and debug report to
// the frame's renderer (v8_engine_console.cc).
void InstallConsole(v8::Isolate* isolate, v8::Local<v8::Context> context);

// Everything the stand-in knows about one page context. Shared by the
// CefV8Context objects and the object values of that context; the V8 context
// itself points back at it (embedder data) until Release().
class ContextState : public std::enable_shared_from_this<ContextState> {
 public:
  // An empty |context| makes a frame's context on first use (see
  // GetContext()).
  ContextState(v8::Isolate* isolate,
               v8::Local<v8::Context> context,
               CefRefPtr<CefFrame> frame,
               CefRefPtr<CefTaskRunner> runner);
  ~ContextState();
  ContextState(const ContextState&) = delete;
  ContextState& operator=(const ContextState&) = delete;

  // The state of |context|; null for a released context.
  static std::shared_ptr<ContextState> From(v8::Local<v8::Context> context);
  // The same without taking a reference; valid while the V8 context points
  // at it.
  static ContextState* RawFrom(v8::Local<v8::Context> context);
  // The state of the current V8 context; null when none is current.
  static std::shared_ptr<ContextState> Current(v8::Isolate* isolate);

  bool IsValid() const { return pending_ || !context_.IsEmpty(); }
  // Valid, but its V8 context is not made yet.
  bool pending() const { return pending_; }
  // Empty once released. A frame's V8 context is made here, on first use:
  // page code cannot tell, and most contexts that tests and fuzz inputs make
  // are never touched, while each costs V8 a snapshot deserialisation.
  v8::Local<v8::Context> GetContext();
  v8::Isolate* isolate() const { return isolate_; }
  CefRefPtr<CefFrame> frame() const { return frame_; }
  CefRefPtr<CefTaskRunner> runner() const { return runner_; }

  // Object values lose their handles when the context is released. A value
  // links itself in (see V8ValueImpl): every object a conversion touches is
  // wrapped, so tracking must not cost an allocation and a tree walk.
  void TrackValue(V8ValueImpl* value);
  void UntrackValue(V8ValueImpl* value);
  // Callback holders (see CallbackRegistry) made in this context.
  void TrackCallback(int64 id) { callbacks_.insert(id); }
  void UntrackCallback(int64 id) { callbacks_.erase(id); }

  // Invalidates the context, its object values and its accessors; its
  // functions keep their handlers. With |keep_entered|, a context that script
  // runs in stays entered until that script leaves it.
  void Release(bool keep_entered = false);
  // What an entry of the entered stack leaves: the context, also once
  // released while entered.
  v8::Local<v8::Context> ContextToLeave();

 private:
  void MakeContext();

  v8::Isolate* const isolate_;
  bool pending_ = false;  // a frame's context not yet made
  v8::Global<v8::Context> context_;
  v8::Global<v8::Context> entered_context_;  // released while entered
  CefRefPtr<CefFrame> frame_;
  CefRefPtr<CefTaskRunner> runner_;
  V8ValueImpl* values_ = nullptr;  // the head of the tracked list; not owned
  std::set<int64> callbacks_;
};

// Enters a context for the page (not counted by CefV8Context::Enter()) and
// leaves it when destroyed; contexts that callers entered above it and left
// entered are unwound first, with an error line.
class ScopedPageEntry {
 public:
  explicit ScopedPageEntry(ContextState* state);
  ~ScopedPageEntry();
  ScopedPageEntry(const ScopedPageEntry&) = delete;
  ScopedPageEntry& operator=(const ScopedPageEntry&) = delete;

 private:
  ContextState* const state_;
  size_t depth_;
};

class V8ContextImpl;

// The process-wide stack of entered contexts, innermost last. An entry made
// by CefV8Context::Enter() names the |wrapper| whose count it raised; the
// page's own entries name none.
void PushEnteredContext(ContextState* state, V8ContextImpl* wrapper);
// Leaves the innermost entry for |wrapper|'s Exit(); false (with an error
// line) unless it is a counted entry of |state|. V8 asks only that the
// context be the innermost one: the count lowered is |wrapper|'s, whichever
// object entered.
bool PopCountedContext(ContextState* state, V8ContextImpl* wrapper);
size_t EnteredDepth();
// Leaves entries from the innermost down to |depth| entries.
void UnwindEnteredContexts(size_t depth);

// While positive, script is forbidden (see RunWithScriptForbidden).
bool IsScriptForbidden();

// The C++ side of a function made by CreateFunction() or an object with an
// accessor: its handler and name. Owned by the registry; released when V8
// collects the JavaScript object. An accessor goes at the latest when its
// context is released, a function's handler (as in CEF) only when V8 collects
// the function or the renderer goes. The JavaScript side only knows the id,
// so a call that arrives after the release finds nothing instead of freed
// memory.
struct CallbackHolder {
  int64 id = 0;
  CefString name;
  CefRefPtr<CefV8Handler> handler;
  CefRefPtr<CefV8Accessor> accessor;
  v8::Global<v8::Object> object;  // weak
  std::weak_ptr<ContextState> state;
};

class CallbackRegistry {
 public:
  // A new holder, owned by the registry and tracked by |state|.
  static CallbackHolder* Reserve(const std::shared_ptr<ContextState>& state);
  // Ties |holder| to |object|: the object carries its id, and its collection
  // releases the holder.
  static void Attach(CallbackHolder* holder,
                     v8::Isolate* isolate,
                     v8::Local<v8::Context> context,
                     v8::Local<v8::Object> object);
  static CallbackHolder* Find(int64 id);
  // The holder whose id |object| carries, if any.
  static CallbackHolder* FindFor(v8::Isolate* isolate,
                                 v8::Local<v8::Context> context,
                                 v8::Local<v8::Object> object);
  // Deletes the holder (releasing its handler) without waiting for V8.
  static void Remove(int64 id);
};

// The private key under which objects made by the stand-in carry their id (0
// when they have no callback holder).
v8::Local<v8::Private> UserCreatedKey(v8::Isolate* isolate);

// Runs what V8 posted to the platform's foreground queue (second-pass weak
// callbacks among it).
void PumpPlatformTasks();

class V8ExceptionImpl : public CefV8Exception {
 public:
  V8ExceptionImpl(v8::Isolate* isolate,
                  v8::Local<v8::Context> context,
                  v8::Local<v8::Message> message);
  V8ExceptionImpl(const V8ExceptionImpl&) = delete;
  V8ExceptionImpl& operator=(const V8ExceptionImpl&) = delete;

  // CefV8Exception methods:
  CefString GetMessage() override { return message_; }
  CefString GetSourceLine() override { return source_line_; }
  CefString GetScriptResourceName() override { return resource_name_; }
  int GetLineNumber() override { return line_number_; }
  int GetStartPosition() override { return start_position_; }
  int GetEndPosition() override { return end_position_; }
  int GetStartColumn() override { return start_column_; }
  int GetEndColumn() override { return end_column_; }

 private:
  CefString message_;
  CefString source_line_;
  CefString resource_name_;
  int line_number_ = 0;
  int start_position_ = 0;
  int end_position_ = 0;
  int start_column_ = 0;
  int end_column_ = 0;
  LiveObject live_;
  IMPLEMENT_REFCOUNTING(V8ExceptionImpl);
};

// The CefV8Context of a page context, or one that is not valid (no state).
class V8ContextImpl : public CefV8Context {
 public:
  explicit V8ContextImpl(std::shared_ptr<ContextState> state);
  V8ContextImpl(const V8ContextImpl&) = delete;
  V8ContextImpl& operator=(const V8ContextImpl&) = delete;

  ~V8ContextImpl() override;

  const std::shared_ptr<ContextState>& state() const { return state_; }
  // One Enter() of this object was undone (by its Exit() or an unwinding).
  void CountExit() {
    if (enter_count_ > 0)
      --enter_count_;
  }

  // CefV8Context methods:
  CefRefPtr<CefTaskRunner> GetTaskRunner() override;
  bool IsValid() override;
  CefRefPtr<CefBrowser> GetBrowser() override;
  CefRefPtr<CefFrame> GetFrame() override;
  CefRefPtr<CefV8Value> GetGlobal() override;
  bool Enter() override;
  bool Exit() override;
  bool IsSame(CefRefPtr<CefV8Context> that) override;
  bool Eval(const CefString& code,
            const CefString& script_url,
            int start_line,
            CefRefPtr<CefV8Value>& retval,
            CefRefPtr<CefV8Exception>& exception) override;

 private:
  const std::shared_ptr<ContextState> state_;
  // Enter() calls of this object not yet matched by Exit(). Counted per
  // object, as CEF does: another object for the same context cannot exit
  // what this one entered.
  int enter_count_ = 0;
  LiveObject live_;
  IMPLEMENT_REFCOUNTING(V8ContextImpl);
};

// A CefV8Value. Its kind is fixed when it is made. Scalars (dates and strings
// included) are held by value and outlive every context; an object holds a
// handle that its context's release resets.
class V8ValueImpl : public CefV8Value {
 public:
  enum class Kind {
    kInvalid,  // what V8 had no CEF kind for (symbols, BigInts)
    kUndefined,
    kNull,
    kBool,
    kInt,
    kUInt,
    kDouble,
    kDate,
    kString,
    kObject,
  };

  // Wraps a V8 value; objects are tied to |state|.
  static CefRefPtr<V8ValueImpl> Wrap(v8::Isolate* isolate,
                                     const std::shared_ptr<ContextState>& state,
                                     v8::Local<v8::Value> value);
  explicit V8ValueImpl(Kind kind);
  ~V8ValueImpl() override;
  V8ValueImpl(const V8ValueImpl&) = delete;
  V8ValueImpl& operator=(const V8ValueImpl&) = delete;

  static CefRefPtr<V8ValueImpl> FromBool(bool value);
  static CefRefPtr<V8ValueImpl> FromInt(int32 value);
  static CefRefPtr<V8ValueImpl> FromUInt(uint32 value);
  static CefRefPtr<V8ValueImpl> FromDouble(double value);
  static CefRefPtr<V8ValueImpl> FromDate(double time_ms);
  static CefRefPtr<V8ValueImpl> FromString(const CefString& value);

  // The value in V8; empty when it is not valid.
  v8::Local<v8::Value> ToV8(v8::Isolate* isolate,
                            v8::Local<v8::Context> context) const;
  // Called by the context's release.
  void OnContextReleased() { handle_.Reset(); }

  // CefV8Value methods:
  bool IsValid() override;
  bool IsUndefined() override { return kind_ == Kind::kUndefined; }
  bool IsNull() override { return kind_ == Kind::kNull; }
  bool IsBool() override { return kind_ == Kind::kBool; }
  bool IsInt() override;
  bool IsUInt() override;
  bool IsDouble() override;
  bool IsDate() override { return kind_ == Kind::kDate; }
  bool IsString() override { return kind_ == Kind::kString; }
  bool IsObject() override { return kind_ == Kind::kObject; }
  bool IsArray() override;
  bool IsArrayBuffer() override;
  bool IsFunction() override;
  bool IsSame(CefRefPtr<CefV8Value> that) override;
  bool GetBoolValue() override;
  int32 GetIntValue() override;
  uint32 GetUIntValue() override;
  double GetDoubleValue() override;
  CefTime GetDateValue() override;
  CefString GetStringValue() override;
  bool IsUserCreated() override;
  bool HasException() override;
  CefRefPtr<CefV8Exception> GetException() override;
  bool ClearException() override;
  bool WillRethrowExceptions() override;
  bool SetRethrowExceptions(bool rethrow) override;
  bool HasValue(const CefString& key) override;
  bool HasValue(int index) override;
  bool DeleteValue(const CefString& key) override;
  bool DeleteValue(int index) override;
  CefRefPtr<CefV8Value> GetValue(const CefString& key) override;
  CefRefPtr<CefV8Value> GetValue(int index) override;
  bool SetValue(const CefString& key,
                CefRefPtr<CefV8Value> value,
                PropertyAttribute attribute) override;
  bool SetValue(int index, CefRefPtr<CefV8Value> value) override;
  bool SetValue(const CefString& key,
                AccessControl settings,
                PropertyAttribute attribute) override;
  bool GetKeys(std::vector<CefString>& keys) override;
  // User data, V8's external memory accounting and array buffers made by the
  // embedder are not played.
  bool SetUserData(CefRefPtr<CefBaseRefCounted>) override {
    NotImplemented("CefV8Value::SetUserData");
  }
  CefRefPtr<CefBaseRefCounted> GetUserData() override {
    NotImplemented("CefV8Value::GetUserData");
  }
  int GetExternallyAllocatedMemory() override {
    NotImplemented("CefV8Value::GetExternallyAllocatedMemory");
  }
  int AdjustExternallyAllocatedMemory(int) override {
    NotImplemented("CefV8Value::AdjustExternallyAllocatedMemory");
  }
  int GetArrayLength() override;
  CefRefPtr<CefV8ArrayBufferReleaseCallback> GetArrayBufferReleaseCallback()
      override {
    NotImplemented("CefV8Value::GetArrayBufferReleaseCallback");
  }
  bool NeuterArrayBuffer() override {
    NotImplemented("CefV8Value::NeuterArrayBuffer");
  }
  CefString GetFunctionName() override;
  CefRefPtr<CefV8Handler> GetFunctionHandler() override;
  CefRefPtr<CefV8Value> ExecuteFunction(
      CefRefPtr<CefV8Value> object,
      const CefV8ValueList& arguments) override;
  CefRefPtr<CefV8Value> ExecuteFunctionWithContext(
      CefRefPtr<CefV8Context> context,
      CefRefPtr<CefV8Value> object,
      const CefV8ValueList& arguments) override;

 private:
  class ObjectCall;

  // ExecuteFunction() and ExecuteFunctionWithContext() past the wrapper's
  // checks; |context| may be null (the current one).
  CefRefPtr<CefV8Value> CallFunction(CefRefPtr<CefV8Context> context,
                                     CefRefPtr<CefV8Value> object,
                                     const CefV8ValueList& arguments);

  // Records what |try_catch| caught on this value (and rethrows it if asked
  // to); true when there was something.
  bool HasCaught(v8::Isolate* isolate,
                 v8::Local<v8::Context> context,
                 v8::TryCatch& try_catch);

  // ContextState links its object values in a list through these.
  friend class ContextState;
  V8ValueImpl* prev_tracked_ = nullptr;
  V8ValueImpl* next_tracked_ = nullptr;
  bool tracked_ = false;

  const Kind kind_;
  bool bool_value_ = false;
  int32 int_value_ = 0;      // also the bits of a uint, as CEF keeps them
  double double_value_ = 0;  // doubles and dates (ms since the epoch)
  CefString string_value_;
  std::shared_ptr<ContextState> state_;  // objects only
  v8::Global<v8::Value> handle_;         // objects only
  CefRefPtr<CefV8Exception> last_exception_;
  bool rethrow_exceptions_ = false;
  LiveObject live_;
  IMPLEMENT_REFCOUNTING(V8ValueImpl);
};

}  // namespace internal
}  // namespace standin

#endif  // CEF_STANDIN_SRC_V8_ENGINE_H_
