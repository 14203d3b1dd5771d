// CefV8Value backed by V8, and the glue that lets page script call handlers
// and accessors.
#include <cmath>
#include <optional>
#include <string>
#include <vector>

#include "cef_standin/src/cef_time_internal.h"
#include "cef_standin/src/renderer_internal.h"
#include "cef_standin/src/v8_engine.h"
#include "cef_standin/src/verify_param.h"

namespace standin {
namespace internal {

namespace {

V8ValueImpl* Impl(const CefRefPtr<CefV8Value>& value) {
  // Every CefV8Value of this build is a V8ValueImpl.
  return static_cast<V8ValueImpl*>(value.get());
}

bool ValidArgument(const CefRefPtr<CefV8Value>& value) {
  return value && value->IsValid();
}

void ThrowError(v8::Isolate* isolate, const CefString& message) {
  isolate->ThrowException(v8::Exception::Error(ToV8String(isolate, message)));
}

// Page script called a function made by CefV8Value::CreateFunction().
void CallHandler(const v8::FunctionCallbackInfo<v8::Value>& info) {
  v8::Isolate* isolate = info.GetIsolate();
  v8::HandleScope handle_scope(isolate);
  const int64 id = static_cast<int64>(info.Data().As<v8::Number>()->Value());
  CallbackHolder* holder = CallbackRegistry::Find(id);
  v8::Local<v8::Context> context = isolate->GetCurrentContext();
  std::shared_ptr<ContextState> state = ContextState::From(context);
  if (!holder || !holder->handler) {
    ThrowError(isolate, "the handler of this function is gone");
    return;
  }
  if (!state) {
    // The function outlived its context: page script of another frame kept
    // it. CEF starts a fresh state for a context it no longer tracks, so the
    // handler runs with that context current and valid, but frameless.
    state = std::make_shared<ContextState>(
        isolate, context, nullptr, CefTaskRunner::GetForThread(TID_RENDERER));
  }
  // Copies: the call may release the context and with it the holder.
  CefRefPtr<CefV8Handler> handler = holder->handler;
  const CefString name = holder->name;

  CefRefPtr<CefV8Value> receiver =
      V8ValueImpl::Wrap(isolate, state, info.This()).get();
  CefV8ValueList arguments;
  arguments.reserve(static_cast<size_t>(info.Length()));
  for (int i = 0; i < info.Length(); ++i)
    arguments.push_back(V8ValueImpl::Wrap(isolate, state, info[i]).get());

  CefRefPtr<CefV8Value> retval;
  CefString exception;
  if (!handler->Execute(name, receiver, arguments, retval, exception))
    return;
  if (!exception.empty()) {
    ThrowError(isolate, exception);
    return;
  }
  if (retval && retval->IsValid()) {
    v8::Local<v8::Value> result = Impl(retval)->ToV8(isolate, context);
    if (!result.IsEmpty())
      info.GetReturnValue().Set(result);
  }
}

template <typename T>
CallbackHolder* FindAccessor(const v8::PropertyCallbackInfo<T>& info,
                             std::shared_ptr<ContextState>* state) {
  v8::Isolate* isolate = info.GetIsolate();
  *state = ContextState::From(isolate->GetCurrentContext());
  CallbackHolder* holder = CallbackRegistry::Find(
      static_cast<int64>(info.Data().template As<v8::Number>()->Value()));
  if (!holder || !holder->accessor || !*state) {
    ThrowError(isolate, "the accessor of this object is gone");
    return nullptr;
  }
  return holder;
}

void GetAccessorProperty(v8::Local<v8::Name> property,
                         const v8::PropertyCallbackInfo<v8::Value>& info) {
  v8::Isolate* isolate = info.GetIsolate();
  v8::HandleScope handle_scope(isolate);
  std::shared_ptr<ContextState> state;
  CallbackHolder* holder = FindAccessor(info, &state);
  if (!holder)
    return;
  CefRefPtr<CefV8Accessor> accessor = holder->accessor;
  CefRefPtr<CefV8Value> object =
      V8ValueImpl::Wrap(isolate, state, info.This()).get();
  CefRefPtr<CefV8Value> retval;
  CefString exception;
  if (!accessor->Get(ToCefString(isolate, property), object, retval,
                     exception)) {
    return;
  }
  if (!exception.empty()) {
    ThrowError(isolate, exception);
    return;
  }
  if (retval && retval->IsValid()) {
    v8::Local<v8::Value> result =
        Impl(retval)->ToV8(isolate, isolate->GetCurrentContext());
    if (!result.IsEmpty())
      info.GetReturnValue().Set(result);
  }
}

void SetAccessorProperty(v8::Local<v8::Name> property,
                         v8::Local<v8::Value> value,
                         const v8::PropertyCallbackInfo<void>& info) {
  v8::Isolate* isolate = info.GetIsolate();
  v8::HandleScope handle_scope(isolate);
  std::shared_ptr<ContextState> state;
  CallbackHolder* holder = FindAccessor(info, &state);
  if (!holder)
    return;
  CefRefPtr<CefV8Accessor> accessor = holder->accessor;
  CefRefPtr<CefV8Value> object =
      V8ValueImpl::Wrap(isolate, state, info.This()).get();
  CefRefPtr<CefV8Value> new_value =
      V8ValueImpl::Wrap(isolate, state, value).get();
  CefString exception;
  if (accessor->Set(ToCefString(isolate, property), object, new_value,
                    exception) &&
      !exception.empty()) {
    ThrowError(isolate, exception);
  }
}

// Objects, arrays and functions need a context to live in.
std::shared_ptr<ContextState> CurrentStateFor(v8::Isolate* isolate,
                                              const char* caller) {
  std::shared_ptr<ContextState> state = ContextState::Current(isolate);
  if (!state)
    RendererMisuse(std::string(caller) + ": not currently in a V8 context");
  return state;
}

}  // namespace

// Everything an object method needs: the isolate, a handle scope, the current
// context and the object. ok() is false, after an error line, when the value
// is not a valid object or no context is current, as CEF refuses then.
class V8ValueImpl::ObjectCall {
 public:
  ObjectCall(V8ValueImpl* value, const char* caller)
      : isolate_(GetIsolate(caller)) {
    if (!isolate_)
      return;
    scope_.emplace(isolate_);
    if (!value->IsValid() || value->kind_ != Kind::kObject) {
      RendererMisuse(std::string(caller) + ": the value is not a valid object");
      return;
    }
    // Every object call runs this: the current context is nearly always
    // the value's own, whose state the value already shares, so the atomic
    // reference counting of a new shared pointer is left to the other case.
    ContextState* current =
        isolate_->InContext()
            ? ContextState::RawFrom(isolate_->GetCurrentContext())
            : nullptr;
    if (!current) {
      RendererMisuse(std::string(caller) + ": not currently in a V8 context");
      return;
    }
    if (value->state_.get() == current) {
      state_ = &value->state_;
    } else {
      other_state_ = current->shared_from_this();
      state_ = &other_state_;
    }
    context_ = current->GetContext();
    object_ = value->handle_.Get(isolate_).As<v8::Object>();
  }

  bool ok() const { return !object_.IsEmpty(); }
  v8::Isolate* isolate() const { return isolate_; }
  v8::Local<v8::Context> context() const { return context_; }
  v8::Local<v8::Object> object() const { return object_; }
  const std::shared_ptr<ContextState>& state() const { return *state_; }
  // Where a value that page code gave back is wrapped: a getter may have
  // removed its frame, and CEF then wraps it in the state of the context
  // current now, a fresh one that belongs to no frame.
  std::shared_ptr<ContextState> result_state() const {
    if ((*state_)->IsValid())
      return *state_;
    return ContextState::Current(isolate_);
  }

 private:
  v8::Isolate* const isolate_;
  std::optional<v8::HandleScope> scope_;
  // The value's state or |other_state_|; set when ok().
  const std::shared_ptr<ContextState>* state_ = nullptr;
  std::shared_ptr<ContextState> other_state_;
  v8::Local<v8::Context> context_;
  v8::Local<v8::Object> object_;
};

// static
CefRefPtr<V8ValueImpl> V8ValueImpl::Wrap(
    v8::Isolate* isolate,
    const std::shared_ptr<ContextState>& state,
    v8::Local<v8::Value> value) {
  // The order in which CEF tests the kinds: an Int32 is an int even though it
  // is a Uint32 too, and a Date is a date rather than an object.
  if (value->IsUndefined())
    return new V8ValueImpl(Kind::kUndefined);
  if (value->IsNull())
    return new V8ValueImpl(Kind::kNull);
  if (value->IsBoolean())
    return FromBool(value->IsTrue());
  if (value->IsInt32())
    return FromInt(value.As<v8::Int32>()->Value());
  if (value->IsUint32())
    return FromUInt(value.As<v8::Uint32>()->Value());
  if (value->IsNumber())
    return FromDouble(value.As<v8::Number>()->Value());
  if (value->IsDate()) {
    // CEF asks V8 for the Date's number, which runs the page's valueOf or
    // Symbol.toPrimitive, and takes the result unchecked.
    v8::Local<v8::Context> context = state && state->IsValid()
                                         ? state->GetContext()
                                         : isolate->GetCurrentContext();
    if (context.IsEmpty())
      return FromDate(value.As<v8::Date>()->ValueOf());
    v8::TryCatch try_catch(isolate);
    v8::Local<v8::Number> number;
    if (!value->ToNumber(context).ToLocal(&number)) {
      RendererFatal(
          "wrapping a Date whose valueOf or Symbol.toPrimitive threw: CEF "
          "takes ToNumber(...).ToLocalChecked() of a Date");
    }
    return FromDate(number->Value());
  }
  if (value->IsString())
    return FromString(ToCefString(isolate, value));
  if (value->IsObject() && state && state->IsValid()) {
    CefRefPtr<V8ValueImpl> object = new V8ValueImpl(Kind::kObject);
    object->state_ = state;
    object->handle_.Reset(isolate, value);
    state->TrackValue(object.get());
    return object;
  }
  return new V8ValueImpl(Kind::kInvalid);
}

V8ValueImpl::V8ValueImpl(Kind kind) : kind_(kind) {}

V8ValueImpl::~V8ValueImpl() {
  if (state_)
    state_->UntrackValue(this);
}

// static
CefRefPtr<V8ValueImpl> V8ValueImpl::FromBool(bool value) {
  CefRefPtr<V8ValueImpl> result = new V8ValueImpl(Kind::kBool);
  result->bool_value_ = value;
  return result;
}

// static
CefRefPtr<V8ValueImpl> V8ValueImpl::FromInt(int32 value) {
  CefRefPtr<V8ValueImpl> result = new V8ValueImpl(Kind::kInt);
  result->int_value_ = value;
  return result;
}

// static
CefRefPtr<V8ValueImpl> V8ValueImpl::FromUInt(uint32 value) {
  CefRefPtr<V8ValueImpl> result = new V8ValueImpl(Kind::kUInt);
  result->int_value_ = static_cast<int32>(value);
  return result;
}

// static
CefRefPtr<V8ValueImpl> V8ValueImpl::FromDouble(double value) {
  CefRefPtr<V8ValueImpl> result = new V8ValueImpl(Kind::kDouble);
  result->double_value_ = value;
  return result;
}

// static
CefRefPtr<V8ValueImpl> V8ValueImpl::FromDate(double time_ms) {
  CefRefPtr<V8ValueImpl> result = new V8ValueImpl(Kind::kDate);
  result->double_value_ = time_ms;
  return result;
}

// static
CefRefPtr<V8ValueImpl> V8ValueImpl::FromString(const CefString& value) {
  CefRefPtr<V8ValueImpl> result = new V8ValueImpl(Kind::kString);
  result->string_value_ = value;
  return result;
}

v8::Local<v8::Value> V8ValueImpl::ToV8(v8::Isolate* isolate,
                                       v8::Local<v8::Context> context) const {
  switch (kind_) {
    case Kind::kInvalid:
      return v8::Local<v8::Value>();
    case Kind::kUndefined:
      return v8::Undefined(isolate);
    case Kind::kNull:
      return v8::Null(isolate);
    case Kind::kBool:
      return v8::Boolean::New(isolate, bool_value_);
    case Kind::kInt:
      return v8::Integer::New(isolate, int_value_);
    case Kind::kUInt:
      return v8::Integer::NewFromUnsigned(isolate,
                                          static_cast<uint32>(int_value_));
    case Kind::kDouble:
      return v8::Number::New(isolate, double_value_);
    case Kind::kDate: {
      v8::Local<v8::Value> date;
      if (context.IsEmpty() ||
          !v8::Date::New(context, double_value_).ToLocal(&date)) {
        return v8::Local<v8::Value>();
      }
      return date;
    }
    case Kind::kString:
      return ToV8String(isolate, string_value_);
    case Kind::kObject:
      if (!state_ || !state_->IsValid())
        return v8::Local<v8::Value>();
      return handle_.Get(isolate);
  }
  return v8::Local<v8::Value>();
}

bool V8ValueImpl::IsValid() {
  switch (kind_) {
    case Kind::kInvalid:
      return false;
    case Kind::kObject:
      return state_ && state_->IsValid() && !handle_.IsEmpty();
    default:
      return true;
  }
}

bool V8ValueImpl::IsInt() {
  return kind_ == Kind::kInt || kind_ == Kind::kUInt;
}

bool V8ValueImpl::IsUInt() {
  return kind_ == Kind::kInt || kind_ == Kind::kUInt;
}

bool V8ValueImpl::IsDouble() {
  return kind_ == Kind::kInt || kind_ == Kind::kUInt || kind_ == Kind::kDouble;
}

bool V8ValueImpl::IsArray() {
  if (kind_ != Kind::kObject || !IsValid())
    return false;
  v8::Isolate* isolate = GetIsolate("CefV8Value::IsArray");
  if (!isolate)
    return false;
  v8::HandleScope handle_scope(isolate);
  return handle_.Get(isolate)->IsArray();
}

bool V8ValueImpl::IsArrayBuffer() {
  if (kind_ != Kind::kObject || !IsValid())
    return false;
  v8::Isolate* isolate = GetIsolate("CefV8Value::IsArrayBuffer");
  if (!isolate)
    return false;
  v8::HandleScope handle_scope(isolate);
  return handle_.Get(isolate)->IsArrayBuffer();
}

bool V8ValueImpl::IsFunction() {
  if (kind_ != Kind::kObject || !IsValid())
    return false;
  v8::Isolate* isolate = GetIsolate("CefV8Value::IsFunction");
  if (!isolate)
    return false;
  v8::HandleScope handle_scope(isolate);
  return handle_.Get(isolate)->IsFunction();
}

bool V8ValueImpl::IsSame(CefRefPtr<CefV8Value> that) {
  if (!VerifyParam(that != nullptr, "CefV8Value::IsSame", "that.get()"))
    return false;
  if (!IsValid() || !ValidArgument(that))
    return false;
  const V8ValueImpl* other = Impl(that);
  if (other->kind_ != kind_)
    return false;
  switch (kind_) {
    case Kind::kUndefined:
    case Kind::kNull:
      return true;
    case Kind::kBool:
      return bool_value_ == other->bool_value_;
    case Kind::kInt:
    case Kind::kUInt:
      return int_value_ == other->int_value_;
    case Kind::kDouble:
    case Kind::kDate:
      return double_value_ == other->double_value_;
    case Kind::kString:
      return string_value_ == other->string_value_;
    case Kind::kObject:
      return handle_ == other->handle_;
    case Kind::kInvalid:
      return false;
  }
  return false;
}

bool V8ValueImpl::GetBoolValue() {
  return kind_ == Kind::kBool && bool_value_;
}

int32 V8ValueImpl::GetIntValue() {
  // A uint above INT_MAX comes back wrapped, as CEF keeps both in one field.
  return IsInt() ? int_value_ : 0;
}

uint32 V8ValueImpl::GetUIntValue() {
  return IsUInt() ? static_cast<uint32>(int_value_) : 0;
}

double V8ValueImpl::GetDoubleValue() {
  switch (kind_) {
    case Kind::kInt:
      return int_value_;
    case Kind::kUInt:
      return static_cast<uint32>(int_value_);
    case Kind::kDouble:
      return double_value_;
    default:
      return 0;
  }
}

CefTime V8ValueImpl::GetDateValue() {
  return kind_ == Kind::kDate ? TimeFromMs(double_value_) : CefTime();
}

CefString V8ValueImpl::GetStringValue() {
  return kind_ == Kind::kString ? string_value_ : CefString();
}

bool V8ValueImpl::IsUserCreated() {
  ObjectCall call(this, "CefV8Value::IsUserCreated");
  if (!call.ok())
    return false;
  v8::Local<v8::Value> marker;
  return call.object()
             ->GetPrivate(call.context(), UserCreatedKey(call.isolate()))
             .ToLocal(&marker) &&
         !marker->IsUndefined();
}

bool V8ValueImpl::HasException() {
  return kind_ == Kind::kObject && IsValid() && last_exception_;
}

CefRefPtr<CefV8Exception> V8ValueImpl::GetException() {
  return kind_ == Kind::kObject && IsValid() ? last_exception_ : nullptr;
}

bool V8ValueImpl::ClearException() {
  if (kind_ != Kind::kObject || !IsValid())
    return false;
  last_exception_ = nullptr;
  return true;
}

bool V8ValueImpl::WillRethrowExceptions() {
  return kind_ == Kind::kObject && IsValid() && rethrow_exceptions_;
}

bool V8ValueImpl::SetRethrowExceptions(bool rethrow) {
  if (kind_ != Kind::kObject || !IsValid())
    return false;
  rethrow_exceptions_ = rethrow;
  return true;
}

bool V8ValueImpl::HasCaught(v8::Isolate* isolate,
                            v8::Local<v8::Context> context,
                            v8::TryCatch& try_catch) {
  if (!try_catch.HasCaught())
    return false;
  last_exception_ = new V8ExceptionImpl(isolate, context, try_catch.Message());
  if (rethrow_exceptions_)
    try_catch.ReThrow();
  return true;
}

bool V8ValueImpl::HasValue(const CefString& key) {
  ObjectCall call(this, "CefV8Value::HasValue");
  if (!call.ok())
    return false;
  v8::TryCatch try_catch(call.isolate());
  v8::Maybe<bool> has = call.object()->Has(
      call.context(), ToV8String(call.isolate(), key).As<v8::Value>());
  return !HasCaught(call.isolate(), call.context(), try_catch) &&
         has.FromMaybe(false);
}

bool V8ValueImpl::HasValue(int index) {
  if (!VerifyParam(index >= 0, "CefV8Value::HasValue", "index >= 0"))
    return false;
  ObjectCall call(this, "CefV8Value::HasValue");
  if (!call.ok())
    return false;
  v8::TryCatch try_catch(call.isolate());
  v8::Maybe<bool> has =
      call.object()->Has(call.context(), static_cast<uint32_t>(index));
  return !HasCaught(call.isolate(), call.context(), try_catch) &&
         has.FromMaybe(false);
}

bool V8ValueImpl::DeleteValue(const CefString& key) {
  ObjectCall call(this, "CefV8Value::DeleteValue");
  if (!call.ok())
    return false;
  v8::TryCatch try_catch(call.isolate());
  v8::Maybe<bool> deleted = call.object()->Delete(
      call.context(), ToV8String(call.isolate(), key).As<v8::Value>());
  return !HasCaught(call.isolate(), call.context(), try_catch) &&
         deleted.FromMaybe(false);
}

bool V8ValueImpl::DeleteValue(int index) {
  if (!VerifyParam(index >= 0, "CefV8Value::DeleteValue", "index >= 0"))
    return false;
  ObjectCall call(this, "CefV8Value::DeleteValue");
  if (!call.ok())
    return false;
  v8::TryCatch try_catch(call.isolate());
  v8::Maybe<bool> deleted =
      call.object()->Delete(call.context(), static_cast<uint32_t>(index));
  return !HasCaught(call.isolate(), call.context(), try_catch) &&
         deleted.FromMaybe(false);
}

CefRefPtr<CefV8Value> V8ValueImpl::GetValue(const CefString& key) {
  ObjectCall call(this, "CefV8Value::GetValue");
  if (!call.ok())
    return nullptr;
  // Caught here, so a throwing getter never leaves an exception pending in
  // the page.
  v8::TryCatch try_catch(call.isolate());
  v8::Local<v8::Value> result;
  if (!call.object()
           ->Get(call.context(),
                 ToV8String(call.isolate(), key).As<v8::Value>())
           .ToLocal(&result)) {
    HasCaught(call.isolate(), call.context(), try_catch);
    return nullptr;
  }
  return Wrap(call.isolate(), call.result_state(), result).get();
}

CefRefPtr<CefV8Value> V8ValueImpl::GetValue(int index) {
  if (!VerifyParam(index >= 0, "CefV8Value::GetValue", "index >= 0"))
    return nullptr;
  ObjectCall call(this, "CefV8Value::GetValue");
  if (!call.ok())
    return nullptr;
  v8::TryCatch try_catch(call.isolate());
  v8::Local<v8::Value> result;
  if (!call.object()
           ->Get(call.context(), static_cast<uint32_t>(index))
           .ToLocal(&result)) {
    HasCaught(call.isolate(), call.context(), try_catch);
    return nullptr;
  }
  return Wrap(call.isolate(), call.result_state(), result).get();
}

bool V8ValueImpl::SetValue(const CefString& key,
                           CefRefPtr<CefV8Value> value,
                           PropertyAttribute attribute) {
  if (!VerifyParam(value != nullptr, "CefV8Value::SetValue", "value.get()"))
    return false;
  ObjectCall call(this, "CefV8Value::SetValue");
  if (!call.ok())
    return false;
  if (!value->IsValid()) {
    RendererMisuse("CefV8Value::SetValue: invalid input parameter");
    return false;
  }
  v8::Local<v8::Value> v8_value =
      Impl(value)->ToV8(call.isolate(), call.context());
  if (v8_value.IsEmpty())
    return false;
  v8::Local<v8::String> name = ToV8String(call.isolate(), key);
  v8::TryCatch try_catch(call.isolate());
  // Plain assignment runs setters and Proxy traps; any attribute asks for an
  // own property instead, as CEF does.
  v8::Maybe<bool> set =
      attribute == V8_PROPERTY_ATTRIBUTE_NONE
          ? call.object()->Set(call.context(), name, v8_value)
          : call.object()->DefineOwnProperty(
                call.context(), name, v8_value,
                static_cast<v8::PropertyAttribute>(attribute));
  return !HasCaught(call.isolate(), call.context(), try_catch) &&
         set.FromMaybe(false);
}

bool V8ValueImpl::SetValue(int index, CefRefPtr<CefV8Value> value) {
  if (!VerifyParam(index >= 0, "CefV8Value::SetValue", "index >= 0") ||
      !VerifyParam(value != nullptr, "CefV8Value::SetValue", "value.get()")) {
    return false;
  }
  ObjectCall call(this, "CefV8Value::SetValue");
  if (!call.ok())
    return false;
  if (!value->IsValid()) {
    RendererMisuse("CefV8Value::SetValue: invalid input parameter");
    return false;
  }
  v8::Local<v8::Value> v8_value =
      Impl(value)->ToV8(call.isolate(), call.context());
  if (v8_value.IsEmpty())
    return false;
  v8::TryCatch try_catch(call.isolate());
  v8::Maybe<bool> set = call.object()->Set(
      call.context(), static_cast<uint32_t>(index), v8_value);
  return !HasCaught(call.isolate(), call.context(), try_catch) &&
         set.FromMaybe(false);
}

bool V8ValueImpl::SetValue(const CefString& key,
                           AccessControl settings,
                           PropertyAttribute attribute) {
  ObjectCall call(this, "CefV8Value::SetValue");
  if (!call.ok())
    return false;
  CallbackHolder* holder =
      CallbackRegistry::FindFor(call.isolate(), call.context(), call.object());
  if (!holder || !holder->accessor) {
    RendererError(
        "CefV8Value::SetValue: the object was not created with an accessor");
    return false;
  }
  v8::TryCatch try_catch(call.isolate());
  v8::Maybe<bool> set = call.object()->SetAccessor(
      call.context(), ToV8String(call.isolate(), key), &GetAccessorProperty,
      &SetAccessorProperty,
      v8::Number::New(call.isolate(), static_cast<double>(holder->id)),
      static_cast<v8::AccessControl>(settings),
      static_cast<v8::PropertyAttribute>(attribute));
  return !HasCaught(call.isolate(), call.context(), try_catch) &&
         set.FromMaybe(false);
}

bool V8ValueImpl::GetKeys(std::vector<CefString>& keys) {
  ObjectCall call(this, "CefV8Value::GetKeys");
  if (!call.ok())
    return false;
  v8::TryCatch try_catch(call.isolate());
  v8::Local<v8::Array> names;
  if (!call.object()
           ->GetPropertyNames(call.context(),
                              v8::KeyCollectionMode::kIncludePrototypes,
                              static_cast<v8::PropertyFilter>(
                                  v8::ONLY_ENUMERABLE | v8::SKIP_SYMBOLS),
                              v8::IndexFilter::kIncludeIndices,
                              v8::KeyConversionMode::kConvertToString)
           .ToLocal(&names)) {
    RendererFatal(
        "CefV8Value::GetKeys: listing the keys threw (a Proxy trap): CEF "
        "takes GetPropertyNames(...).ToLocalChecked()");
  }
  for (uint32_t i = 0; i < names->Length(); ++i) {
    v8::Local<v8::Value> name;
    if (!names->Get(call.context(), i).ToLocal(&name)) {
      HasCaught(call.isolate(), call.context(), try_catch);
      return false;
    }
    keys.push_back(ToCefString(call.isolate(), name));
  }
  return true;
}

int V8ValueImpl::GetArrayLength() {
  ObjectCall call(this, "CefV8Value::GetArrayLength");
  if (!call.ok())
    return 0;
  if (!call.object()->IsArray()) {
    RendererMisuse("CefV8Value::GetArrayLength: the value is not an array");
    return 0;
  }
  return static_cast<int>(call.object().As<v8::Array>()->Length());
}

CefString V8ValueImpl::GetFunctionName() {
  ObjectCall call(this, "CefV8Value::GetFunctionName");
  if (!call.ok())
    return CefString();
  if (!call.object()->IsFunction()) {
    RendererMisuse("CefV8Value::GetFunctionName: the value is not a function");
    return CefString();
  }
  v8::Local<v8::Value> name = call.object().As<v8::Function>()->GetName();
  if (!name->IsString()) {
    RendererFatal(
        "CefV8Value::GetFunctionName: V8 gives undefined for the name of a "
        "callable Proxy, and CEF reads it as a string unchecked");
  }
  return ToCefString(call.isolate(), name);
}

CefRefPtr<CefV8Handler> V8ValueImpl::GetFunctionHandler() {
  ObjectCall call(this, "CefV8Value::GetFunctionHandler");
  if (!call.ok())
    return nullptr;
  if (!call.object()->IsFunction()) {
    RendererMisuse(
        "CefV8Value::GetFunctionHandler: the value is not a function");
    return nullptr;
  }
  CallbackHolder* holder =
      CallbackRegistry::FindFor(call.isolate(), call.context(), call.object());
  return holder ? holder->handler : nullptr;
}

CefRefPtr<CefV8Value> V8ValueImpl::ExecuteFunction(
    CefRefPtr<CefV8Value> object,
    const CefV8ValueList& arguments) {
  return CallFunction(nullptr, object, arguments);
}

CefRefPtr<CefV8Value> V8ValueImpl::ExecuteFunctionWithContext(
    CefRefPtr<CefV8Context> context,
    CefRefPtr<CefV8Value> object,
    const CefV8ValueList& arguments) {
  if (!VerifyParam(context != nullptr, "CefV8Value::ExecuteFunctionWithContext",
                   "context.get()")) {
    return nullptr;
  }
  return CallFunction(context, object, arguments);
}

CefRefPtr<CefV8Value> V8ValueImpl::CallFunction(
    CefRefPtr<CefV8Context> context,
    CefRefPtr<CefV8Value> object,
    const CefV8ValueList& arguments) {
  const char* caller = "CefV8Value::ExecuteFunction";
  if (kind_ != Kind::kObject || !IsValid()) {
    RendererMisuse(std::string(caller) + ": the value is not a valid object");
    return nullptr;
  }
  if (context && !context->IsValid()) {
    RendererMisuse(std::string(caller) + ": the context is not valid");
    return nullptr;
  }
  if (object && (!object->IsValid() || !object->IsObject())) {
    RendererMisuse(std::string(caller) + ": invalid V8 object parameter");
    return nullptr;
  }
  // The wrapper passes a null argument on, and CEF refuses it here.
  for (const auto& argument : arguments) {
    if (!ValidArgument(argument)) {
      RendererMisuse(std::string(caller) + ": invalid V8 arguments parameter");
      return nullptr;
    }
  }
  if (IsScriptForbidden()) {
    RendererError(std::string(caller) + ": script is forbidden here");
    return nullptr;
  }
  v8::Isolate* isolate = GetIsolate(caller);
  if (!isolate)
    return nullptr;
  v8::HandleScope handle_scope(isolate);

  std::shared_ptr<ContextState> state =
      context ? static_cast<V8ContextImpl*>(context.get())->state()
              : CurrentStateFor(isolate, caller);
  if (!state)
    return nullptr;
  // Keeps |this| alive should the call release the last reference to it.
  CefRefPtr<V8ValueImpl> self(this);
  v8::Local<v8::Context> v8_context = state->GetContext();
  std::optional<ScopedPageEntry> entry;
  if (context)
    entry.emplace(state.get());

  v8::Local<v8::Value> function = handle_.Get(isolate);
  if (!function->IsFunction()) {
    RendererMisuse(std::string(caller) + ": the value is not a function");
    return nullptr;
  }
  v8::Local<v8::Value> receiver = object
                                      ? Impl(object)->ToV8(isolate, v8_context)
                                      : v8_context->Global().As<v8::Value>();
  std::vector<v8::Local<v8::Value>> argv;
  argv.reserve(arguments.size());
  for (const auto& argument : arguments) {
    v8::Local<v8::Value> v8_argument =
        Impl(argument)->ToV8(isolate, v8_context);
    if (v8_argument.IsEmpty())
      return nullptr;
    argv.push_back(v8_argument);
  }

  v8::TryCatch try_catch(isolate);
  v8::Local<v8::Value> result;
  if (!function.As<v8::Function>()
           ->Call(v8_context, receiver, static_cast<int>(argv.size()),
                  argv.data())
           .ToLocal(&result)) {
    HasCaught(isolate, v8_context, try_catch);
    return nullptr;
  }
  return Wrap(isolate, state, result).get();
}

}  // namespace internal
}  // namespace standin

using standin::RendererError;
using standin::internal::CallbackRegistry;
using standin::internal::ContextState;
using standin::internal::CurrentStateFor;
using standin::internal::GetIsolate;
using standin::internal::RendererMisuse;
using standin::internal::ToV8String;
using standin::internal::UserCreatedKey;
using standin::internal::V8ValueImpl;
using standin::internal::VerifyParam;

// static
CefRefPtr<CefV8Value> CefV8Value::CreateUndefined() {
  return new V8ValueImpl(V8ValueImpl::Kind::kUndefined);
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateNull() {
  return new V8ValueImpl(V8ValueImpl::Kind::kNull);
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateBool(bool value) {
  return V8ValueImpl::FromBool(value).get();
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateInt(int32 value) {
  return V8ValueImpl::FromInt(value).get();
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateUInt(uint32 value) {
  return V8ValueImpl::FromUInt(value).get();
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateDouble(double value) {
  return V8ValueImpl::FromDouble(value).get();
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateDate(const CefTime& date) {
  return V8ValueImpl::FromDate(standin::internal::MsFromTime(date)).get();
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateString(const CefString& value) {
  return V8ValueImpl::FromString(value).get();
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateObject(
    CefRefPtr<CefV8Accessor> accessor,
    CefRefPtr<CefV8Interceptor> interceptor) {
  v8::Isolate* isolate = GetIsolate("CefV8Value::CreateObject");
  if (!isolate)
    return nullptr;
  v8::HandleScope handle_scope(isolate);
  auto state = CurrentStateFor(isolate, "CefV8Value::CreateObject");
  if (!state)
    return nullptr;
  if (interceptor) {
    RendererError(
        "CefV8Value::CreateObject: interceptors are not supported by the "
        "stand-in; the object is made without one");
  }
  v8::Local<v8::Context> context = state->GetContext();
  v8::Local<v8::Object> object = v8::Object::New(isolate);
  if (accessor) {
    standin::internal::CallbackHolder* holder =
        CallbackRegistry::Reserve(state);
    holder->accessor = accessor;
    CallbackRegistry::Attach(holder, isolate, context, object);
  } else {
    object->SetPrivate(context, UserCreatedKey(isolate), v8::Null(isolate))
        .Check();
  }
  return V8ValueImpl::Wrap(isolate, state, object).get();
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateArray(int length) {
  v8::Isolate* isolate = GetIsolate("CefV8Value::CreateArray");
  if (!isolate)
    return nullptr;
  v8::HandleScope handle_scope(isolate);
  auto state = CurrentStateFor(isolate, "CefV8Value::CreateArray");
  if (!state)
    return nullptr;
  v8::Local<v8::Context> context = state->GetContext();
  // A negative length is V8's business in CEF; here it is simply empty.
  v8::Local<v8::Array> array = v8::Array::New(isolate, length < 0 ? 0 : length);
  array->SetPrivate(context, UserCreatedKey(isolate), v8::Null(isolate))
      .Check();
  return V8ValueImpl::Wrap(isolate, state, array).get();
}

// static
CefRefPtr<CefV8Value> CefV8Value::CreateFunction(
    const CefString& name,
    CefRefPtr<CefV8Handler> handler) {
  if (!VerifyParam(!name.empty(), "CefV8Value::CreateFunction",
                   "!name.empty()") ||
      !VerifyParam(handler != nullptr, "CefV8Value::CreateFunction",
                   "handler.get()")) {
    return nullptr;
  }
  v8::Isolate* isolate = GetIsolate("CefV8Value::CreateFunction");
  if (!isolate)
    return nullptr;
  v8::HandleScope handle_scope(isolate);
  auto state = CurrentStateFor(isolate, "CefV8Value::CreateFunction");
  if (!state)
    return nullptr;
  v8::Local<v8::Context> context = state->GetContext();
  // The function knows its holder only by id (its data), so a call after the
  // holder is gone finds nothing rather than freed memory.
  standin::internal::CallbackHolder* holder = CallbackRegistry::Reserve(state);
  holder->name = name;
  holder->handler = handler;
  v8::Local<v8::Function> function;
  if (!v8::Function::New(
           context, &standin::internal::CallHandler,
           v8::Number::New(isolate, static_cast<double>(holder->id)))
           .ToLocal(&function)) {
    CallbackRegistry::Remove(holder->id);
    return nullptr;
  }
  function->SetName(ToV8String(isolate, name));
  CallbackRegistry::Attach(holder, isolate, context, function);
  return V8ValueImpl::Wrap(isolate, state, function).get();
}
