#include "cef_standin/simulator/cef_value_json.h"

// The same JSON form is python/quillmoss_sim/values.py's and the value table
// of docs/scenarios.md: a change here changes them.

#include <cmath>
#include <cstdint>
#include <limits>

#include "cef_standin/simulator/json_text.h"
#include "standin_core.h"

namespace standin {

namespace {

using nlohmann::json;

bool FitsInt32(const json& value) {
  if (value.is_number_unsigned()) {
    return value.get<uint64_t>() <=
           static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
  }
  if (!value.is_number_integer())
    return false;
  const int64_t n = value.get<int64_t>();
  return n >= std::numeric_limits<int32_t>::min() &&
         n <= std::numeric_limits<int32_t>::max();
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

bool IsTag(const json& object) {
  return object.size() == 1 && !object.begin().key().empty() &&
         object.begin().key()[0] == '$';
}

// Builds CEF values from JSON, reporting the first problem with its path.
class JsonToCef {
 public:
  explicit JsonToCef(std::string* error) : error_(error) {}
  JsonToCef(const JsonToCef&) = delete;
  JsonToCef& operator=(const JsonToCef&) = delete;

  bool FillList(const json& array,
                const CefRefPtr<CefListValue>& list,
                const std::string& path,
                int depth) {
    if (!array.is_array())
      return Fail(path, "must be an array (a CEF list)");
    if (depth > kMaxValueDepth)
      return TooDeep(path);
    size_t index = list->GetSize();
    for (size_t i = 0; i < array.size(); ++i, ++index) {
      if (!Store(list, index, array[i], JsonPathIndex(path, i), depth))
        return false;
    }
    return true;
  }

  bool FillDictionary(const json& object,
                      const CefRefPtr<CefDictionaryValue>& dictionary,
                      const std::string& path,
                      int depth) {
    if (!object.is_object())
      return Fail(path, "must be an object (a CEF dictionary)");
    if (depth > kMaxValueDepth)
      return TooDeep(path);
    for (auto it = object.begin(); it != object.end(); ++it) {
      if (!Store(dictionary, CefString(it.key()), it.value(),
                 JsonPathMember(path, it.key()), depth)) {
        return false;
      }
    }
    return true;
  }

 private:
  // |depth| is the nesting level of |container|.
  template <class Container, class Key>
  bool Store(const CefRefPtr<Container>& container,
             const Key& key,
             const json& value,
             const std::string& path,
             int depth) {
    bool stored = false;
    switch (value.type()) {
      case json::value_t::null:
        stored = container->SetNull(key);
        break;
      case json::value_t::boolean:
        stored = container->SetBool(key, value.get<bool>());
        break;
      case json::value_t::number_integer:
      case json::value_t::number_unsigned:
        stored = FitsInt32(value)
                     ? container->SetInt(key, value.get<int>())
                     : container->SetDouble(key, value.get<double>());
        break;
      case json::value_t::number_float:
        stored = container->SetDouble(key, value.get<double>());
        break;
      case json::value_t::string:
        stored = container->SetString(
            key, CefString(value.get_ref<const std::string&>()));
        break;
      case json::value_t::array: {
        CefRefPtr<CefListValue> list = CefListValue::Create();
        if (!FillList(value, list, path, depth + 1))
          return false;
        stored = container->SetList(key, list);
        break;
      }
      case json::value_t::object: {
        if (IsTag(value)) {
          return StoreTagged(container, key, value.begin().key(),
                             value.begin().value(), path, depth);
        }
        CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
        if (!FillDictionary(value, dictionary, path, depth + 1))
          return false;
        stored = container->SetDictionary(key, dictionary);
        break;
      }
      default:
        return Fail(path, "has no CEF form");
    }
    return stored || Fail(path, "CEF refused the value");
  }

  template <class Container, class Key>
  bool StoreTagged(const CefRefPtr<Container>& container,
                   const Key& key,
                   const std::string& tag,
                   const json& value,
                   const std::string& path,
                   int depth) {
    const std::string tag_path = JsonPathMember(path, tag);
    bool stored = false;
    if (tag == "$int") {
      if (!FitsInt32(value)) {
        return Fail(tag_path,
                    "must be an integer from -2147483648 to 2147483647");
      }
      stored = container->SetInt(key, value.get<int>());
    } else if (tag == "$double") {
      double number = 0;
      if (!ParseDouble(value, &number)) {
        return Fail(tag_path,
                    "must be a number, \"NaN\", \"Infinity\" or "
                    "\"-Infinity\"");
      }
      stored = container->SetDouble(key, number);
    } else if (tag == "$binary" || tag == "$callback") {
      std::string bytes;
      if (tag == "$binary" && !ParseHex(value, tag_path, &bytes))
        return false;
      if (tag == "$callback") {
        if (!FitsInt32(value)) {
          return Fail(tag_path,
                      "must be an integer from -2147483648 to 2147483647");
        }
        bytes = CallbackBinaryBytes(value.get<int>());
      }
      CefRefPtr<CefBinaryValue> binary =
          CefBinaryValue::Create(bytes.data(), bytes.size());
      if (!binary)
        return Fail(tag_path, "CEF refused the binary value");
      stored = container->SetBinary(key, binary);
    } else if (tag == "$dict") {
      CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
      if (!FillDictionary(value, dictionary, tag_path, depth + 1))
        return false;
      stored = container->SetDictionary(key, dictionary);
    } else {
      return Fail(path, "unknown tag '" + tag +
                            "' (write a dictionary whose only key starts "
                            "with '$' as {\"$dict\": {...}})");
    }
    return stored || Fail(path, "CEF refused the value");
  }

  static bool ParseDouble(const json& value, double* number) {
    if (value.is_number()) {
      *number = value.get<double>();
      return true;
    }
    if (!value.is_string())
      return false;
    const std::string& text = value.get_ref<const std::string&>();
    if (text == "NaN")
      *number = std::numeric_limits<double>::quiet_NaN();
    else if (text == "Infinity")
      *number = std::numeric_limits<double>::infinity();
    else if (text == "-Infinity")
      *number = -std::numeric_limits<double>::infinity();
    else
      return false;
    return true;
  }

  bool ParseHex(const json& value,
                const std::string& path,
                std::string* bytes) {
    if (!value.is_string())
      return Fail(path, "must be a string of hex digits");
    const std::string& hex = value.get_ref<const std::string&>();
    if (hex.empty())
      return Fail(path,
                  "must hold at least one byte (CEF has no empty "
                  "binary value)");
    if (hex.size() % 2 != 0)
      return Fail(path, "has an odd number of hex digits");
    bytes->reserve(hex.size() / 2);
    for (size_t i = 0; i < hex.size(); i += 2) {
      const int high = HexDigit(hex[i]);
      const int low = HexDigit(hex[i + 1]);
      if (high < 0 || low < 0) {
        return Fail(path, "is not hex at offset " +
                              std::to_string(high < 0 ? i : i + 1));
      }
      bytes->push_back(static_cast<char>(high * 16 + low));
    }
    return true;
  }

  bool TooDeep(const std::string& path) {
    return Fail(path, "nested deeper than " + std::to_string(kMaxValueDepth) +
                          " lists and dictionaries");
  }

  bool Fail(const std::string& path, const std::string& what) {
    if (error_)
      *error_ = path + ": " + what;
    return false;
  }

  std::string* const error_;
};

json Tagged(const char* tag, json value) {
  json tagged = json::object();
  tagged[tag] = std::move(value);
  return tagged;
}

json DoubleToJson(double number) {
  if (std::isnan(number))
    return Tagged("$double", "NaN");
  if (std::isinf(number))
    return Tagged("$double", number > 0 ? "Infinity" : "-Infinity");
  // nlohmann writes whole doubles as "5.0", so they read back as doubles.
  return json(number);
}

json ListToJson(const CefRefPtr<CefListValue>& list, int depth);
json DictionaryToJson(const CefRefPtr<CefDictionaryValue>& dictionary,
                      int depth);

// |depth| is the nesting level of |container|.
template <class Container, class Key>
json ItemToJson(const CefRefPtr<Container>& container,
                const Key& key,
                int depth) {
  switch (container->GetType(key)) {
    case VTYPE_NULL:
      return nullptr;
    case VTYPE_BOOL:
      return container->GetBool(key);
    case VTYPE_INT:
      return container->GetInt(key);
    case VTYPE_DOUBLE:
      return DoubleToJson(container->GetDouble(key));
    case VTYPE_STRING:
      return container->GetString(key).ToString();
    case VTYPE_BINARY:
      return CefBinaryToJson(container->GetBinary(key));
    case VTYPE_DICTIONARY:
      return DictionaryToJson(container->GetDictionary(key), depth + 1);
    case VTYPE_LIST:
      return ListToJson(container->GetList(key), depth + 1);
    default:
      return Tagged("$invalid", true);
  }
}

json ListToJson(const CefRefPtr<CefListValue>& list, int depth) {
  if (!list || !list->IsValid())
    return Tagged("$invalid", true);
  if (depth > kMaxValueDepth)
    return Tagged("$truncated", true);
  json out = json::array();
  const size_t size = list->GetSize();
  for (size_t i = 0; i < size; ++i)
    out.push_back(ItemToJson(list, i, depth));
  return out;
}

json DictionaryToJson(const CefRefPtr<CefDictionaryValue>& dictionary,
                      int depth) {
  if (!dictionary || !dictionary->IsValid())
    return Tagged("$invalid", true);
  if (depth > kMaxValueDepth)
    return Tagged("$truncated", true);
  json out = json::object();
  CefDictionaryValue::KeyList keys;
  dictionary->GetKeys(keys);
  for (const CefString& key : keys)
    out[key.ToString()] = ItemToJson(dictionary, key, depth);
  if (IsTag(out))
    return Tagged("$dict", std::move(out));
  return out;
}

}  // namespace

// Both ways the values stand for what crosses the process boundary, as CEF
// itself builds and reads it: a host's dictionary may arrive with an empty
// key, which no call through CEF's wrapper can set or read.

CefRefPtr<CefListValue> JsonToCefList(const nlohmann::json& value,
                                      std::string* error,
                                      const std::string& path) {
  ScopedWrapperChecksOff checks_off;
  CefRefPtr<CefListValue> list = CefListValue::Create();
  if (!JsonToCef(error).FillList(value, list, path, 1))
    return nullptr;
  return list;
}

CefRefPtr<CefDictionaryValue> JsonToCefDictionary(const nlohmann::json& value,
                                                  std::string* error,
                                                  const std::string& path) {
  ScopedWrapperChecksOff checks_off;
  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  if (!JsonToCef(error).FillDictionary(value, dictionary, path, 1))
    return nullptr;
  return dictionary;
}

bool AppendJsonToCefList(const nlohmann::json& value,
                         CefRefPtr<CefListValue> list,
                         std::string* error,
                         const std::string& path) {
  if (!list || !list->IsValid()) {
    if (error)
      *error = path + ": no valid list to append to";
    return false;
  }
  ScopedWrapperChecksOff checks_off;
  return JsonToCef(error).FillList(value, list, path, 1);
}

nlohmann::json CefListToJson(CefRefPtr<CefListValue> list) {
  ScopedWrapperChecksOff checks_off;
  return ListToJson(list, 1);
}

nlohmann::json CefDictionaryToJson(CefRefPtr<CefDictionaryValue> dictionary) {
  ScopedWrapperChecksOff checks_off;
  return DictionaryToJson(dictionary, 1);
}

nlohmann::json CefBinaryToJson(CefRefPtr<CefBinaryValue> binary) {
  if (!binary || !binary->IsValid())
    return Tagged("$invalid", true);
  std::string bytes(binary->GetSize(), '\0');
  if (!bytes.empty())
    bytes.resize(binary->GetData(&bytes[0], bytes.size(), 0));
  static const char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char byte : bytes) {
    const unsigned char b = static_cast<unsigned char>(byte);
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 0x0f]);
  }
  return Tagged("$binary", std::move(hex));
}

std::string CallbackBinaryBytes(int id) {
  std::string bytes(kCallbackBinarySize, '\0');
  const uint32_t bits = static_cast<uint32_t>(id);
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((bits >> (8 * i)) & 0xff);
  return bytes;
}

}  // namespace standin
