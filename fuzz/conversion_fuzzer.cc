// Page values of every kind, written as page script, go through a bound
// function to the host; the host sends the recorded arguments back to a
// stored callback. Aborts when what the host got breaks the conversion table
// (int32 range -> int, 2^31..2^32-1 -> 4-byte little-endian binary, other
// numbers -> double, Date -> null, functions -> descriptors of stored
// callbacks) or the nesting rule, or when the page gets back anything but
// what the host sent.
// The table is convert/v8utils.cc's, derived again here without reading it:
// a change of a rule there changes the oracle (Expect...) here.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "app/javascript_callback.h"
#include "common/process_messages.h"
#include "fuzz/fuzz_support.h"
#include "include/cef_v8.h"
#include "support/bindings_builder.h"
#include "support/value_copy.h"

namespace {

using fuzz::Fail;

constexpr int kMaxDepth = 12;
constexpr int kMaxNodes = 32;

// What the host must receive for one page value.
struct Expected {
  enum class Kind {
    kAny,  // only the nesting rule is checked (cycles, side effects)
    kNull,
    kBool,
    kInt,
    kUInt,
    kDouble,
    kString,
    kFunction,
    // Symbols, BigInts and values whose getter threw: null in their place.
    kDropped,
    kList,
    kDictionary,
  };
  Kind kind = Kind::kAny;
  bool boolean = false;
  int32_t integer = 0;
  uint32_t unsigned_integer = 0;
  double number = 0;
  std::string text;  // strings and function names, UTF-8
  std::vector<Expected> items;
  // In the order V8 lists them; a key seen twice keeps its first place.
  std::vector<std::pair<std::u16string, Expected>> members;

  static Expected Of(Kind kind) {
    Expected expected;
    expected.kind = kind;
    return expected;
  }
};

void SetMember(Expected* dictionary,
               const std::u16string& key,
               Expected value) {
  for (auto& member : dictionary->members) {
    if (member.first == key) {
      member.second = std::move(value);
      return;
    }
  }
  dictionary->members.emplace_back(key, std::move(value));
}

// UTF-16 to UTF-8 by CEF's own string conversion, which turns each lone
// surrogate into U+FFFD as the host will see it.
std::string Utf8(const std::u16string& units) {
  using Unit = CefString::char_type;
  static_assert(sizeof(Unit) == sizeof(char16_t), "CEF's strings are UTF-16");
  return CefString(reinterpret_cast<const Unit*>(units.data()), units.size(),
                   true)
      .ToString();
}

std::string JsString(const std::u16string& units) {
  std::string out = "'";
  for (const char16_t unit : units) {
    if (unit >= 0x20 && unit < 0x7F && unit != '\'' && unit != '\\') {
      out += static_cast<char>(unit);
    } else {
      char escaped[8];
      std::snprintf(escaped, sizeof(escaped), "\\u%04x",
                    static_cast<unsigned>(unit));
      out += escaped;
    }
  }
  return out + "'";
}

std::u16string Ascii(const char* text) {
  std::u16string out;
  for (; *text; ++text)
    out += static_cast<char16_t>(*text);
  return out;
}

Expected ExpectNumber(double number) {
  if (std::isfinite(number) && number == std::trunc(number) &&
      !(number == 0 && std::signbit(number))) {
    if (number >= std::numeric_limits<int32_t>::min() &&
        number <= std::numeric_limits<int32_t>::max()) {
      Expected expected = Expected::Of(Expected::Kind::kInt);
      expected.integer = static_cast<int32_t>(number);
      return expected;
    }
    if (number > 0 && number <= std::numeric_limits<uint32_t>::max()) {
      Expected expected = Expected::Of(Expected::Kind::kUInt);
      expected.unsigned_integer = static_cast<uint32_t>(number);
      return expected;
    }
  }
  Expected expected = Expected::Of(Expected::Kind::kDouble);
  expected.number = number;
  return expected;
}

std::string JsNumber(double number) {
  if (std::isnan(number))
    return "NaN";
  if (std::isinf(number))
    return number > 0 ? "Infinity" : "(-Infinity)";
  if (number == 0 && std::signbit(number))
    return "(-0)";
  char text[40];
  std::snprintf(text, sizeof(text), "%.17g", number);
  return number < 0 ? "(" + std::string(text) + ")" : std::string(text);
}

const double kNumbers[] = {
    0,
    1,
    -1,
    2147483647.0,
    -2147483648.0,
    2147483648.0,
    4294967295.0,
    4294967296.0,
    -2147483649.0,
    0.5,
    -0.0,
    1e300,
    9007199254740993.0,
    std::numeric_limits<double>::quiet_NaN(),
    std::numeric_limits<double>::infinity(),
    -std::numeric_limits<double>::infinity(),
    std::numeric_limits<double>::denorm_min(),
};

const char16_t kUnits[] = {u'a',   u'"',   u'\\',  u'\'',  0,
                           0x1F,   0x7F,   0xE9,   0x2028, 0xD800,
                           0xDBFF, 0xDC00, 0xDFFF, 0xFFFF, 0xFFFD};

const char* const kAsciiKeys[] = {
    "a",          "b",      "c",      "0",           "1", "10",
    "4294967295", "length", "toJSON", "constructor", "k"};

// Writes a page value as script and says what the host must get for it.
class PageValueWriter {
 public:
  explicit PageValueWriter(FuzzedDataProvider& data) : data_(data) {}

  // |named_only|: anonymous functions would take their name from the
  // property they are defined in, so member values use named ones.
  std::string Value(int depth, bool named_only, Expected* expected) {
    --nodes_left_;
    const bool may_nest = depth < kMaxDepth && nodes_left_ > 0;
    switch (data_.ConsumeIntegralInRange(0, may_nest ? 14 : 5)) {
      case 0: {
        const double number = Number();
        *expected = ExpectNumber(number);
        return JsNumber(number);
      }
      case 1: {
        const std::u16string text = Units();
        *expected = Expected::Of(Expected::Kind::kString);
        expected->text = Utf8(text);
        return JsString(text);
      }
      case 2: {
        switch (data_.ConsumeIntegralInRange(0, 4)) {
          case 0:
            *expected = Expected::Of(Expected::Kind::kNull);
            return "null";
          case 1:
            *expected = Expected::Of(Expected::Kind::kNull);
            return "undefined";
          case 2:
            *expected = Expected::Of(Expected::Kind::kDropped);
            return "Symbol('s')";
          case 3:
            *expected = Expected::Of(Expected::Kind::kDropped);
            return "123n";
          default: {
            const bool value = data_.ConsumeBool();
            *expected = Expected::Of(Expected::Kind::kBool);
            expected->boolean = value;
            return value ? "true" : "false";
          }
        }
      }
      case 3:
        // Dates have no CEF form, valid or not.
        *expected = Expected::Of(Expected::Kind::kNull);
        return "new Date(" + JsNumber(Number()) + ")";
      case 4:
        return Function(named_only, expected);
      case 5:
        return SpecialObject(expected);
      case 6:
      case 7:
        return ArrayLiteral(depth, expected);
      case 8:
        return SparseArray(depth, expected);
      case 9:
      case 10:
        return ObjectLiteral(depth, /*plain=*/false, expected);
      case 11:
        return InheritingObject(depth, expected);
      case 12:
        return ProxyValue(depth, expected);
      default:
        return Cyclic(expected);
    }
  }

 private:
  double Number() {
    switch (data_.ConsumeIntegralInRange(0, 3)) {
      case 0:
        return kNumbers[data_.ConsumeIntegralInRange<size_t>(
            0, sizeof(kNumbers) / sizeof(kNumbers[0]) - 1)];
      case 1:
        // Whole numbers of every magnitude up to 2^63.
        return static_cast<double>(data_.ConsumeIntegral<int64_t>() >>
                                   data_.ConsumeIntegralInRange(0, 62));
      case 2:
        // Fractions; ConsumeFloatingPoint() gives huge magnitudes or 0.
        return std::ldexp(data_.ConsumeIntegral<int32_t>(),
                          -data_.ConsumeIntegralInRange(0, 16));
      default:
        return data_.ConsumeFloatingPoint<double>();
    }
  }

  std::u16string Units() {
    std::u16string units;
    const int length = data_.ConsumeIntegralInRange(0, 10);
    for (int i = 0; i < length; ++i) {
      units += data_.ConsumeBool()
                   ? kUnits[data_.ConsumeIntegralInRange<size_t>(
                         0, sizeof(kUnits) / sizeof(kUnits[0]) - 1)]
                   : data_.ConsumeIntegral<char16_t>();
    }
    return units;
  }

  std::u16string Key(bool ascii_only) {
    if (ascii_only || data_.ConsumeBool()) {
      return Ascii(kAsciiKeys[data_.ConsumeIntegralInRange<size_t>(
          0, sizeof(kAsciiKeys) / sizeof(kAsciiKeys[0]) - 1)]);
    }
    if (data_.ConsumeIntegralInRange(0, 7) == 0)
      return Ascii("__proto__");  // an own property when computed
    return Units();
  }

  std::string Function(bool named_only, Expected* expected) {
    const std::string id = std::to_string(next_function_++);
    *expected = Expected::Of(Expected::Kind::kFunction);
    switch (data_.ConsumeIntegralInRange(0, named_only ? 3 : 5)) {
      case 0:
        expected->text = "f" + id;
        return "function f" + id + "() { return 1; }";
      case 1:
        expected->text = "C" + id;
        return "class C" + id + " {}";
      case 2:
        expected->text = "bound g" + id;
        return "(function g" + id + "() {}).bind(null)";
      case 3: {
        // Named by a literal key, so the name is any string at all: the
        // descriptor must carry it as data.
        const std::u16string name = Units();
        expected->text = Utf8(name);
        return "({" + JsString(name) + ": function () {}})[" + JsString(name) +
               "]";
      }
      case 4:
        expected->text = "";
        return "(() => 0)";
      default:
        // Not a callable Proxy: CEF 81 reads its missing name unchecked and
        // crashes.
        expected->text = "";
        return "(async () => 0)";
    }
  }

  std::string SpecialObject(Expected* expected) {
    *expected = Expected::Of(Expected::Kind::kDictionary);
    switch (data_.ConsumeIntegralInRange(0, 7)) {
      case 0:
        return "new Map([[1, 2]])";
      case 1:
        return "/re/g";
      case 2: {
        const uint8_t a = data_.ConsumeIntegral<uint8_t>();
        const uint8_t b = data_.ConsumeIntegral<uint8_t>();
        SetMember(expected, u"0", ExpectNumber(a));
        SetMember(expected, u"1", ExpectNumber(b));
        return "new Uint8Array([" + std::to_string(a) + ", " +
               std::to_string(b) + "])";
      }
      case 3: {
        Expected a = Expected::Of(Expected::Kind::kString);
        a.text = "a";
        Expected b = Expected::Of(Expected::Kind::kString);
        b.text = "b";
        SetMember(expected, u"0", a);
        SetMember(expected, u"1", b);
        return "new String('ab')";
      }
      case 4:
        return "new Number(5)";
      case 5:
        return "new Error('e')";
      case 6:
        SetMember(expected, u"0", ExpectNumber(1));
        SetMember(expected, u"1", Expected::Of(Expected::Kind::kNull));
        return "fuzz.argumentsOf(1, null)";
      default:
        return "new ArrayBuffer(8)";
    }
  }

  std::string ArrayLiteral(int depth, Expected* expected) {
    *expected = Expected::Of(Expected::Kind::kList);
    std::string script = "[";
    const int count = data_.ConsumeIntegralInRange(0, 5);
    for (int i = 0; i < count; ++i) {
      if (i > 0)
        script += ", ";
      if (data_.ConsumeIntegralInRange(0, 5) == 0) {
        expected->items.push_back(Expected::Of(Expected::Kind::kNull));
        if (i == count - 1)
          script += "undefined";  // a trailing hole would not count
        continue;                 // a hole
      }
      Expected item;
      script += Value(depth + 1, false, &item);
      expected->items.push_back(std::move(item));
    }
    return script + "]";
  }

  // new Array(n) with a few elements set, some by throwing getters. Past
  // the length limit the host gets an empty list.
  std::string SparseArray(int depth, Expected* expected) {
    static const size_t kHugeLengths[] = {
        quillmoss::kMaxArrayLength + size_t{1}, size_t{1} << 30,
        (size_t{1} << 31) - 1, size_t{1} << 31, 4294967295};
    size_t length = 0;
    switch (data_.ConsumeIntegralInRange(0, 3)) {
      case 0:
      case 1:
        length = data_.ConsumeIntegralInRange<size_t>(0, 8);
        break;
      case 2:
        // Longer arrays take no other path; they only cost more, above all
        // inside a cycle's element.
        length = data_.ConsumeIntegralInRange<size_t>(0, 16);
        break;
      default:
        length = kHugeLengths[data_.ConsumeIntegralInRange<size_t>(
            0, sizeof(kHugeLengths) / sizeof(kHugeLengths[0]) - 1)];
        break;
    }
    const bool huge = length > static_cast<size_t>(quillmoss::kMaxArrayLength);
    *expected = Expected::Of(Expected::Kind::kList);
    if (!huge)
      expected->items.assign(length, Expected::Of(Expected::Kind::kNull));
    // Below 2^25 elements new Array(n) allocates all n slots: 8 MB and 6 ms
    // for the limit plus one, six times an input's budget. Shrinking a longer
    // array, which V8 keeps as a dictionary, allocates none.
    const bool shrink = huge && length < (size_t{1} << 25);
    std::string script = std::string("fuzz.sparse(") +
                         (shrink ? "true, " : "false, ") +
                         std::to_string(length);
    const int count = length ? data_.ConsumeIntegralInRange(0, 4) : 0;
    for (int i = 0; i < count; ++i) {
      const size_t index = data_.ConsumeIntegralInRange<size_t>(0, length - 1);
      if (data_.ConsumeIntegralInRange(0, 3) == 0) {
        script += ", [" + std::to_string(index) + "]";
        if (!huge)
          expected->items[index] = Expected::Of(Expected::Kind::kDropped);
        continue;
      }
      Expected item;
      script += ", [" + std::to_string(index) + ", " +
                Value(depth + 1, true, &item) + "]";
      if (!huge)
        expected->items[index] = std::move(item);
    }
    return script + ")";
  }

  std::string ObjectLiteral(int depth, bool plain, Expected* expected) {
    *expected = Expected::Of(Expected::Kind::kDictionary);
    std::string script = "{";
    const int count = data_.ConsumeIntegralInRange(0, 5);
    for (int i = 0; i < count; ++i) {
      if (i > 0)
        script += ", ";
      // Plain members are copied by Object.assign, whose "__proto__"
      // assignment would set the prototype: ASCII keys only, none of them
      // "__proto__".
      const std::u16string key = Key(plain);
      const int form = plain ? 0 : data_.ConsumeIntegralInRange(0, 5);
      Expected member;
      if (form == 4) {
        script += "get [" + JsString(key) + "]() { return " +
                  Value(depth + 1, true, &member) + "; }";
      } else if (form == 5) {
        script +=
            "get [" + JsString(key) + "]() { throw new Error('getter'); }";
        member = Expected::Of(Expected::Kind::kDropped);
      } else {
        script += "[" + JsString(key) + "]: " + Value(depth + 1, true, &member);
      }
      SetMember(expected, key, std::move(member));
    }
    return script + "}";
  }

  // Enumerable inherited members count too, after the own ones.
  std::string InheritingObject(int depth, Expected* expected) {
    Expected inherited;
    Expected own;
    const std::string proto = ObjectLiteral(depth, /*plain=*/true, &inherited);
    const std::string members = ObjectLiteral(depth, /*plain=*/true, &own);
    *expected = std::move(inherited);
    for (auto& member : own.members)
      SetMember(expected, member.first, std::move(member.second));
    return "Object.assign(Object.create(" + proto + "), " + members + ")";
  }

  std::string ProxyValue(int depth, Expected* expected) {
    if (data_.ConsumeBool()) {
      // An array behind a proxy is one for JavaScript, and arrives as a
      // list; with no readable length (a throwing get trap) an empty one.
      std::string script = "new Proxy([";
      const int count = data_.ConsumeIntegralInRange(0, 4);
      *expected = Expected::Of(Expected::Kind::kList);
      for (int i = 0; i < count; ++i) {
        if (i > 0)
          script += ", ";
        Expected item;
        script += Value(depth + 1, true, &item);
        expected->items.push_back(std::move(item));
      }
      if (data_.ConsumeBool())
        return script + "], {})";
      expected->items.clear();
      return script + "], {get() { throw new Error('get'); }})";
    }
    const std::string target = ObjectLiteral(depth, false, expected);
    // A trap that makes the key listing throw aborts CEF itself (CEF 81
    // lists keys with ToLocalChecked()), so no input asks for one.
    switch (data_.ConsumeIntegralInRange(0, 1)) {
      case 0:
        return "new Proxy(" + target + ", {})";
      default:
        for (auto& member : expected->members)
          member.second = Expected::Of(Expected::Kind::kDropped);
        return "new Proxy(" + target + ", {get() { throw new Error('get'); }})";
    }
  }

  // A self-reference recurses until the nesting rule stops it, converting
  // the element at each of the nine levels: a leaf, since the deep values
  // above meet the rule with every kind of container already. One reference
  // per level: the conversion keeps no identities, so two would take no
  // other path while converting 2^9 copies of the element.
  std::string Cyclic(Expected* expected) {
    Expected ignored;
    *expected = Expected::Of(Expected::Kind::kAny);
    const std::string element = Value(kMaxDepth, true, &ignored);
    switch (data_.ConsumeIntegralInRange(0, 2)) {
      case 0:
        return "fuzz.arrayCycle(" + element + ")";
      case 1:
        return "fuzz.objectCycle(" + element + ")";
      default:
        return "fuzz.mixedCycle(" + element + ")";
    }
  }

  FuzzedDataProvider& data_;
  int nodes_left_ = kMaxNodes;
  int next_function_ = 0;
};

// ---------------------------------------------------------------------------
// Checks of what the host received.

// Where an entry sits ("args[0].a"), spelled out only when a check fails:
// a string for every entry checked cost more than the checks.
class Path {
 public:
  explicit Path(const char* root) : root_(root) {}
  Path(const Path& parent, size_t index) : parent_(&parent), index_(index) {}
  Path(const Path& parent, const std::string& key)
      : parent_(&parent), key_(&key) {}
  Path(const Path& parent, const CefString& key)
      : parent_(&parent), cef_key_(&key) {}
  Path(const Path&) = delete;
  Path& operator=(const Path&) = delete;

  std::string ToString() const {
    if (!parent_)
      return root_;
    if (key_)
      return parent_->ToString() + "." + *key_;
    if (cef_key_)
      return parent_->ToString() + "." + cef_key_->ToString();
    return parent_->ToString() + "[" + std::to_string(index_) + "]";
  }

 private:
  const char* root_ = nullptr;
  const Path* parent_ = nullptr;
  size_t index_ = 0;
  const std::string* key_ = nullptr;
  const CefString* cef_key_ = nullptr;
};

std::string Describe(const Path& path, const char* what) {
  return path.ToString() + ": " + what;
}

// The callback id that |text| names, when it is the descriptor of a
// function called |name| in frame |frame_id|; else -1. Each distinct text is
// parsed once: the same few come back input after input (ids start at 1
// again), and parsing them was a twentieth of the target's time.
int DescriptorCallbackId(const std::string& text,
                         int64 frame_id,
                         const std::string& name) {
  static std::unordered_map<std::string, int> known;
  std::string key = std::to_string(frame_id) + '\n' + name + '\n' + text;
  const auto found = known.find(key);
  if (found != known.end())
    return found->second;
  int id = -1;
  const std::string marker = quillmoss::kCallbackDescriptorMarker;
  if (text.compare(0, marker.size(), marker) == 0) {
    const nlohmann::json descriptor =
        nlohmann::json::parse(text.substr(marker.size()), nullptr, false);
    if (descriptor.is_object() && descriptor.size() == 4 &&
        descriptor.value("what", "") == "javascript-callback" &&
        descriptor["callbackId"].is_number_integer() &&
        descriptor["frameId"] == frame_id &&
        descriptor.value("functionName", "\x01") == name) {
      id = descriptor["callbackId"].get<int>();
    }
  }
  if (known.size() >= 4096)
    known.clear();
  known.emplace(std::move(key), id);
  return id;
}

// Reads one entry of a list or dictionary.
template <typename Container, typename Key>
class Entry {
 public:
  Entry(Container container, Key key) : container_(container), key_(key) {}
  CefValueType type() { return container_->GetType(key_); }
  bool boolean() { return container_->GetBool(key_); }
  int integer() { return container_->GetInt(key_); }
  double number() { return container_->GetDouble(key_); }
  std::string text() { return container_->GetString(key_).ToString(); }
  CefRefPtr<CefBinaryValue> binary() { return container_->GetBinary(key_); }
  CefRefPtr<CefListValue> list() { return container_->GetList(key_); }
  CefRefPtr<CefDictionaryValue> dictionary() {
    return container_->GetDictionary(key_);
  }

 private:
  Container container_;
  Key key_;
};

// Shared values may unroll past the entry limit of one call; the host then
// gets a prefix that the expectations do not model, so only its nesting is
// checked.
bool EntryLimitReached() {
  for (const standin::LogRecord& record : standin::LogRecords()) {
    if (record.message.find("entries in one call") != std::string::npos)
      return true;
  }
  return false;
}

class ReceivedChecker {
 public:
  ReceivedChecker(int64 frame_id,
                  const quillmoss::JavascriptCallbackRegistry& callbacks)
      : frame_id_(frame_id), callbacks_(callbacks) {}

  // |level|: the nesting level the list's entries were written at.
  void CheckList(const std::vector<Expected>& items,
                 CefRefPtr<CefListValue> list,
                 int level,
                 const Path& path) {
    // Every element keeps its place; one that cannot be read is null.
    std::vector<const Expected*> kept;
    if (level <= quillmoss::kMaxNestingLevel) {
      for (const Expected& item : items)
        kept.push_back(&item);
    }
    if (list->GetSize() != kept.size()) {
      Fail(path.ToString() + ": " + std::to_string(list->GetSize()) +
           " entries, " + std::to_string(kept.size()) + " expected");
    }
    for (size_t i = 0; i < kept.size(); ++i) {
      Entry<CefRefPtr<CefListValue>, size_t> entry(list, i);
      CheckEntry(*kept[i], entry, level, Path(path, i));
    }
  }

  void CheckDictionary(const Expected& expected,
                       CefRefPtr<CefDictionaryValue> dictionary,
                       int level,
                       const Path& path) {
    // CEF keys are UTF-8: keys that differ only in lone surrogates meet,
    // and the one V8 lists first stays (the others are left out).
    std::map<std::string, const Expected*> members;
    if (level <= quillmoss::kMaxNestingLevel) {
      // A member under the empty key is left out: CEF's wrapper sets no
      // entry under it.
      for (const auto& member : expected.members) {
        if (!member.first.empty())
          members.emplace(Utf8(member.first), &member.second);
      }
    }
    if (dictionary->GetSize() != members.size()) {
      Fail(path.ToString() + ": " + std::to_string(dictionary->GetSize()) +
           " members, " + std::to_string(members.size()) + " expected");
    }
    for (const auto& member : members) {
      if (!dictionary->HasKey(member.first))
        Fail(path.ToString() + ": member missing: " + member.first);
      const Expected& value = member.second->kind == Expected::Kind::kDropped
                                  ? null_
                                  : *member.second;
      Entry<CefRefPtr<CefDictionaryValue>, CefString> entry(dictionary,
                                                            member.first);
      CheckEntry(value, entry, level, Path(path, member.first));
    }
  }

 private:
  template <typename EntryType>
  void CheckEntry(const Expected& expected,
                  EntryType& entry,
                  int level,
                  const Path& path) {
    using Kind = Expected::Kind;
    const CefValueType type = entry.type();
    switch (expected.kind) {
      case Kind::kAny:
        return;
      case Kind::kNull:
      case Kind::kDropped:
        if (type != VTYPE_NULL)
          Fail(Describe(path, "not null"));
        return;
      case Kind::kBool:
        if (type != VTYPE_BOOL || entry.boolean() != expected.boolean)
          Fail(Describe(path, "not the bool"));
        return;
      case Kind::kInt:
        if (type != VTYPE_INT || entry.integer() != expected.integer)
          Fail(Describe(path, "not the int"));
        return;
      case Kind::kUInt: {
        CefRefPtr<CefBinaryValue> binary = entry.binary();
        unsigned char bytes[4] = {};
        if (type != VTYPE_BINARY || binary->GetSize() != 4 ||
            binary->GetData(bytes, 4, 0) != 4) {
          Fail(Describe(path, "not a 4-byte binary"));
        }
        const uint32_t value = bytes[0] | (bytes[1] << 8) | (bytes[2] << 16) |
                               (static_cast<uint32_t>(bytes[3]) << 24);
        if (value != expected.unsigned_integer)
          Fail(Describe(path, "binary does not hold the number"));
        return;
      }
      case Kind::kDouble: {
        // CEF's values hold no NaN or infinity: they arrive as 0.
        const double want =
            std::isfinite(expected.number) ? expected.number : 0.0;
        const double got = entry.number();
        if (type != VTYPE_DOUBLE || got != want ||
            std::signbit(got) != std::signbit(want)) {
          Fail(Describe(path, "not the double"));
        }
        return;
      }
      case Kind::kString:
        if (type != VTYPE_STRING || entry.text() != expected.text)
          Fail(Describe(path, "not the string"));
        return;
      case Kind::kFunction:
        if (type != VTYPE_STRING)
          Fail(Describe(path, "function did not become a string"));
        CheckDescriptor(entry.text(), expected.text, path);
        return;
      case Kind::kList:
        if (type != VTYPE_LIST)
          Fail(Describe(path, "not a list"));
        CheckList(expected.items, entry.list(), level + 1, path);
        return;
      case Kind::kDictionary:
        if (type != VTYPE_DICTIONARY)
          Fail(Describe(path, "not a dictionary"));
        CheckDictionary(expected, entry.dictionary(), level + 1, path);
        return;
    }
  }

  void CheckDescriptor(const std::string& text,
                       const std::string& name,
                       const Path& path) {
    const int id = DescriptorCallbackId(text, frame_id_, name);
    if (id < 0) {
      Fail(path.ToString() + ": bad descriptor " + text + " (function " + name +
           ")");
    }
    if (!callbacks_.HasJavascriptCallbackForTesting(id))
      Fail(Describe(path, "descriptor names no stored callback"));
  }

  const int64 frame_id_;
  const quillmoss::JavascriptCallbackRegistry& callbacks_;
  const Expected null_ = Expected::Of(Expected::Kind::kNull);
};

// ---------------------------------------------------------------------------
// What the page must see when the host sends a recorded list back: the
// host->page conversion, which turns containers beyond level 8 into null and
// binaries that are no host callback into null. Written as JSON.stringify
// writes it, so the page's text is compared as it comes: a parsed tree of
// both sides cost a tenth of the target's time.

// Number::toString, which JSON.stringify uses for finite numbers: the
// shortest digits that read back as |number|, in plain notation from 1e-6
// up to 1e21.
std::string JsonNumber(double number) {
  if (number == 0)
    return "0";  // -0 too
  char buffer[32];
  const std::to_chars_result result =
      std::to_chars(buffer, buffer + sizeof(buffer), std::fabs(number),
                    std::chars_format::scientific);
  // "d.ddde+xx"
  const std::string text(buffer, result.ptr);
  const size_t e = text.find('e');
  std::string digits = text.substr(0, 1);
  if (e > 1)
    digits += text.substr(2, e - 2);
  const int k = static_cast<int>(digits.size());
  const int n = std::stoi(text.substr(e + 1)) + 1;
  std::string out = number < 0 ? "-" : "";
  if (k <= n && n <= 21) {
    out += digits + std::string(n - k, '0');
  } else if (0 < n && n <= 21) {
    out += digits.substr(0, n) + "." + digits.substr(n);
  } else if (-6 < n && n <= 0) {
    out += "0." + std::string(-n, '0') + digits;
  } else {
    out += digits.substr(0, 1);
    if (k > 1)
      out += "." + digits.substr(1);
    out += (n - 1 < 0 ? "e-" : "e+") + std::to_string(std::abs(n - 1));
  }
  return out;
}

// JSON.stringify's string, by nlohmann-json's escaping rather than a copy of
// the system's, so the oracle shares no fault of it. dump() (ensure_ascii
// off) escapes quotes, backslashes and control characters (\b \f \n \r \t,
// the others \u00xx in lower case) and leaves the rest, 0x7F and non-ASCII
// included, as it is: JSON.stringify's form, and the descriptors'. No
// adjusting is needed, since CEF's strings are UTF-8 without lone
// surrogates, the one thing JSON.stringify escapes beyond these.
void AppendJsonString(const std::string& text, std::string* out) {
  *out += nlohmann::json(text).dump();
}

// Array indices (canonical decimal below 2^32 - 1), which V8 lists first.
bool IsArrayIndex(const std::string& key, uint32_t* index) {
  if (key.empty() || key.size() > 10 || (key[0] == '0' && key.size() > 1))
    return false;
  uint64_t value = 0;
  for (const char c : key) {
    if (c < '0' || c > '9')
      return false;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  if (value >= 0xFFFFFFFFu)
    return false;
  *index = static_cast<uint32_t>(value);
  return true;
}

void AppendPageText(CefRefPtr<CefListValue> list,
                    size_t index,
                    int level,
                    const Path& path,
                    std::string* out);
void AppendPageText(CefRefPtr<CefDictionaryValue> dictionary,
                    const CefString& key,
                    int level,
                    const Path& path,
                    std::string* out);

// The page->host conversion writes values up to nesting level 8, so an entry
// sits inside at most 9 lists or dictionaries, the argument list included.
// The host->page conversion stops at the same level: a container the page
// gets as null must be empty. So this walk, which reaches every entry the
// rule allows, checks the rule too.
void CheckBeyondNesting(bool empty, const Path& path) {
  if (!empty)
    Fail(Describe(path, "an entry nested deeper than the rule allows"));
}

// |path| names the entry; |level| the nesting level of its container.
template <typename Container, typename Key>
void AppendPageTextOf(Container container,
                      Key key,
                      int level,
                      const Path& path,
                      std::string* out) {
  switch (container->GetType(key)) {
    case VTYPE_BOOL:
      *out += container->GetBool(key) ? "true" : "false";
      return;
    case VTYPE_INT:
      *out += std::to_string(container->GetInt(key));
      return;
    case VTYPE_DOUBLE:
      *out += JsonNumber(container->GetDouble(key));
      return;
    case VTYPE_STRING:
      AppendJsonString(container->GetString(key).ToString(), out);
      return;
    case VTYPE_LIST: {
      CefRefPtr<CefListValue> list = container->GetList(key);
      if (level + 1 > quillmoss::kMaxNestingLevel) {
        CheckBeyondNesting(list->GetSize() == 0, path);
        break;
      }
      *out += '[';
      for (size_t i = 0; i < list->GetSize(); ++i) {
        if (i > 0)
          *out += ',';
        AppendPageText(list, i, level + 1, Path(path, i), out);
      }
      *out += ']';
      return;
    }
    case VTYPE_DICTIONARY: {
      CefRefPtr<CefDictionaryValue> dictionary = container->GetDictionary(key);
      if (level + 1 > quillmoss::kMaxNestingLevel) {
        CheckBeyondNesting(dictionary->GetSize() == 0, path);
        break;
      }
      CefDictionaryValue::KeyList keys;
      dictionary->GetKeys(keys);
      // The page lists array indices first, in numeric order, then the
      // other members in the order they were set: CEF's key order.
      constexpr uint64_t kNotAnIndex = uint64_t{1} << 32;
      std::vector<std::pair<uint64_t, const CefString*>> members;
      for (const CefString& member : keys) {
        const std::string text = member.ToString();
        // Assigning "__proto__" sets the prototype (or does nothing): no own
        // member.
        if (text == "__proto__")
          continue;
        uint32_t index = 0;
        members.emplace_back(IsArrayIndex(text, &index) ? index : kNotAnIndex,
                             &member);
      }
      std::stable_sort(
          members.begin(), members.end(),
          [](const auto& a, const auto& b) { return a.first < b.first; });
      *out += '{';
      for (size_t i = 0; i < members.size(); ++i) {
        const CefString& member = *members[i].second;
        if (i > 0)
          *out += ',';
        AppendJsonString(member.ToString(), out);
        *out += ':';
        AppendPageText(dictionary, member, level + 1, Path(path, member), out);
      }
      *out += '}';
      return;
    }
    default:
      break;
  }
  *out += "null";
}

void AppendPageText(CefRefPtr<CefListValue> list,
                    size_t index,
                    int level,
                    const Path& path,
                    std::string* out) {
  AppendPageTextOf(list, index, level, path, out);
}

void AppendPageText(CefRefPtr<CefDictionaryValue> dictionary,
                    const CefString& key,
                    int level,
                    const Path& path,
                    std::string* out) {
  AppendPageTextOf(dictionary, key, level, path, out);
}

// The page's text of the whole recorded list (the arguments), with the
// nesting rule checked on the way.
std::string PageText(CefRefPtr<CefListValue> recorded) {
  const Path args("args");
  std::string text = "[";
  for (size_t i = 0; i < recorded->GetSize(); ++i) {
    if (i > 0)
      text += ',';
    AppendPageText(recorded, i, 0, Path(args, i), &text);
  }
  return text + "]";
}

// Page-side helpers for the values that need statements, and the callback
// the host answers. Defined once in the world: written into each input's
// script as function literals, they were compiled again for every input.
constexpr char kPageHelpers[] = R"(globalThis.fuzz = Object.freeze({
  // Entries are [index, value], or [index] for an element whose getter
  // throws.
  sparse(shrink, length, ...entries) {
    const a = shrink ? new Array(2 ** 30) : new Array(length);
    if (shrink)
      a.length = length;
    for (let i = 0; i < entries.length; ++i) {
      const entry = entries[i];
      Object.defineProperty(a, entry[0], entry.length === 1
          ? {get() { throw new Error('element'); }, configurable: true,
             enumerable: true}
          : {value: entry[1], configurable: true, enumerable: true,
             writable: true});
    }
    return a;
  },
  arrayCycle(element) { const a = [element]; a.push(a); return a; },
  objectCycle(element) { const o = {v: element}; o.self = o; return o; },
  mixedCycle(element) {
    const a = [element]; const o = {a}; a.push(o); return o;
  },
  argumentsOf() { return arguments; },
  // The callback the host answers with everything it got.
  answer(...args) { globalThis.got = JSON.stringify(args); },
});)";

// A renderer with one browser whose main frame has a context with
// |record| bound. Kept between inputs: making it costs more than most inputs.
class World {
 public:
  World() : renderer_(session_.renderer()) {
    Install();
    // Counted once the set-up's own references are gone.
    live_when_ready_ = standin::LiveObjectCount();
  }

  void Run(const uint8_t* bytes, size_t size);

  // Leaves the world as Run() found it: no stored callbacks (ids start at 1
  // again), nothing sent or logged (Run() takes the page's |got| back
  // itself). Objects an input left alive would skew the next input's world,
  // so they fail this one.
  void Reset() {
    session_.callbacks().ResetJavascriptCallbacksForTesting();
    renderer_.RunPendingTasks();
    renderer_.ClearSentMessages();
    standin::ClearLog();
    const int live = standin::LiveObjectCount();
    if (live != live_when_ready_) {
      Fail("stand-in objects outlived the input: " + std::to_string(live) +
           " alive, " + std::to_string(live_when_ready_) + " before it");
    }
  }

  std::string TearDown() { return session_.TearDown(); }

 private:
  // The JSON text the page's answer left in |got|, read and deleted through
  // CEF's V8 API: a script would be compiled again for each input.
  std::string TakeAnswer() {
    CefRefPtr<CefV8Context> context =
        renderer_.GetFrame(browser_, frame_)->GetV8Context();
    if (!context || !context->Enter())
      return "(no context)";
    CefRefPtr<CefV8Value> global = context->GetGlobal();
    CefRefPtr<CefV8Value> got = global->GetValue("got");
    const std::string text = got && got->IsString()
                                 ? got->GetStringValue().ToString()
                                 : "(no answer)";
    global->DeleteValue("got");
    context->Exit();
    return text;
  }

  void Install() {
    browser_ = renderer_.CreateBrowser();
    frame_ = renderer_.MainFrameId(browser_);
    renderer_.CreateContext(browser_, frame_);
    CefRefPtr<CefProcessMessage> install =
        CefProcessMessage::Create(quillmoss::kDoJavascriptBindingsMessage);
    install->GetArgumentList()->SetDictionary(
        0, testing_support::BindingsBuilder().Function("record").Build());
    renderer_.DeliverMessage(browser_, frame_, install);
    renderer_.RunPendingTasks();
    if (!renderer_.Eval(browser_, frame_, kPageHelpers).ok)
      Fail("the page helpers did not run");
    renderer_.ClearSentMessages();
    standin::ClearLog();
  }

  fuzz::Session session_;
  standin::Renderer& renderer_;
  int browser_ = 0;
  int64 frame_ = 0;
  int live_when_ready_ = 0;
};

void World::Run(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  standin::Renderer& renderer = renderer_;
  const int browser = browser_;
  const int64 frame = frame_;

  // record(<values>..., the callback the host answers).
  PageValueWriter writer(data);
  std::vector<Expected> expected;
  std::string call = "record(";
  const int count = data.ConsumeIntegralInRange(0, 5);
  for (int i = 0; i < count; ++i) {
    Expected value;
    call += writer.Value(0, false, &value) + ", ";
    expected.push_back(std::move(value));
  }
  call += "fuzz.answer)";
  Expected answer = Expected::Of(Expected::Kind::kFunction);
  answer.text = "answer";
  expected.push_back(answer);

  if (fuzz::Verbose())
    std::fprintf(stderr, "%s\n", call.c_str());
  const standin::ScriptResult result = renderer.Eval(browser, frame, call);
  if (!result.ok || result.value != "null")
    Fail("the bound call did not return null: " + result.exception + "\n" +
         call);
  const std::vector<standin::SentMessage>& sent = renderer.SentMessages();
  if (sent.size() != 1 || sent[0].message->GetName().ToString() !=
                              quillmoss::kV8FunctionHandlerExecuteMessage) {
    Fail("expected one V8FunctionHandler::Execute message\n" + call);
  }
  CefRefPtr<CefListValue> message_args = sent[0].message->GetArgumentList();
  if (message_args->GetString(0).ToString() != "record" ||
      message_args->GetType(1) != VTYPE_LIST) {
    Fail("the message does not carry the name and a list\n" + call);
  }
  CefRefPtr<CefListValue> recorded = message_args->GetList(1);
  const std::string want = PageText(recorded);
  if (EntryLimitReached())
    return;
  ReceivedChecker(frame, session_.callbacks())
      .CheckList(expected, recorded, 0, Path("args"));

  // The host answers with everything it got.
  const std::string descriptor =
      recorded->GetString(recorded->GetSize() - 1).ToString();
  const int answer_id = DescriptorCallbackId(descriptor, frame, "answer");
  CefRefPtr<CefProcessMessage> reply =
      CefProcessMessage::Create(quillmoss::kExecuteJavascriptCallbackMessage);
  CefRefPtr<CefListValue> reply_args = reply->GetArgumentList();
  reply_args->SetInt(0, answer_id);
  for (size_t i = 0; i < recorded->GetSize(); ++i)
    testing_support::AppendListEntry(recorded, i, reply_args);
  renderer.ClearSentMessages();
  if (!renderer.DeliverMessage(browser, frame, reply))
    Fail("the callback message was refused\n" + call);
  const std::string got = TakeAnswer();
  if (got != want)
    Fail("the page got " + got + "\nthe host sent " + want + "\n" + call);
}

// One input in a world of its own, checked as it goes.
void RunWithFullChecks(const uint8_t* bytes, size_t size) {
  World world;
  world.Run(bytes, size);
  world.Reset();
  const std::string leak = world.TearDown();
  if (!leak.empty())
    Fail(leak);
}

// Reset by PeriodicCheck, which also runs at exit, so nothing is left for
// static destruction.
std::unique_ptr<World> g_world;
fuzz::RecentInputs g_recent;
int g_since_check = 0;

// Tears the shared world down and checks it; a failure is pinned on the
// input that fails alone.
void PeriodicCheck() {
  if (!g_world)
    return;
  const std::string leak = g_world->TearDown();
  g_world.reset();
  g_since_check = 0;
  if (!leak.empty())
    g_recent.FindCulprit(leak, RunWithFullChecks);
  g_recent.Clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  fuzz::InitCheckSchedule(*argc, *argv);
  // Every input's script is new: V8's cache of compiled scripts kept each
  // one, and the heap grew by a megabyte a second without end.
  fuzz::InitV8("--no-compilation-cache");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  if (fuzz::FullChecksEachInput()) {
    RunWithFullChecks(bytes, size);
    return 0;
  }
  if (!g_world) {
    g_world = std::make_unique<World>();
    fuzz::AtExit(PeriodicCheck);
  }
  g_recent.Add(bytes, size);
  g_world->Run(bytes, size);
  g_world->Reset();
  if (++g_since_check >= fuzz::CheckPeriod())
    PeriodicCheck();
  return 0;
}
