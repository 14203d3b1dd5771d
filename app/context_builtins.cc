#include "app/context_builtins.h"

#include <string>

#include "app/scoped_context_entry.h"
#include "common/process_messages.h"

namespace quillmoss {
namespace {

// CEF's own GetKeys() and GetFunctionName() abort the renderer on some page
// values (a revoked Proxy or one whose key traps throw, a typed array or
// String object past 2^24 elements, a callable Proxy), and CEF has no call
// that tells such a value apart first. This function answers what the
// conversion needs instead; called through ExecuteFunction, anything it
// throws is an empty result. It reads only the built-ins it captured at
// creation, concatenates only primitives and writes no array, so page
// script run later can change none of it: on a page's value it runs
// exactly the Proxy traps that CEF's listing would (ownKeys once and
// getOwnPropertyDescriptor once per string key on each level,
// getPrototypeOf once per level) and no getter.
//
// Forms, by mode (DescriberMode): an object is 'A' when JavaScript calls it
// an array (a Proxy of one is not listed), 'L' and its element count for a
// typed array or String object over the array-length limit, or one that
// inherits from such (not listed),
// else 'K' and its enumerable string keys, own then inherited, as CEF lists
// them, each as its length in UTF-16 units, ':' and the key. A function is
// 'F' when V8 shows its source, so it is a JavaScript function whose name
// CEF can read; else (a bound function, a callable Proxy, a nameless
// built-in) 'N' and its own "name" when that is a string data property.
std::string DescriberSource() {
  return R"JS((function () {
  'use strict';
  const isArray = Array.isArray;
  const isView = ArrayBuffer.isView;
  const ownKeys = Reflect.ownKeys;
  const enumerableKeys = Object.keys;
  const describeProperty = Reflect.getOwnPropertyDescriptor;
  const prototypeOf = Reflect.getPrototypeOf;
  const apply = Reflect.apply;
  const createObject = Object.create;
  const objectPrototype = Object.prototype;
  const hasOwn = Object.prototype.hasOwnProperty;
  const functionSource = Function.prototype.toString;
  const typedArrayLength =
      describeProperty(prototypeOf(Uint8Array.prototype), 'length').get;
  const stringPrototype = String.prototype;
  const stringValue = String.prototype.valueOf;
  const limit = )JS" +
         std::to_string(kMaxArrayLength) + R"JS(;
  // The elements of a typed array or String object (whose keys V8 would
  // list one by one, past 2^24 not at all), else -1.
  const elementCount = function (object, prototype) {
    try {
      if (isView(object)) return apply(typedArrayLength, object, []);
      if (prototype === stringPrototype)
        return apply(stringValue, object, []).length;
    } catch (e) {}
    return -1;
  };
  return function (value, mode) {
    if (mode === 3) {
      if (apply(functionSource, value, []) !==
          'function () { [native code] }') {
        return 'F';
      }
      const name = describeProperty(value, 'name');
      return name !== undefined && apply(hasOwn, name, ['value']) &&
              typeof name.value === 'string' ? 'N' + name.value : 'N';
    }
    if (mode !== 1 && isArray(value)) return 'A';
    if (mode === 2) return 'O';
    let next = prototypeOf(value);
    const length = elementCount(value, next);
    if (length > limit) return 'L' + length;
    let keys = 'K';
    // The common shape, a record on Object.prototype (whose prototype is
    // always null) when the page added nothing enumerable there: no later
    // level for the record's non-enumerable keys to shadow keys of.
    if (next === objectPrototype) {
      const inherited = enumerableKeys(next);
      if (inherited.length === 0) {
        const own = enumerableKeys(value);
        for (let i = 0; i < own.length; ++i)
          keys += own[i].length + ':' + own[i];
        return keys;
      }
    }
    const seen = createObject(null);
    for (let object = value;; object = next, next = prototypeOf(object)) {
      // One the value inherits from would be listed as well.
      const inherited = object === value ? -1 : elementCount(object, next);
      if (inherited > limit) return 'L' + inherited;
      if (next === null) {
        const last = enumerableKeys(object);
        for (let i = 0; i < last.length; ++i) {
          const key = last[i];
          if (seen[key] !== true) keys += key.length + ':' + key;
        }
        return keys;
      }
      const own = ownKeys(object);
      for (let i = 0; i < own.length; ++i) {
        const key = own[i];
        if (typeof key !== 'string') continue;
        const property = describeProperty(object, key);
        if (property === undefined || seen[key] === true) continue;
        seen[key] = true;
        if (property.enumerable) keys += key.length + ':' + key;
      }
    }
  };
})())JS";
}

}  // namespace

ContextBuiltins::ContextBuiltins() = default;

ContextBuiltins::~ContextBuiltins() = default;

void ContextBuiltins::Remember(CefRefPtr<CefFrame> frame,
                               CefRefPtr<CefV8Context> context) {
  const int64 frame_id = frame->GetIdentifier();
  describer_by_frame_.erase(frame_id);
  // CEF creates it entered; entering again only counts once more.
  ScopedContextEntry entry;
  if (!entry.Enter(context))
    return;
  CefRefPtr<CefV8Value> describer;
  CefRefPtr<CefV8Exception> exception;
  if (context->Eval(DescriberSource(), CefString(), 0, describer, exception) &&
      describer && describer->IsFunction()) {
    describer_by_frame_[frame_id] = describer;
  }
}

void ContextBuiltins::Forget(CefRefPtr<CefFrame> frame) {
  describer_by_frame_.erase(frame->GetIdentifier());
}

CefRefPtr<CefV8Value> ContextBuiltins::GetCurrentContextValueDescriber() const {
  if (!CefV8Context::InContext())
    return nullptr;
  const CefRefPtr<CefFrame> frame =
      CefV8Context::GetCurrentContext()->GetFrame();
  if (!frame)
    return nullptr;
  const auto found = describer_by_frame_.find(frame->GetIdentifier());
  return found == describer_by_frame_.end() ? nullptr : found->second;
}

}  // namespace quillmoss
