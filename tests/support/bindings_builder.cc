#include "support/bindings_builder.h"

#include <algorithm>

#include "common/process_messages.h"
#include "standin_core.h"
#include "support/value_copy.h"

namespace testing_support {
namespace {

void CopyEntries(CefRefPtr<CefDictionaryValue> from,
                 CefRefPtr<CefDictionaryValue> to) {
  CefDictionaryValue::KeyList keys;
  from->GetKeys(keys);
  for (const CefString& key : keys)
    CopyDictionaryEntry(from, key, to);
}

}  // namespace

BindingsBuilder::BindingsBuilder()
    : functions_(CefDictionaryValue::Create()),
      properties_(CefDictionaryValue::Create()),
      objects_(CefDictionaryValue::Create()),
      overrides_(CefDictionaryValue::Create()) {}

BindingsBuilder& BindingsBuilder::BindToFrames(bool bind_to_frames) {
  bind_to_frames_ = bind_to_frames;
  return *this;
}

BindingsBuilder& BindingsBuilder::Function(const std::string& name) {
  standin::ScopedWrapperChecksOff checks_off;
  functions_->SetBool(name, true);
  return *this;
}

BindingsBuilder& BindingsBuilder::Functions(
    const std::vector<std::string>& names) {
  for (const std::string& name : names)
    Function(name);
  return *this;
}

BindingsBuilder& BindingsBuilder::Property(const std::string& name, int value) {
  standin::ScopedWrapperChecksOff checks_off;
  properties_->SetInt(name, value);
  return *this;
}

BindingsBuilder& BindingsBuilder::Property(const std::string& name,
                                           double value) {
  standin::ScopedWrapperChecksOff checks_off;
  properties_->SetDouble(name, value);
  return *this;
}

BindingsBuilder& BindingsBuilder::Property(const std::string& name,
                                           bool value) {
  standin::ScopedWrapperChecksOff checks_off;
  properties_->SetBool(name, value);
  return *this;
}

BindingsBuilder& BindingsBuilder::Property(const std::string& name,
                                           const std::string& value) {
  standin::ScopedWrapperChecksOff checks_off;
  properties_->SetString(name, value);
  return *this;
}

BindingsBuilder& BindingsBuilder::Property(const std::string& name,
                                           const char* value) {
  return Property(name, std::string(value));
}

BindingsBuilder& BindingsBuilder::Properties(
    CefRefPtr<CefDictionaryValue> properties) {
  standin::ScopedWrapperChecksOff checks_off;
  if (properties)
    CopyEntries(properties, properties_);
  return *this;
}

BindingsBuilder& BindingsBuilder::Object(
    const std::string& name,
    const std::vector<std::string>& methods) {
  standin::ScopedWrapperChecksOff checks_off;
  CefRefPtr<CefDictionaryValue> method_dict = CefDictionaryValue::Create();
  for (const std::string& method : methods)
    method_dict->SetNull(method);
  objects_->SetDictionary(name, method_dict);
  return *this;
}

BindingsBuilder& BindingsBuilder::ObjectInt(const std::string& name,
                                            int value) {
  standin::ScopedWrapperChecksOff checks_off;
  objects_->SetInt(name, value);
  return *this;
}

BindingsBuilder& BindingsBuilder::Omit(const std::string& key) {
  standin::ScopedWrapperChecksOff checks_off;
  overrides_->Remove(key);
  omitted_.push_back(key);
  return *this;
}

BindingsBuilder& BindingsBuilder::SetInt(const std::string& key, int value) {
  standin::ScopedWrapperChecksOff checks_off;
  Kept(key);
  overrides_->SetInt(key, value);
  return *this;
}

BindingsBuilder& BindingsBuilder::SetString(const std::string& key,
                                            const std::string& value) {
  standin::ScopedWrapperChecksOff checks_off;
  Kept(key);
  overrides_->SetString(key, value);
  return *this;
}

BindingsBuilder& BindingsBuilder::SetList(const std::string& key,
                                          CefRefPtr<CefListValue> value) {
  standin::ScopedWrapperChecksOff checks_off;
  Kept(key);
  overrides_->SetList(key, value->Copy());
  return *this;
}

void BindingsBuilder::Kept(const std::string& key) {
  omitted_.erase(std::remove(omitted_.begin(), omitted_.end(), key),
                 omitted_.end());
}

CefRefPtr<CefDictionaryValue> BindingsBuilder::Build() const {
  standin::ScopedWrapperChecksOff checks_off;
  CefRefPtr<CefDictionaryValue> bindings = CefDictionaryValue::Create();
  bindings->SetBool(quillmoss::kBindToFramesKey, bind_to_frames_);
  bindings->SetDictionary(quillmoss::kFunctionsKey, functions_->Copy(false));
  bindings->SetDictionary(quillmoss::kPropertiesKey, properties_->Copy(false));
  bindings->SetDictionary(quillmoss::kObjectsKey, objects_->Copy(false));
  for (const std::string& key : omitted_)
    bindings->Remove(key);
  CopyEntries(overrides_, bindings);
  return bindings;
}

}  // namespace testing_support
