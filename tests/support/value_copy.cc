#include "support/value_copy.h"

namespace testing_support {
namespace {

// Lists and dictionaries name the same getters and setters, by index or key.
template <typename From, typename FromKey, typename To, typename ToKey>
void CopyEntry(CefRefPtr<From> from,
               const FromKey& from_key,
               CefRefPtr<To> to,
               const ToKey& to_key) {
  switch (from->GetType(from_key)) {
    case VTYPE_BOOL:
      to->SetBool(to_key, from->GetBool(from_key));
      return;
    case VTYPE_INT:
      to->SetInt(to_key, from->GetInt(from_key));
      return;
    case VTYPE_DOUBLE:
      to->SetDouble(to_key, from->GetDouble(from_key));
      return;
    case VTYPE_STRING:
      to->SetString(to_key, from->GetString(from_key));
      return;
    case VTYPE_BINARY:
      to->SetBinary(to_key, from->GetBinary(from_key)->Copy());
      return;
    case VTYPE_DICTIONARY:
      to->SetDictionary(to_key, from->GetDictionary(from_key)->Copy(false));
      return;
    case VTYPE_LIST:
      to->SetList(to_key, from->GetList(from_key)->Copy());
      return;
    default:
      // Null; an entry that is there holds no other type.
      to->SetNull(to_key);
      return;
  }
}

}  // namespace

void CopyDictionaryEntry(CefRefPtr<CefDictionaryValue> from,
                         const CefString& key,
                         CefRefPtr<CefDictionaryValue> to) {
  CopyEntry(from, key, to, key);
}

void AppendListEntry(CefRefPtr<CefListValue> from,
                     size_t index,
                     CefRefPtr<CefListValue> to) {
  CopyEntry(from, index, to, to->GetSize());
}

}  // namespace testing_support
