#include "support/value_matchers.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <vector>

namespace testing_support {
namespace {

// The shortest text that reads back as the same double.
std::string FormatDouble(double value) {
  char buffer[32];
  for (int precision = 1; precision <= 17; ++precision) {
    std::snprintf(buffer, sizeof(buffer), "%.*g", precision, value);
    if (std::strtod(buffer, nullptr) == value)
      break;
  }
  return buffer;
}

std::string Quote(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out.push_back('\\');
      out.push_back(static_cast<char>(c));
    } else if (c < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof(escape), "\\u%04x", c);
      out += escape;
    } else {
      out.push_back(static_cast<char>(c));
    }
  }
  return out + "\"";
}

std::string Hex(CefRefPtr<CefBinaryValue> binary) {
  if (!binary || !binary->IsValid())
    return "<invalid>";
  std::vector<unsigned char> bytes(binary->GetSize());
  if (!bytes.empty())
    binary->GetData(bytes.data(), bytes.size(), 0);
  std::string out = "<";
  for (unsigned char byte : bytes) {
    char digits[3];
    std::snprintf(digits, sizeof(digits), "%02x", byte);
    out += digits;
  }
  return out + ">";
}

std::vector<CefString> KeysOf(CefRefPtr<CefDictionaryValue> dictionary) {
  std::vector<CefString> keys;
  dictionary->GetKeys(keys);
  return keys;
}

// The entry at |key| of a list (size_t) or dictionary (CefString) as JSON
// text; both containers share the accessor names.
template <typename Container, typename Key>
std::string EntryJson(Container& container, const Key& key) {
  switch (container->GetType(key)) {
    case VTYPE_NULL:
      return "null";
    case VTYPE_BOOL:
      return container->GetBool(key) ? "true" : "false";
    case VTYPE_INT:
      return std::to_string(container->GetInt(key));
    case VTYPE_DOUBLE: {
      std::string text = FormatDouble(container->GetDouble(key));
      if (text.find_first_of(".eni") == std::string::npos)
        text += ".0";
      return text;
    }
    case VTYPE_STRING:
      return Quote(container->GetString(key).ToString());
    case VTYPE_BINARY:
      return Hex(container->GetBinary(key));
    case VTYPE_DICTIONARY:
      return DescribeValue(container->GetDictionary(key));
    case VTYPE_LIST:
      return DescribeValue(container->GetList(key));
    default:
      return "<invalid>";
  }
}

// "int 5", "double 5", "string \"a\"" ...: how a failure names an entry.
template <typename Container, typename Key>
std::string EntryDescription(Container& container, const Key& key) {
  switch (container->GetType(key)) {
    case VTYPE_NULL:
      return "null";
    case VTYPE_BOOL:
      return std::string("bool ") + EntryJson(container, key);
    case VTYPE_INT:
      return "int " + EntryJson(container, key);
    case VTYPE_DOUBLE:
      return "double " + FormatDouble(container->GetDouble(key));
    case VTYPE_STRING:
      return "string " + EntryJson(container, key);
    case VTYPE_BINARY:
      return "binary " + EntryJson(container, key);
    case VTYPE_DICTIONARY:
      return "dictionary " + EntryJson(container, key);
    case VTYPE_LIST:
      return "list " + EntryJson(container, key);
    default:
      return "an invalid entry";
  }
}

std::string PathText(const std::string& path) {
  return path.empty() ? "(top)" : path;
}

class Comparer {
 public:
  bool Lists(CefRefPtr<CefListValue> expected,
             CefRefPtr<CefListValue> actual,
             const std::string& path) {
    if (!expected || !actual || !expected->IsValid() || !actual->IsValid())
      return Containers(expected, actual, path);
    const size_t common = std::min(expected->GetSize(), actual->GetSize());
    for (size_t i = 0; i < common; ++i) {
      if (!Entries(expected, actual, i, path + "[" + std::to_string(i) + "]"))
        return false;
    }
    if (expected->GetSize() > common) {
      return Fail(path + "[" + std::to_string(common) + "]",
                  EntryDescription(expected, common), "nothing");
    }
    if (actual->GetSize() > common) {
      return Fail(path + "[" + std::to_string(common) + "]", "nothing",
                  EntryDescription(actual, common));
    }
    return true;
  }

  bool Dictionaries(CefRefPtr<CefDictionaryValue> expected,
                    CefRefPtr<CefDictionaryValue> actual,
                    const std::string& path) {
    if (!expected || !actual || !expected->IsValid() || !actual->IsValid())
      return Containers(expected, actual, path);
    std::vector<CefString> keys = KeysOf(expected);
    const std::vector<CefString> actual_keys = KeysOf(actual);
    keys.insert(keys.end(), actual_keys.begin(), actual_keys.end());
    // In the dictionaries' own order: by UTF-8 bytes.
    std::sort(keys.begin(), keys.end(),
              [](const CefString& a, const CefString& b) {
                return a.ToString() < b.ToString();
              });
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    for (const CefString& key : keys) {
      const std::string key_path = path + "[" + Quote(key.ToString()) + "]";
      if (!expected->HasKey(key))
        return Fail(key_path, "nothing", EntryDescription(actual, key));
      if (!actual->HasKey(key))
        return Fail(key_path, EntryDescription(expected, key), "nothing");
      if (!Entries(expected, actual, key, key_path))
        return false;
    }
    return true;
  }

  const std::string& failure() const { return failure_; }

 private:
  // At least one side is missing or invalid.
  template <typename Value>
  bool Containers(CefRefPtr<Value> expected,
                  CefRefPtr<Value> actual,
                  const std::string& path) {
    auto state = [](const CefRefPtr<Value>& value) -> std::string {
      if (!value)
        return "no value";
      return value->IsValid() ? "a valid value" : "an invalid value";
    };
    if (!expected && !actual)
      return true;
    return Fail(path, state(expected), state(actual));
  }

  template <typename Container, typename Key>
  bool Entries(Container& expected,
               Container& actual,
               const Key& key,
               const std::string& path) {
    const CefValueType type = expected->GetType(key);
    if (type != actual->GetType(key)) {
      return Fail(path, EntryDescription(expected, key),
                  EntryDescription(actual, key));
    }
    bool same = true;
    switch (type) {
      case VTYPE_BOOL:
        same = expected->GetBool(key) == actual->GetBool(key);
        break;
      case VTYPE_INT:
        same = expected->GetInt(key) == actual->GetInt(key);
        break;
      case VTYPE_DOUBLE:
        same = expected->GetDouble(key) == actual->GetDouble(key);
        break;
      case VTYPE_STRING:
        same = expected->GetString(key) == actual->GetString(key);
        break;
      case VTYPE_BINARY:
        same = Hex(expected->GetBinary(key)) == Hex(actual->GetBinary(key));
        break;
      case VTYPE_DICTIONARY:
        return Dictionaries(expected->GetDictionary(key),
                            actual->GetDictionary(key), path);
      case VTYPE_LIST:
        return Lists(expected->GetList(key), actual->GetList(key), path);
      default:
        break;
    }
    if (same)
      return true;
    return Fail(path, EntryDescription(expected, key),
                EntryDescription(actual, key));
  }

  bool Fail(const std::string& path,
            const std::string& expected,
            const std::string& actual) {
    failure_ = PathText(path) + ": expected " + expected + ", got " + actual;
    return false;
  }

  std::string failure_;
};

}  // namespace

::testing::AssertionResult ListEq(CefRefPtr<CefListValue> expected,
                                  CefRefPtr<CefListValue> actual) {
  Comparer comparer;
  if (comparer.Lists(expected, actual, std::string()))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << comparer.failure() << "\n  expected: " << DescribeValue(expected)
         << "\n    actual: " << DescribeValue(actual);
}

::testing::AssertionResult DictEq(CefRefPtr<CefDictionaryValue> expected,
                                  CefRefPtr<CefDictionaryValue> actual) {
  Comparer comparer;
  if (comparer.Dictionaries(expected, actual, std::string()))
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << comparer.failure() << "\n  expected: " << DescribeValue(expected)
         << "\n    actual: " << DescribeValue(actual);
}

std::string DescribeValue(CefRefPtr<CefListValue> list) {
  if (!list)
    return "<none>";
  if (!list->IsValid())
    return "<invalid>";
  std::string out = "[";
  for (size_t i = 0; i < list->GetSize(); ++i) {
    if (i > 0)
      out += ",";
    out += EntryJson(list, i);
  }
  return out + "]";
}

std::string DescribeValue(CefRefPtr<CefDictionaryValue> dictionary) {
  if (!dictionary)
    return "<none>";
  if (!dictionary->IsValid())
    return "<invalid>";
  std::string out = "{";
  bool first = true;
  for (const CefString& key : KeysOf(dictionary)) {
    if (!first)
      out += ",";
    first = false;
    out += Quote(key.ToString()) + ":" + EntryJson(dictionary, key);
  }
  return out + "}";
}

}  // namespace testing_support
