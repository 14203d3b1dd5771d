// The bindings dictionary that the host sends with "DoJavascriptBindings",
// built the one way that tests, benchmarks and fuzzers share:
//
//   CefRefPtr<CefDictionaryValue> bindings =
//       testing_support::BindingsBuilder()
//           .Function("saveFile")
//           .Property("version", 3)
//           .Object("external", {"close"})
//           .Build();
//
// Without further calls every key is there with its usual type: bindToFrames
// false and empty functions, properties and objects. Omit(), the Set...()
// calls and ObjectInt() make the malformed dictionaries a faulty host sends.
// Names go in as the dictionary reaches the renderer, without the checks of
// CEF's wrapper (standin::ScopedWrapperChecksOff): "" is a name like any
// other.
#ifndef QUILLMOSS_TESTS_SUPPORT_BINDINGS_BUILDER_H_
#define QUILLMOSS_TESTS_SUPPORT_BINDINGS_BUILDER_H_

#include <string>
#include <vector>

#include "include/cef_values.h"

namespace testing_support {

class BindingsBuilder {
 public:
  BindingsBuilder();
  BindingsBuilder(const BindingsBuilder&) = delete;
  BindingsBuilder& operator=(const BindingsBuilder&) = delete;

  BindingsBuilder& BindToFrames(bool bind_to_frames);
  BindingsBuilder& Function(const std::string& name);
  BindingsBuilder& Functions(const std::vector<std::string>& names);

  // A later entry of the same name replaces an earlier one.
  BindingsBuilder& Property(const std::string& name, int value);
  BindingsBuilder& Property(const std::string& name, double value);
  BindingsBuilder& Property(const std::string& name, bool value);
  BindingsBuilder& Property(const std::string& name, const std::string& value);
  // Keeps a string literal from taking the bool overload.
  BindingsBuilder& Property(const std::string& name, const char* value);
  // Every entry of |properties| (copied; null adds nothing).
  BindingsBuilder& Properties(CefRefPtr<CefDictionaryValue> properties);

  BindingsBuilder& Object(const std::string& name,
                          const std::vector<std::string>& methods);
  // An object entry that is an int instead of a dictionary of methods.
  BindingsBuilder& ObjectInt(const std::string& name, int value);

  // The top-level entry |key| (a k...Key of common/process_messages.h) left
  // out, or replaced by |value| whatever the other calls made of it.
  BindingsBuilder& Omit(const std::string& key);
  BindingsBuilder& SetInt(const std::string& key, int value);
  BindingsBuilder& SetString(const std::string& key, const std::string& value);
  BindingsBuilder& SetList(const std::string& key,
                           CefRefPtr<CefListValue> value);

  // A fresh dictionary on every call.
  CefRefPtr<CefDictionaryValue> Build() const;

 private:
  // Takes |key| off the omitted ones.
  void Kept(const std::string& key);

  bool bind_to_frames_ = false;
  const CefRefPtr<CefDictionaryValue> functions_;
  const CefRefPtr<CefDictionaryValue> properties_;
  const CefRefPtr<CefDictionaryValue> objects_;
  // Top-level replacements; a null value leaves the key out.
  const CefRefPtr<CefDictionaryValue> overrides_;
  std::vector<std::string> omitted_;
};

}  // namespace testing_support

#endif  // QUILLMOSS_TESTS_SUPPORT_BINDINGS_BUILDER_H_
