#include "support/value_matchers.h"

#include <algorithm>
#include <vector>

#include <nlohmann/json.hpp>

#include "cef_standin/simulator/cef_value_json.h"
#include "cef_standin/simulator/json_text.h"

namespace testing_support {
namespace {

using nlohmann::json;

// The simulator's JSON form of the entry at |index| / |key|; the containers
// are small in tests, so converting all of one is fine.
json EntryJson(CefRefPtr<CefListValue> list, size_t index) {
  return standin::CefListToJson(list)[index];
}
json EntryJson(CefRefPtr<CefDictionaryValue> dictionary, const CefString& key) {
  json whole = standin::CefDictionaryToJson(dictionary);
  // A dictionary that would read as a tag comes wrapped.
  if (whole.size() == 1 && whole.contains("$dict"))
    whole = whole["$dict"];
  return whole[key.ToString()];
}

std::vector<CefString> KeysOf(CefRefPtr<CefDictionaryValue> dictionary) {
  std::vector<CefString> keys;
  dictionary->GetKeys(keys);
  return keys;
}

std::string Quote(const std::string& text) {
  return standin::ToJsonText(json(text));
}

std::string BinaryText(CefRefPtr<CefBinaryValue> binary) {
  return standin::ToJsonText(standin::CefBinaryToJson(binary));
}

// "int 5", "double 5.0", "string \"a\"" ...: how a failure names an entry.
template <typename Container, typename Key>
std::string EntryDescription(Container& container, const Key& key) {
  const std::string text = standin::ToJsonText(EntryJson(container, key));
  switch (container->GetType(key)) {
    case VTYPE_NULL:
      return "null";
    case VTYPE_BOOL:
      return "bool " + text;
    case VTYPE_INT:
      return "int " + text;
    case VTYPE_DOUBLE:
      return "double " + text;
    case VTYPE_STRING:
      return "string " + text;
    case VTYPE_BINARY:
      return "binary " + text;
    case VTYPE_DICTIONARY:
      return "dictionary " + text;
    case VTYPE_LIST:
      return "list " + text;
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
        same = BinaryText(expected->GetBinary(key)) ==
               BinaryText(actual->GetBinary(key));
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
  return standin::ToJsonText(standin::CefListToJson(list));
}

std::string DescribeValue(CefRefPtr<CefDictionaryValue> dictionary) {
  if (!dictionary)
    return "<none>";
  return standin::ToJsonText(standin::CefDictionaryToJson(dictionary));
}

}  // namespace testing_support
