#include "convert/v8utils.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/log_line.h"
#include "common/process_messages.h"
#include "convert/callback_hooks.h"

namespace {

constexpr char kLogSource[] = "v8utils";

}  // namespace

namespace quillmoss {
namespace {

constexpr char kAppendFunction[] = "V8ValueAppendToCefListValue";
constexpr char kObjectFunction[] = "V8ObjectToCefDictionaryValue";
constexpr char kListFunction[] = "CefListValueToV8Value";
constexpr char kDictionaryFunction[] = "CefDictionaryValueToV8Value";

// CEF 81 reports IsInt() and IsUInt() for every whole number of either
// range, and GetIntValue() of 3000000000 wraps to a negative number. The
// exact double decides which range a number really is in.
bool FitsInt32(const CefRefPtr<CefV8Value>& value) {
  const double number = value->GetDoubleValue();
  return number >= std::numeric_limits<int32_t>::min() &&
         number <= std::numeric_limits<int32_t>::max();
}

bool FitsUInt32(const CefRefPtr<CefV8Value>& value) {
  const double number = value->GetDoubleValue();
  return number >= 0 && number <= std::numeric_limits<uint32_t>::max();
}

// A CEF integer is signed 32-bit, so a larger unsigned number travels as its
// four bytes, little-endian whatever the machine's byte order.
CefRefPtr<CefBinaryValue> CreateUInt32Binary(uint32_t number) {
  const unsigned char bytes[4] = {
      static_cast<unsigned char>(number & 0xff),
      static_cast<unsigned char>((number >> 8) & 0xff),
      static_cast<unsigned char>((number >> 16) & 0xff),
      static_cast<unsigned char>((number >> 24) & 0xff)};
  return CefBinaryValue::Create(bytes, sizeof(bytes));
}

CefRefPtr<CefListValue> V8ArrayToCefListValue(
    const CefRefPtr<CefV8Value>& array,
    int element_level) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  // A sparse array of any length costs the page nothing, but every index
  // costs an entry here: new Array(2 ** 31 - 1) would run for hours and end
  // out of memory. CEF reports lengths from 2^31 on as negative.
  const int length = array->GetArrayLength();
  if (length < 0 || length > kMaxArrayLength) {
    QLOG(ERROR) << "[Renderer process] V8ArrayToCefListValue(): array length "
                << static_cast<uint32_t>(length) << " over the limit of "
                << kMaxArrayLength << ", sending an empty list";
    return list;
  }
  for (int i = 0; i < length; ++i)
    V8ValueAppendToCefListValue(array->GetValue(i), list, element_level);
  return list;
}

// Page -> host. The conversion table shared by list elements (|key| an
// index) and object members (|key| a name); the first test a value passes
// decides, and exactly one entry is written under |key|. |function| names
// the caller in log lines. Containers and keys come by reference: each
// element would otherwise pay a reference count increment and decrement.
template <class Container, class Key>
void WriteV8Value(const CefRefPtr<CefV8Value>& value,
                  const CefRefPtr<Container>& container,
                  const Key& key,
                  int nesting_level,
                  const char* function) {
  // An empty member (its getter threw) passes no test.
  if (!value) {
    container->SetNull(key);
    QLOG(ERROR) << "[Renderer process] " << function << "(): unknown V8 type";
    return;
  }
  if (value->IsUndefined() || value->IsNull()) {
    container->SetNull(key);
  } else if (value->IsBool()) {
    container->SetBool(key, value->GetBoolValue());
  } else if (value->IsInt() && FitsInt32(value)) {
    container->SetInt(key, value->GetIntValue());
  } else if (value->IsUInt() && FitsUInt32(value)) {
    container->SetBinary(key, CreateUInt32Binary(value->GetUIntValue()));
  } else if (value->IsDouble()) {
    container->SetDouble(key, value->GetDoubleValue());
  } else if (value->IsDate()) {
    // Dates have no CEF form; they arrive as null on purpose, unlogged.
    container->SetNull(key);
  } else if (value->IsString()) {
    container->SetString(key, value->GetStringValue());
  } else if (value->IsArray()) {
    container->SetList(key, V8ArrayToCefListValue(value, nesting_level + 1));
  } else if (value->IsFunction()) {
    // A function cannot cross processes: the host gets a descriptor naming
    // it and calls it back by id. Its frame comes from the current context.
    if (!CefV8Context::InContext()) {
      container->SetNull(key);
      QLOG(ERROR) << "[Renderer process] " << function
                  << "(): not in V8 context";
      return;
    }
    const CefRefPtr<CefFrame> frame =
        CefV8Context::GetCurrentContext()->GetFrame();
    container->SetString(key, StoreJavascriptCallback(frame, value));
  } else if (value->IsObject()) {
    container->SetDictionary(
        key, V8ObjectToCefDictionaryValue(value, nesting_level + 1));
  } else {
    container->SetNull(key);
    QLOG(ERROR) << "[Renderer process] " << function << "(): unknown V8 type";
  }
}

// A 20-byte binary value stands for a host callback; only its size is
// tested. Its first four bytes are the id, little-endian and signed.
CefRefPtr<CefV8Value> HostCallbackBinaryToV8Function(
    const CefRefPtr<CefBinaryValue>& binary) {
  unsigned char bytes[kHostCallbackBinarySize] = {};
  binary->GetData(bytes, sizeof(bytes), 0);
  const uint32_t raw = static_cast<uint32_t>(bytes[0]) |
                       (static_cast<uint32_t>(bytes[1]) << 8) |
                       (static_cast<uint32_t>(bytes[2]) << 16) |
                       (static_cast<uint32_t>(bytes[3]) << 24);
  int32_t host_callback_id;
  std::memcpy(&host_callback_id, &raw, sizeof(host_callback_id));

  const CefRefPtr<CefV8Value> function =
      CreateHostCallbackFunction(host_callback_id);
  return function ? function : CefV8Value::CreateNull();
}

// Host -> page: the entry under |key| of a list (an index) or a dictionary
// (a name) as a new V8 value; never null.
template <class Container, class Key>
CefRefPtr<CefV8Value> CefEntryToV8Value(const CefRefPtr<Container>& container,
                                        const Key& key,
                                        int nesting_level,
                                        const char* function) {
  switch (container->GetType(key)) {
    case VTYPE_NULL:
      return CefV8Value::CreateNull();
    case VTYPE_BOOL:
      return CefV8Value::CreateBool(container->GetBool(key));
    case VTYPE_INT:
      return CefV8Value::CreateInt(container->GetInt(key));
    case VTYPE_DOUBLE:
      return CefV8Value::CreateDouble(container->GetDouble(key));
    case VTYPE_STRING:
      return CefV8Value::CreateString(container->GetString(key));
    case VTYPE_BINARY: {
      const CefRefPtr<CefBinaryValue> binary = container->GetBinary(key);
      if (binary && binary->GetSize() == kHostCallbackBinarySize)
        return HostCallbackBinaryToV8Function(binary);
      QLOG(ERROR) << "[Renderer process] " << function
                  << "(): unknown binary value, setting value to null";
      return CefV8Value::CreateNull();
    }
    case VTYPE_DICTIONARY:
      return CefDictionaryValueToV8Value(container->GetDictionary(key),
                                         nesting_level + 1);
    case VTYPE_LIST:
      return CefListValueToV8Value(container->GetList(key), nesting_level + 1);
    default:
      QLOG(ERROR) << "[Renderer process] " << function
                  << "(): unknown type, setting value to null";
      return CefV8Value::CreateNull();
  }
}

}  // namespace
}  // namespace quillmoss

using quillmoss::kMaxNestingLevel;

CefRefPtr<CefListValue> V8ArgumentsToCefListValue(
    const CefV8ValueList& arguments) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  for (const CefRefPtr<CefV8Value>& argument : arguments)
    V8ValueAppendToCefListValue(argument, list, 0);
  return list;
}

void V8ValueAppendToCefListValue(CefRefPtr<CefV8Value> value,
                                 CefRefPtr<CefListValue> list,
                                 int nesting_level) {
  if (!value || !value->IsValid()) {
    QLOG(ERROR) << "[Renderer process] V8ValueAppendToCefListValue(): "
                   "IsValid() failed";
    return;
  }
  if (nesting_level > kMaxNestingLevel) {
    QLOG(ERROR) << "[Renderer process] V8ValueAppendToCefListValue(): max "
                   "nesting level (8) exceeded";
    return;
  }
  // Appends: the key is the index one past the current end.
  const size_t index = list->GetSize();
  quillmoss::WriteV8Value(value, list, index, nesting_level,
                          quillmoss::kAppendFunction);
}

CefRefPtr<CefDictionaryValue> V8ObjectToCefDictionaryValue(
    CefRefPtr<CefV8Value> value,
    int nesting_level) {
  if (!value || !value->IsValid()) {
    QLOG(ERROR) << "[Renderer process] V8ObjectToCefDictionaryValue(): "
                   "IsValid() failed";
    return CefDictionaryValue::Create();
  }
  if (nesting_level > kMaxNestingLevel) {
    QLOG(ERROR) << "[Renderer process] V8ObjectToCefDictionaryValue(): max "
                   "nesting level (8) exceeded";
    return CefDictionaryValue::Create();
  }
  if (!value->IsObject()) {
    QLOG(ERROR) << "[Renderer process] V8ObjectToCefDictionaryValue(): "
                   "IsObject() failed";
    return CefDictionaryValue::Create();
  }
  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  std::vector<CefString> keys;
  if (!value->GetKeys(keys)) {
    QLOG(ERROR) << "[Renderer process] V8ObjectToCefDictionaryValue(): "
                   "GetKeys() failed";
    return dictionary;
  }
  for (const CefString& key : keys) {
    quillmoss::WriteV8Value(value->GetValue(key), dictionary, key,
                            nesting_level, quillmoss::kObjectFunction);
  }
  return dictionary;
}

CefRefPtr<CefV8Value> CefListValueToV8Value(CefRefPtr<CefListValue> list_value,
                                            int nesting_level) {
  if (!list_value || !list_value->IsValid()) {
    QLOG(ERROR) << "[Renderer process] CefListValueToV8Value(): "
                   "CefListValue is invalid";
    return CefV8Value::CreateNull();
  }
  if (nesting_level > kMaxNestingLevel) {
    QLOG(ERROR) << "[Renderer process] CefListValueToV8Value(): max nesting "
                   "level (8) exceeded";
    return CefV8Value::CreateNull();
  }
  const size_t size = list_value->GetSize();
  CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(static_cast<int>(size));
  // CEF makes arrays only inside an entered context.
  if (!array) {
    QLOG(ERROR) << "[Renderer process] CefListValueToV8Value(): "
                   "CreateArray() failed";
    return CefV8Value::CreateNull();
  }
  for (size_t i = 0; i < size; ++i) {
    const CefRefPtr<CefV8Value> element = quillmoss::CefEntryToV8Value(
        list_value, i, nesting_level, quillmoss::kListFunction);
    if (!array->SetValue(static_cast<int>(i), element)) {
      QLOG(ERROR) << "[Renderer process] CefListValueToV8Value(): "
                     "ret->SetValue() failed";
    }
  }
  return array;
}

CefRefPtr<CefV8Value> CefDictionaryValueToV8Value(
    CefRefPtr<CefDictionaryValue> dict_value,
    int nesting_level) {
  if (!dict_value || !dict_value->IsValid()) {
    QLOG(ERROR) << "[Renderer process] CefDictionaryValueToV8Value(): "
                   "CefDictionaryValue is invalid";
    return CefV8Value::CreateNull();
  }
  if (nesting_level > kMaxNestingLevel) {
    QLOG(ERROR) << "[Renderer process] CefDictionaryValueToV8Value(): max "
                   "nesting level (8) exceeded";
    return CefV8Value::CreateNull();
  }
  CefDictionaryValue::KeyList keys;
  if (!dict_value->GetKeys(keys)) {
    QLOG(ERROR) << "[Renderer process] CefDictionaryValueToV8Value(): "
                   "dictValue->GetKeys() failed";
    return CefV8Value::CreateNull();
  }
  CefRefPtr<CefV8Value> object = CefV8Value::CreateObject(nullptr, nullptr);
  if (!object) {
    QLOG(ERROR) << "[Renderer process] CefDictionaryValueToV8Value(): "
                   "CreateObject() failed";
    return CefV8Value::CreateNull();
  }
  for (const CefString& key : keys) {
    const CefRefPtr<CefV8Value> member = quillmoss::CefEntryToV8Value(
        dict_value, key, nesting_level, quillmoss::kDictionaryFunction);
    if (!object->SetValue(key, member, V8_PROPERTY_ATTRIBUTE_NONE)) {
      QLOG(ERROR) << "[Renderer process] CefDictionaryValueToV8Value(): "
                     "ret->SetValue() failed";
    }
  }
  return object;
}

CefV8ValueList CefListValueToV8Arguments(CefRefPtr<CefListValue> list_value) {
  const CefRefPtr<CefV8Value> array = CefListValueToV8Value(list_value, 0);
  CefV8ValueList arguments;
  const int length = array->GetArrayLength();
  arguments.reserve(length > 0 ? static_cast<size_t>(length) : 0);
  for (int i = 0; i < length; ++i)
    arguments.push_back(array->GetValue(i));
  return arguments;
}
