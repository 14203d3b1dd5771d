#include "app/bindings_dictionary.h"

#include "common/process_messages.h"

namespace quillmoss {
namespace {

bool HasDictionary(const CefRefPtr<CefDictionaryValue>& dictionary,
                   const CefString& key) {
  // GetType() of a missing key is VTYPE_INVALID: no HasKey() needed.
  return dictionary->GetType(key) == VTYPE_DICTIONARY;
}

}  // namespace

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

bool ReadBindToFrames(const CefRefPtr<CefDictionaryValue>& bindings) {
  return bindings->HasKey(BindToFramesKey()) &&
         bindings->GetType(BindToFramesKey()) == VTYPE_BOOL &&
         bindings->GetBool(BindToFramesKey());
}

bool HasBindingsLayout(const CefRefPtr<CefDictionaryValue>& bindings) {
  return HasDictionary(bindings, FunctionsKey()) &&
         HasDictionary(bindings, PropertiesKey()) &&
         HasDictionary(bindings, ObjectsKey()) &&
         bindings->HasKey(BindToFramesKey()) &&
         bindings->GetType(BindToFramesKey()) == VTYPE_BOOL;
}

}  // namespace quillmoss
