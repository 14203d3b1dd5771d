#include "convert/v8utils.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "app/javascript_callback.h"
#include "common/log_line.h"
#include "common/process_messages.h"
#include "app/v8function_handler.h"

namespace {

constexpr char kLogSource[] = "v8utils";

using quillmoss::kMaxNestingLevel;

constexpr char kAppendFunction[] = "V8ValueAppendToCefListValue";
constexpr char kObjectFunction[] = "V8ObjectToCefDictionaryValue";
constexpr char kListFunction[] = "CefListValueToV8Value";
constexpr char kDictionaryFunction[] = "CefDictionaryValueToV8Value";

// Page -> host: where a converted value goes. Both write exactly one entry.

// Appends at the index the list reports as its size at that moment.
class ListAppender {
 public:
  explicit ListAppender(const CefRefPtr<CefListValue>& list) : list_(list) {}
  void SetNull() { list_->SetNull(list_->GetSize()); }
  void SetBool(bool value) { list_->SetBool(list_->GetSize(), value); }
  void SetInt(int value) { list_->SetInt(list_->GetSize(), value); }
  void SetDouble(double value) { list_->SetDouble(list_->GetSize(), value); }
  void SetString(const CefString& value) {
    list_->SetString(list_->GetSize(), value);
  }
  void SetBinary(CefRefPtr<CefBinaryValue> value) {
    list_->SetBinary(list_->GetSize(), value);
  }
  void SetList(CefRefPtr<CefListValue> value) {
    list_->SetList(list_->GetSize(), value);
  }
  void SetDictionary(CefRefPtr<CefDictionaryValue> value) {
    list_->SetDictionary(list_->GetSize(), value);
  }

 private:
  // References, here and in the readers below: each conversion step would
  // otherwise pay a reference count increment and decrement per element.
  const CefRefPtr<CefListValue>& list_;
};

class DictionaryMemberWriter {
 public:
  DictionaryMemberWriter(const CefRefPtr<CefDictionaryValue>& dictionary,
                         const CefString& key)
      : dictionary_(dictionary), key_(key) {}
  void SetNull() { dictionary_->SetNull(key_); }
  void SetBool(bool value) { dictionary_->SetBool(key_, value); }
  void SetInt(int value) { dictionary_->SetInt(key_, value); }
  void SetDouble(double value) { dictionary_->SetDouble(key_, value); }
  void SetString(const CefString& value) {
    dictionary_->SetString(key_, value);
  }
  void SetBinary(CefRefPtr<CefBinaryValue> value) {
    dictionary_->SetBinary(key_, value);
  }
  void SetList(CefRefPtr<CefListValue> value) {
    dictionary_->SetList(key_, value);
  }
  void SetDictionary(CefRefPtr<CefDictionaryValue> value) {
    dictionary_->SetDictionary(key_, value);
  }

 private:
  const CefRefPtr<CefDictionaryValue>& dictionary_;
  const CefString& key_;
};

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
    int elementLevel) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  // A sparse array of any length costs the page nothing, but every index
  // costs an entry here: new Array(2 ** 31 - 1) would run for hours and end
  // out of memory. CEF reports lengths from 2^31 on as negative.
  const int length = array->GetArrayLength();
  if (length < 0 || length > quillmoss::kMaxArrayLength) {
    QLOG(ERROR) << "[Renderer process] V8ArrayToCefListValue(): array length "
                << static_cast<uint32_t>(length) << " over the limit of "
                << quillmoss::kMaxArrayLength << ", sending an empty list";
    return list;
  }
  for (int i = 0; i < length; ++i)
    V8ValueAppendToCefListValue(array->GetValue(i), list, elementLevel);
  return list;
}

// The conversion table shared by list elements and object members; the first
// test a value passes decides. |function| names the caller in log lines.
template <typename Writer>
void WriteV8Value(const CefRefPtr<CefV8Value>& value,
                  Writer& out,
                  int nestingLevel,
                  const char* function) {
  // An empty member (its getter threw) passes no test.
  if (!value) {
    out.SetNull();
    QLOG(ERROR) << "[Renderer process] " << function << "(): unknown V8 type";
    return;
  }
  if (value->IsUndefined() || value->IsNull()) {
    out.SetNull();
  } else if (value->IsBool()) {
    out.SetBool(value->GetBoolValue());
  } else if (value->IsInt() && FitsInt32(value)) {
    out.SetInt(value->GetIntValue());
  } else if (value->IsUInt() && FitsUInt32(value)) {
    out.SetBinary(CreateUInt32Binary(value->GetUIntValue()));
  } else if (value->IsDouble()) {
    out.SetDouble(value->GetDoubleValue());
  } else if (value->IsDate()) {
    // Dates have no CEF form; they arrive as null on purpose, unlogged.
    out.SetNull();
  } else if (value->IsString()) {
    out.SetString(value->GetStringValue());
  } else if (value->IsArray()) {
    out.SetList(V8ArrayToCefListValue(value, nestingLevel + 1));
  } else if (value->IsFunction()) {
    // A function cannot cross processes: the host gets a descriptor naming
    // it and calls it back by id. Its frame comes from the current context.
    if (!CefV8Context::InContext()) {
      out.SetNull();
      QLOG(ERROR) << "[Renderer process] " << function
                  << "(): not in V8 context";
      return;
    }
    const CefRefPtr<CefFrame> frame =
        CefV8Context::GetCurrentContext()->GetFrame();
    out.SetString(StoreJavascriptCallback(frame, value));
  } else if (value->IsObject()) {
    out.SetDictionary(V8ObjectToCefDictionaryValue(value, nestingLevel + 1));
  } else {
    out.SetNull();
    QLOG(ERROR) << "[Renderer process] " << function << "(): unknown V8 type";
  }
}

// Host -> page: where a CEF entry is read from.

class ListEntryReader {
 public:
  ListEntryReader(const CefRefPtr<CefListValue>& list, size_t index)
      : list_(list), index_(index) {}
  CefValueType GetType() { return list_->GetType(index_); }
  bool GetBool() { return list_->GetBool(index_); }
  int GetInt() { return list_->GetInt(index_); }
  double GetDouble() { return list_->GetDouble(index_); }
  CefString GetString() { return list_->GetString(index_); }
  CefRefPtr<CefBinaryValue> GetBinary() { return list_->GetBinary(index_); }
  CefRefPtr<CefDictionaryValue> GetDictionary() {
    return list_->GetDictionary(index_);
  }
  CefRefPtr<CefListValue> GetList() { return list_->GetList(index_); }

 private:
  const CefRefPtr<CefListValue>& list_;
  const size_t index_;
};

class DictionaryEntryReader {
 public:
  DictionaryEntryReader(const CefRefPtr<CefDictionaryValue>& dictionary,
                        const CefString& key)
      : dictionary_(dictionary), key_(key) {}
  CefValueType GetType() { return dictionary_->GetType(key_); }
  bool GetBool() { return dictionary_->GetBool(key_); }
  int GetInt() { return dictionary_->GetInt(key_); }
  double GetDouble() { return dictionary_->GetDouble(key_); }
  CefString GetString() { return dictionary_->GetString(key_); }
  CefRefPtr<CefBinaryValue> GetBinary() { return dictionary_->GetBinary(key_); }
  CefRefPtr<CefDictionaryValue> GetDictionary() {
    return dictionary_->GetDictionary(key_);
  }
  CefRefPtr<CefListValue> GetList() { return dictionary_->GetList(key_); }

 private:
  const CefRefPtr<CefDictionaryValue>& dictionary_;
  const CefString& key_;
};

// A 20-byte binary value stands for a host callback; only its size is
// tested. Each conversion makes a new handler and function.
CefRefPtr<CefV8Value> CreateHostCallbackFunction(
    CefRefPtr<CefBinaryValue> binary) {
  unsigned char bytes[quillmoss::kHostCallbackBinarySize] = {};
  binary->GetData(bytes, sizeof(bytes), 0);
  const uint32_t raw = static_cast<uint32_t>(bytes[0]) |
                       (static_cast<uint32_t>(bytes[1]) << 8) |
                       (static_cast<uint32_t>(bytes[2]) << 16) |
                       (static_cast<uint32_t>(bytes[3]) << 24);
  int32_t callbackId;
  std::memcpy(&callbackId, &raw, sizeof(callbackId));

  const std::string name =
      quillmoss::kHostCallbackFunctionPrefix + std::to_string(callbackId);
  CefRefPtr<CefV8Value> function = CefV8Value::CreateFunction(
      name, new V8FunctionHandler(nullptr, callbackId));
  return function ? function : CefV8Value::CreateNull();
}

template <typename Reader>
CefRefPtr<CefV8Value> ReadCefEntry(Reader& entry,
                                   int nestingLevel,
                                   const char* function) {
  switch (entry.GetType()) {
    case VTYPE_NULL:
      return CefV8Value::CreateNull();
    case VTYPE_BOOL:
      return CefV8Value::CreateBool(entry.GetBool());
    case VTYPE_INT:
      return CefV8Value::CreateInt(entry.GetInt());
    case VTYPE_DOUBLE:
      return CefV8Value::CreateDouble(entry.GetDouble());
    case VTYPE_STRING:
      return CefV8Value::CreateString(entry.GetString());
    case VTYPE_BINARY: {
      const CefRefPtr<CefBinaryValue> binary = entry.GetBinary();
      if (binary && binary->GetSize() == quillmoss::kHostCallbackBinarySize) {
        return CreateHostCallbackFunction(binary);
      }
      QLOG(ERROR) << "[Renderer process] " << function
                  << "(): unknown binary value, setting value to null";
      return CefV8Value::CreateNull();
    }
    case VTYPE_DICTIONARY:
      return CefDictionaryValueToV8Value(entry.GetDictionary(),
                                         nestingLevel + 1);
    case VTYPE_LIST:
      return CefListValueToV8Value(entry.GetList(), nestingLevel + 1);
    default:
      QLOG(ERROR) << "[Renderer process] " << function
                  << "(): unknown type, setting value to null";
      return CefV8Value::CreateNull();
  }
}

}  // namespace

CefRefPtr<CefListValue> V8ArgumentsToCefListValue(
    const CefV8ValueList& arguments) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  for (const CefRefPtr<CefV8Value>& argument : arguments)
    V8ValueAppendToCefListValue(argument, list, 0);
  return list;
}

void V8ValueAppendToCefListValue(CefRefPtr<CefV8Value> value,
                                 CefRefPtr<CefListValue> list,
                                 int nestingLevel) {
  if (!value || !value->IsValid()) {
    QLOG(ERROR) << "[Renderer process] V8ValueAppendToCefListValue(): "
                   "IsValid() failed";
    return;
  }
  if (nestingLevel > kMaxNestingLevel) {
    QLOG(ERROR) << "[Renderer process] V8ValueAppendToCefListValue(): max "
                   "nesting level (8) exceeded";
    return;
  }
  ListAppender out(list);
  WriteV8Value(value, out, nestingLevel, kAppendFunction);
}

CefRefPtr<CefDictionaryValue> V8ObjectToCefDictionaryValue(
    CefRefPtr<CefV8Value> value,
    int nestingLevel) {
  if (!value || !value->IsValid()) {
    QLOG(ERROR) << "[Renderer process] V8ObjectToCefDictionaryValue(): "
                   "IsValid() failed";
    return CefDictionaryValue::Create();
  }
  if (nestingLevel > kMaxNestingLevel) {
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
    DictionaryMemberWriter out(dictionary, key);
    WriteV8Value(value->GetValue(key), out, nestingLevel, kObjectFunction);
  }
  return dictionary;
}

CefRefPtr<CefV8Value> CefListValueToV8Value(CefRefPtr<CefListValue> listValue,
                                            int nestingLevel) {
  if (!listValue || !listValue->IsValid()) {
    QLOG(ERROR) << "[Renderer process] CefListValueToV8Value(): "
                   "CefListValue is invalid";
    return CefV8Value::CreateNull();
  }
  if (nestingLevel > kMaxNestingLevel) {
    QLOG(ERROR) << "[Renderer process] CefListValueToV8Value(): max nesting "
                   "level (8) exceeded";
    return CefV8Value::CreateNull();
  }
  const size_t size = listValue->GetSize();
  CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(static_cast<int>(size));
  // CEF makes arrays only inside an entered context.
  if (!array) {
    QLOG(ERROR) << "[Renderer process] CefListValueToV8Value(): "
                   "CreateArray() failed";
    return CefV8Value::CreateNull();
  }
  for (size_t i = 0; i < size; ++i) {
    ListEntryReader entry(listValue, i);
    const CefRefPtr<CefV8Value> element =
        ReadCefEntry(entry, nestingLevel, kListFunction);
    if (!array->SetValue(static_cast<int>(i), element)) {
      QLOG(ERROR) << "[Renderer process] CefListValueToV8Value(): "
                     "ret->SetValue() failed";
    }
  }
  return array;
}

CefRefPtr<CefV8Value> CefDictionaryValueToV8Value(
    CefRefPtr<CefDictionaryValue> dictValue,
    int nestingLevel) {
  if (!dictValue || !dictValue->IsValid()) {
    QLOG(ERROR) << "[Renderer process] CefDictionaryValueToV8Value(): "
                   "CefDictionaryValue is invalid";
    return CefV8Value::CreateNull();
  }
  if (nestingLevel > kMaxNestingLevel) {
    QLOG(ERROR) << "[Renderer process] CefDictionaryValueToV8Value(): max "
                   "nesting level (8) exceeded";
    return CefV8Value::CreateNull();
  }
  CefDictionaryValue::KeyList keys;
  if (!dictValue->GetKeys(keys)) {
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
    DictionaryEntryReader entry(dictValue, key);
    const CefRefPtr<CefV8Value> member =
        ReadCefEntry(entry, nestingLevel, kDictionaryFunction);
    if (!object->SetValue(key, member, V8_PROPERTY_ATTRIBUTE_NONE)) {
      QLOG(ERROR) << "[Renderer process] CefDictionaryValueToV8Value(): "
                     "ret->SetValue() failed";
    }
  }
  return object;
}

CefV8ValueList CefListValueToV8Arguments(CefRefPtr<CefListValue> listValue) {
  const CefRefPtr<CefV8Value> array = CefListValueToV8Value(listValue, 0);
  CefV8ValueList arguments;
  const int length = array->GetArrayLength();
  for (int i = 0; i < length; ++i)
    arguments.push_back(array->GetValue(i));
  return arguments;
}
