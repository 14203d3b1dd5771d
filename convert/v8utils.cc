// The conversion rules. They are written again, on purpose independently, as
// the oracle of fuzz/conversion_fuzzer.cc; a change of a rule changes both,
// and the value's forms in the simulator and the Python package (README:
// Making changes).
#include "convert/v8utils.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "common/log_line.h"
#include "common/process_messages.h"

namespace quillmoss {
namespace {

constexpr char kLogSource[] = "v8utils";

constexpr char kAppendFunction[] = "V8ValueAppendToCefListValue";
constexpr char kObjectFunction[] = "V8ObjectToCefDictionaryValue";
constexpr char kListFunction[] = "CefListValueToV8Value";
constexpr char kDictionaryFunction[] = "CefDictionaryValueToV8Value";

// Every line of a conversion names the public function it began in, one of
// the four above: "[Renderer process] CefListValueToV8Value(): ...". The name
// and "(): " are composed here, so a call site holds its text whole.
#define CONVERSION_LOG(severity, function)                   \
  RENDERER_LOG_AT_LEVEL(::quillmoss::kLogSeverity##severity) \
      << (function) << "(): "

// The log line of a refused level spells the limit out, as hosts' logs know
// it: "max nesting level (8) exceeded".
static_assert(kMaxNestingLevel == 8, "the nesting line says 8");
// So do the limits' lines, written out so that a search for a logged line
// finds its statement.
static_assert(kMaxConversionEntries == 1048576, "the entries line says it");
static_assert(kMaxArrayLength == 1048576, "the array length lines say it");

// Whether a value at |nesting_level| may still be converted; logs the
// refusal as |function|'s when not.
bool WithinNestingLimit(int nesting_level, const char* function) {
  if (nesting_level <= kMaxNestingLevel)
    return true;
  CONVERSION_LOG(ERROR, function) << "max nesting level (8) exceeded";
  return false;
}

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

// One crossing: the caller's hooks, the entries it may still write, and
// what it looked up once. Made by each conversion call and passed down. The
// entries are the outermost crossing's: one in progress on this thread (a
// getter calling a bound function again, a setter calling one while the
// host's values convert) is found through the hooks and drawn from, so one
// page call has one bound however deep its calls nest.
class Crossing {
 public:
  explicit Crossing(ConversionHooks& hooks)
      : hooks_(hooks), budget_(hooks.GetActiveConversionBudget()) {
    if (budget_)
      return;
    own_budget_.remaining = kMaxConversionEntries;
    budget_ = &own_budget_;
    hooks_.SetActiveConversionBudget(budget_);
  }
  Crossing(const Crossing&) = delete;
  Crossing& operator=(const Crossing&) = delete;
  ~Crossing() {
    if (budget_ == &own_budget_)
      hooks_.SetActiveConversionBudget(nullptr);
  }

  // Takes |cost| entries. The first refusal logs the page call's only line
  // about it, naming |function|; every later take is refused silently.
  bool Take(const char* function, int cost = 1) {
    if (abandoned_)
      return false;
    if (!budget_->refused && cost <= budget_->remaining) {
      budget_->remaining -= cost;
      return true;
    }
    if (!budget_->refused) {
      budget_->refused = true;
      CONVERSION_LOG(ERROR, function)
          << "more than 1048576 entries in one call, the rest is left out or null";
    }
    return false;
  }
  // Once true, containers stop reading their remaining members.
  bool refused() const { return budget_->refused || abandoned_; }

  // Host -> page: every value made belongs to the current context, and a
  // page setter run by an assignment has released it. Nothing more is made
  // or set, without a line of the limit's: the caller logs the crossing.
  void Abandon() { abandoned_ = true; }
  bool abandoned() const { return abandoned_; }

  enum class Description { kNoDescriber, kThrew, kDone };
  // Asks the calling context's value describer (ConversionHooks) about
  // |value|, looked up once per crossing; it runs no page code but a
  // Proxy's traps, and what it throws is an empty result. kNoDescriber
  // for a context whose creation was not seen.
  Description Describe(const CefRefPtr<CefV8Value>& value,
                       DescriberMode mode,
                       CefString* form) {
    if (!describer_looked_up_) {
      describer_looked_up_ = true;
      describer_ = hooks_.GetCurrentContextValueDescriber();
    }
    if (!describer_ || !describer_->IsValid())
      return Description::kNoDescriber;
    const CefRefPtr<CefV8Value> answer = describer_->ExecuteFunction(
        nullptr,
        CefV8ValueList{value, CefV8Value::CreateInt(static_cast<int>(mode))});
    if (!answer || !answer->IsValid() || !answer->IsString())
      return Description::kThrew;
    *form = answer->GetStringValue();
    return form->empty() ? Description::kThrew : Description::kDone;
  }

  // Stores the functions met and makes the host's callbacks.
  ConversionHooks& hooks() { return hooks_; }

 private:
  ConversionHooks& hooks_;
  ConversionBudget own_budget_;
  ConversionBudget* budget_;
  bool abandoned_ = false;
  bool describer_looked_up_ = false;
  CefRefPtr<CefV8Value> describer_;
};

// The first UTF-16 unit of a describer's answer.
bool FormIs(const CefString& form, char kind) {
  return !form.empty() && form.c_str()[0] == static_cast<unsigned char>(kind);
}

// The keys of a describer's 'K' answer: each its length, ':' and its units.
// False for a text the describer cannot have written.
bool ParseDescribedKeys(const CefString& form, std::vector<CefString>* keys) {
  const auto* units = form.c_str();
  const size_t size = form.length();
  size_t at = 1;
  while (at < size) {
    size_t length = 0;
    size_t digits = 0;
    for (; at < size && units[at] >= '0' && units[at] <= '9'; ++at, ++digits)
      length = length * 10 + static_cast<size_t>(units[at] - '0');
    if (digits == 0 || digits > 10 || at >= size || units[at] != ':' ||
        length > size - at - 1) {
      return false;
    }
    ++at;
    keys->emplace_back(units + at, length, true);
    at += length;
  }
  return true;
}

// Page -> host: a page getter or Proxy trap run by the last read of
// |container| (or by anything converted since) may have removed the frame
// of |container|'s context, which CEF then released at once: CEF refuses
// every further call on its values, and a debug renderer aborts. The rest
// of that container is left out with the line of an invalid value; values
// of other contexts go on.
bool StillReadable(const CefRefPtr<CefV8Value>& container,
                   const char* function) {
  if (container && container->IsValid())
    return true;
  CONVERSION_LOG(ERROR, function) << "IsValid() failed";
  return false;
}

// Host -> page: a list that cannot be read is refused whole, as the list
// conversion's, whichever call met it.
bool HostListReadable(const CefRefPtr<CefListValue>& list) {
  if (list && list->IsValid())
    return true;
  CONVERSION_LOG(ERROR, kListFunction) << "CefListValue is invalid";
  return false;
}

// The keys of a describer's 'L' or 'K' answer into |keys|; false, with its
// line as |function|'s, for a typed array or String object too long to list
// (it arrives as an empty dictionary) or an answer that cannot be read.
bool WriteDescribedKeys(const CefString& form,
                        const char* function,
                        std::vector<CefString>* keys) {
  if (FormIs(form, 'L')) {
    CONVERSION_LOG(ERROR, function)
        << "typed array or String object of " << form.ToString().substr(1)
        << " elements over the limit of 1048576, sending an empty dictionary";
    return false;
  }
  if (FormIs(form, 'K') && ParseDescribedKeys(form, keys))
    return true;
  CONVERSION_LOG(ERROR, function) << "GetKeys() failed";
  return false;
}

void AppendTakenV8Value(const CefRefPtr<CefV8Value>& value,
                        const CefRefPtr<CefListValue>& list,
                        int nesting_level,
                        Crossing* crossing);
CefRefPtr<CefDictionaryValue> V8ObjectToDictionary(
    const CefRefPtr<CefV8Value>& value,
    int nesting_level,
    Crossing* crossing);
CefRefPtr<CefV8Value> CefListToV8Array(const CefRefPtr<CefListValue>& list,
                                       int nesting_level,
                                       Crossing* crossing);
CefRefPtr<CefV8Value> CefDictionaryToV8Object(
    const CefRefPtr<CefDictionaryValue>& dictionary,
    int nesting_level,
    Crossing* crossing);

// What a text costs on top of its entry: one more per kStringUnitsPerEntry
// UTF-16 units copied (a string, a key, a function's callback
// descriptor). One shared text met at every turn of a cycle would otherwise
// be copied once for each, whatever its length.
int TextCost(size_t length) {
  return static_cast<int>(std::min<size_t>(length / kStringUnitsPerEntry,
                                           kMaxConversionEntries + size_t{1}));
}
// Whether |text| begins with kCallbackDescriptorMarker: a page's text that
// does would reach the host byte for byte as a function's descriptor.
bool BeginsWithCallbackMarker(const CefString& text) {
  constexpr size_t kMarkerLength = sizeof(kCallbackDescriptorMarker) - 1;
  if (text.length() < kMarkerLength)
    return false;
  const auto* units = text.c_str();
  for (size_t i = 0; i < kMarkerLength; ++i) {
    if (units[i] != static_cast<unsigned char>(kCallbackDescriptorMarker[i]))
      return false;
  }
  return true;
}

bool HasLoneSurrogate(const CefString& text) {
  const auto* units = text.c_str();
  const size_t length = text.length();
  for (size_t i = 0; i < length; ++i) {
    const auto unit = static_cast<uint32_t>(units[i]);
    if (unit < 0xD800 || unit > 0xDFFF)
      continue;
    if (unit <= 0xDBFF && i + 1 < length &&
        static_cast<uint32_t>(units[i + 1]) >= 0xDC00 &&
        static_cast<uint32_t>(units[i + 1]) <= 0xDFFF) {
      ++i;
      continue;
    }
    return true;
  }
  return false;
}

int KeyCost(size_t /*index*/) {
  return 0;
}
int KeyCost(const CefString& key) {
  return TextCost(key.length());
}

// The elements 0 to |length| - 1 of |array| (an array, or a Proxy of one),
// read by index. |function| is the caller, the one the lines name.
CefRefPtr<CefListValue> V8ElementsToList(const CefRefPtr<CefV8Value>& array,
                                         uint32_t length,
                                         int element_level,
                                         const char* function,
                                         Crossing* crossing) {
  CefRefPtr<CefListValue> list = CefListValue::Create();
  // A sparse array of any length costs the page nothing, but every index
  // costs an entry here.
  if (length > static_cast<uint32_t>(kMaxArrayLength)) {
    CONVERSION_LOG(ERROR, function)
        << "array length " << length
        << " over the limit of 1048576, sending an empty list";
    return list;
  }
  for (uint32_t i = 0; i < length; ++i) {
    if (!StillReadable(array, function))
      break;
    // The entry is taken before the element is read: at the limit, as for
    // an object's member, no getter of the page runs for nothing.
    if (!crossing->Take(kAppendFunction))
      break;
    AppendTakenV8Value(array->GetValue(static_cast<int>(i)), list,
                       element_level, crossing);
  }
  return list;
}

CefRefPtr<CefListValue> V8ArrayToList(const CefRefPtr<CefV8Value>& array,
                                      int element_level,
                                      const char* function,
                                      Crossing* crossing) {
  // CEF reports lengths from 2^31 on as negative.
  return V8ElementsToList(array, static_cast<uint32_t>(array->GetArrayLength()),
                          element_level, function, crossing);
}

// A Proxy of an array has no length CEF can report: it is its "length"
// member, read through the page's get trap as the page's own code reads it.
// A trap that throws or gives anything but an array length leaves the list
// empty.
CefRefPtr<CefListValue> ProxiedArrayToList(const CefRefPtr<CefV8Value>& proxy,
                                           int element_level,
                                           const char* function,
                                           Crossing* crossing) {
  if (!StillReadable(proxy, function))
    return CefListValue::Create();
  const CefRefPtr<CefV8Value> length = proxy->GetValue("length");
  if (!StillReadable(proxy, function))
    return CefListValue::Create();
  if (!length || !length->IsValid() || !length->IsUInt() ||
      !FitsUInt32(length)) {
    CONVERSION_LOG(ERROR, function)
        << "array length unreadable, sending an empty list";
    return CefListValue::Create();
  }
  return V8ElementsToList(proxy, length->GetUIntValue(), element_level,
                          function, crossing);
}

enum class KeyListing { kListed, kRefused, kUnlistable };
KeyListing ListV8ObjectKeys(const CefRefPtr<CefV8Value>& value,
                            int nesting_level,
                            Crossing* crossing,
                            std::vector<CefString>* keys);
CefRefPtr<CefDictionaryValue> V8ObjectMembersToDictionary(
    const CefRefPtr<CefV8Value>& value,
    const std::vector<CefString>& keys,
    int nesting_level,
    Crossing* crossing);

// An object that V8 does not call an array, its members at |member_level|:
// a dictionary, or a list when JavaScript calls it an array. State libraries
// keep a page's arrays in Proxies, and their index keys would arrive as a
// dictionary the host cannot tell from an object's, in text order. One call
// of the describer answers which, so a proxied array is never listed.
template <class Container, class Key>
void WriteV8Object(const CefRefPtr<CefV8Value>& value,
                   const CefRefPtr<Container>& container,
                   const Key& key,
                   int member_level,
                   const char* function,
                   Crossing* crossing) {
  CefString form;
  // Refused for its depth either way, so it is not listed (no trap runs for
  // an empty dictionary); an array still gets its elements' lines.
  const bool too_deep = member_level > kMaxNestingLevel;
  const Crossing::Description description = crossing->Describe(
      value, too_deep ? DescriberMode::kKind : DescriberMode::kObject, &form);
  if (description == Crossing::Description::kDone && FormIs(form, 'A')) {
    container->SetList(
        key, ProxiedArrayToList(value, member_level, function, crossing));
    return;
  }
  std::vector<CefString> keys;
  if (too_deep) {
    WithinNestingLimit(member_level, kObjectFunction);
    container->SetDictionary(key, CefDictionaryValue::Create());
    return;
  }
  if (description == Crossing::Description::kThrew) {
    container->SetNull(key);
    CONVERSION_LOG(ERROR, function)
        << "the keys cannot be listed (a Proxy trap threw, or the Proxy is revoked), sending null";
    return;
  }
  if (description == Crossing::Description::kDone) {
    if (!WriteDescribedKeys(form, function, &keys)) {
      container->SetDictionary(key, CefDictionaryValue::Create());
      return;
    }
  } else if (ListV8ObjectKeys(value, member_level, crossing, &keys) !=
             KeyListing::kListed) {
    container->SetDictionary(key, CefDictionaryValue::Create());
    return;
  }
  container->SetDictionary(
      key, V8ObjectMembersToDictionary(value, keys, member_level, crossing));
}

// The name a function's descriptor carries: V8's own (a JavaScript
// function's, "bound f" for a bound one) wherever CEF can read it; CEF's
// GetFunctionName() reads a callable Proxy's undefined name as a string and
// crashes, so a function whose kind V8 does not show (a bound function, a
// callable Proxy, a nameless built-in) is named by its own "name" when that
// is a string data property, else "".
CefString JavascriptFunctionName(const CefRefPtr<CefV8Value>& function,
                                 Crossing* crossing) {
  CefString form;
  switch (crossing->Describe(function, DescriberMode::kFunction, &form)) {
    case Crossing::Description::kNoDescriber:
      return function->GetFunctionName();
    case Crossing::Description::kThrew:
      return CefString();
    case Crossing::Description::kDone:
      break;
  }
  if (FormIs(form, 'F'))
    return function->GetFunctionName();
  return CefString(form.c_str() + 1, form.length() - 1, true);
}

// Page -> host: a value that passes no test of the table below.
template <class Container, class Key>
void WriteUnknownV8Value(const CefRefPtr<Container>& container,
                         const Key& key,
                         const char* function) {
  container->SetNull(key);
  CONVERSION_LOG(ERROR, function) << "unknown V8 type";
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
                  const char* function,
                  Crossing* crossing) {
  // An empty member (its getter threw) passes no test.
  if (!value) {
    WriteUnknownV8Value(container, key, function);
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
    const CefString text = value->GetStringValue();
    if (!crossing->Take(function, TextCost(text.length()))) {
      container->SetNull(key);
      return;
    }
    // The host could not tell it from a function's descriptor.
    if (BeginsWithCallbackMarker(text)) {
      container->SetNull(key);
      CONVERSION_LOG(ERROR, function)
          << "a string that begins with the callback descriptor's marker, sending null";
      return;
    }
    container->SetString(key, text);
  } else if (value->IsArray()) {
    container->SetList(
        key, V8ArrayToList(value, nesting_level + 1, function, crossing));
  } else if (value->IsFunction()) {
    // A function cannot cross processes: the host gets a descriptor naming
    // it and calls it back by id. Its frame comes from the current context.
    if (!CefV8Context::InContext()) {
      container->SetNull(key);
      CONVERSION_LOG(ERROR, function) << "not in V8 context";
      return;
    }
    // The descriptor is a text like any other (the function's name in it),
    // and one long-named function met a million times would otherwise cost
    // an entry each: it is paid for as a string before the function is
    // stored, and one that no longer fits is not stored at all.
    const CefString name = JavascriptFunctionName(value, crossing);
    const size_t descriptor_length =
        crossing->hooks().GetJavascriptCallbackDescriptorLength(name);
    if (!crossing->Take(function, TextCost(descriptor_length))) {
      container->SetNull(key);
      return;
    }
    const CefRefPtr<CefFrame> frame =
        CefV8Context::GetCurrentContext()->GetFrame();
    // A page getter may have removed the calling frame: its context is
    // released and frameless, and whatever it stored is dropped already. The
    // caller logs the call once.
    if (!frame) {
      container->SetNull(key);
      return;
    }
    container->SetString(
        key, crossing->hooks().StoreJavascriptCallback(frame, value, name));
  } else if (value->IsObject()) {
    WriteV8Object(value, container, key, nesting_level + 1, function, crossing);
  } else {
    WriteUnknownV8Value(container, key, function);
  }
}

// A 20-byte binary value stands for a host callback; only its size is
// tested. Its first four bytes are the id, little-endian and signed.
CefRefPtr<CefV8Value> HostCallbackBinaryToV8Function(
    const CefRefPtr<CefBinaryValue>& binary,
    Crossing* crossing) {
  unsigned char bytes[kHostCallbackBinarySize] = {};
  binary->GetData(bytes, sizeof(bytes), 0);
  const uint32_t raw = static_cast<uint32_t>(bytes[0]) |
                       (static_cast<uint32_t>(bytes[1]) << 8) |
                       (static_cast<uint32_t>(bytes[2]) << 16) |
                       (static_cast<uint32_t>(bytes[3]) << 24);
  int32_t host_callback_id;
  std::memcpy(&host_callback_id, &raw, sizeof(host_callback_id));

  const CefRefPtr<CefV8Value> function =
      crossing->hooks().CreateHostCallbackFunction(host_callback_id);
  return function ? function : CefV8Value::CreateNull();
}

// Host -> page: the entry under |key| of a list (an index) or a dictionary
// (a name) as a new V8 value; never null.
template <class Container, class Key>
CefRefPtr<CefV8Value> CefEntryToV8Value(const CefRefPtr<Container>& container,
                                        const Key& key,
                                        int nesting_level,
                                        const char* function,
                                        Crossing* crossing) {
  if (!crossing->Take(function, 1 + KeyCost(key)))
    return CefV8Value::CreateNull();
  switch (container->GetType(key)) {
    case VTYPE_NULL:
      return CefV8Value::CreateNull();
    case VTYPE_BOOL:
      return CefV8Value::CreateBool(container->GetBool(key));
    case VTYPE_INT:
      return CefV8Value::CreateInt(container->GetInt(key));
    case VTYPE_DOUBLE:
      return CefV8Value::CreateDouble(container->GetDouble(key));
    case VTYPE_STRING: {
      const CefString text = container->GetString(key);
      if (!crossing->Take(function, TextCost(text.length())))
        return CefV8Value::CreateNull();
      return CefV8Value::CreateString(text);
    }
    case VTYPE_BINARY: {
      const CefRefPtr<CefBinaryValue> binary = container->GetBinary(key);
      if (binary && binary->GetSize() == kHostCallbackBinarySize)
        return HostCallbackBinaryToV8Function(binary, crossing);
      CONVERSION_LOG(ERROR, function)
          << "unknown binary value, setting value to null";
      return CefV8Value::CreateNull();
    }
    case VTYPE_DICTIONARY:
      return CefDictionaryToV8Object(container->GetDictionary(key),
                                     nesting_level + 1, crossing);
    case VTYPE_LIST:
      return CefListToV8Array(container->GetList(key), nesting_level + 1,
                              crossing);
    default:
      CONVERSION_LOG(ERROR, function) << "unknown type, setting value to null";
      return CefV8Value::CreateNull();
  }
}

// Every value met takes an entry before anything else, also one refused for
// its depth or validity: its line is work too, and a cycle meets millions.
// The caller has taken the entry of |value|.
void AppendTakenV8Value(const CefRefPtr<CefV8Value>& value,
                        const CefRefPtr<CefListValue>& list,
                        int nesting_level,
                        Crossing* crossing) {
  if (!WithinNestingLimit(nesting_level, kAppendFunction))
    return;
  // Appends: the key is the index one past the current end.
  const size_t index = list->GetSize();
  // One that cannot be read (its getter or Proxy trap threw, a BigInt, a
  // Symbol) keeps its place, as a member does: later ones must not move.
  if (!StillReadable(value, kAppendFunction)) {
    list->SetNull(index);
    return;
  }
  WriteV8Value(value, list, index, nesting_level, kAppendFunction, crossing);
}

void AppendV8Value(const CefRefPtr<CefV8Value>& value,
                   const CefRefPtr<CefListValue>& list,
                   int nesting_level,
                   Crossing* crossing) {
  if (crossing->Take(kAppendFunction))
    AppendTakenV8Value(value, list, nesting_level, crossing);
}

// The checks before an object's members are read, then its keys into
// |keys|, listed by the describer (CEF's GetKeys() aborts the renderer on a
// revoked Proxy or a throwing trap); kRefused or kUnlistable, with its line,
// when the object arrives as an empty dictionary.
KeyListing ListV8ObjectKeys(const CefRefPtr<CefV8Value>& value,
                            int nesting_level,
                            Crossing* crossing,
                            std::vector<CefString>* keys) {
  if (!StillReadable(value, kObjectFunction) ||
      !WithinNestingLimit(nesting_level, kObjectFunction)) {
    return KeyListing::kRefused;
  }
  if (!value->IsObject()) {
    CONVERSION_LOG(ERROR, kObjectFunction) << "IsObject() failed";
    return KeyListing::kRefused;
  }
  CefString form;
  switch (crossing->Describe(value, DescriberMode::kKeys, &form)) {
    case Crossing::Description::kDone:
      return WriteDescribedKeys(form, kObjectFunction, keys)
                 ? KeyListing::kListed
                 : KeyListing::kRefused;
    case Crossing::Description::kThrew:
      CONVERSION_LOG(ERROR, kObjectFunction)
          << "the keys cannot be listed (a Proxy trap threw, or the Proxy is revoked), sending an empty dictionary";
      return KeyListing::kUnlistable;
    case Crossing::Description::kNoDescriber:
      break;
  }
  // Only a context whose creation the renderer did not see has no
  // describer: CEF's own listing is all there is.
  if (!value->GetKeys(*keys)) {
    CONVERSION_LOG(ERROR, kObjectFunction) << "GetKeys() failed";
    return KeyListing::kRefused;
  }
  return KeyListing::kListed;
}

// The object's own entry was taken by its container; each member takes one.
CefRefPtr<CefDictionaryValue> V8ObjectToDictionary(
    const CefRefPtr<CefV8Value>& value,
    int nesting_level,
    Crossing* crossing) {
  std::vector<CefString> keys;
  if (ListV8ObjectKeys(value, nesting_level, crossing, &keys) !=
      KeyListing::kListed) {
    return CefDictionaryValue::Create();
  }
  return V8ObjectMembersToDictionary(value, keys, nesting_level, crossing);
}

CefRefPtr<CefDictionaryValue> V8ObjectMembersToDictionary(
    const CefRefPtr<CefV8Value>& value,
    const std::vector<CefString>& keys,
    int nesting_level,
    Crossing* crossing) {
  CefRefPtr<CefDictionaryValue> dictionary = CefDictionaryValue::Create();
  // CEF's keys are UTF-8, in which a lone surrogate becomes U+FFFD: once
  // a key has one, a later key may name an entry already written.
  bool keys_may_meet = false;
  // The key listing runs a Proxy's traps, and so may each member's read.
  for (const CefString& key : keys) {
    if (!StillReadable(value, kObjectFunction))
      break;
    // Past the limit the rest is left out unread: the host's dictionary must
    // not grow with what the page holds, and no getter runs for nothing.
    if (!crossing->Take(kObjectFunction, 1 + KeyCost(key)))
      break;
    // CEF's wrapper refuses every setter an empty key (a debug renderer
    // aborts), so such a member cannot cross; its getter is not run.
    if (key.empty()) {
      CONVERSION_LOG(ERROR, kObjectFunction) << "empty key, member left out";
      continue;
    }
    if (BeginsWithCallbackMarker(key)) {
      CONVERSION_LOG(ERROR, kObjectFunction)
          << "a key that begins with the callback descriptor's marker, member left out";
      continue;
    }
    keys_may_meet = keys_may_meet || HasLoneSurrogate(key);
    if (keys_may_meet && dictionary->HasKey(key)) {
      CONVERSION_LOG(ERROR, kObjectFunction)
          << "a key that meets another once its lone surrogates are U+FFFD, member left out";
      continue;
    }
    WriteV8Value(value->GetValue(key), dictionary, key, nesting_level,
                 kObjectFunction, crossing);
  }
  return dictionary;
}

CefRefPtr<CefV8Value> CefListToV8Array(const CefRefPtr<CefListValue>& list,
                                       int nesting_level,
                                       Crossing* crossing) {
  if (!HostListReadable(list) ||
      !WithinNestingLimit(nesting_level, kListFunction)) {
    return CefV8Value::CreateNull();
  }
  const size_t size = list->GetSize();
  CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(static_cast<int>(size));
  // CEF makes arrays only inside an entered context.
  if (!array) {
    CONVERSION_LOG(ERROR, kListFunction) << "CreateArray() failed";
    return CefV8Value::CreateNull();
  }
  for (size_t i = 0; i < size; ++i) {
    const CefRefPtr<CefV8Value> element =
        CefEntryToV8Value(list, i, nesting_level, kListFunction, crossing);
    if (crossing->abandoned())
      break;
    if (!array->SetValue(static_cast<int>(i), element)) {
      CONVERSION_LOG(ERROR, kListFunction) << "ret->SetValue() failed";
    }
    // The assignment runs an index setter the page put on Array.prototype,
    // which may have removed the frame: CEF released the context at once
    // and refuses every call on its values.
    if (!array->IsValid()) {
      crossing->Abandon();
      break;
    }
  }
  return array;
}

// The checks shared by both dictionary conversions; fills |keys|.
bool ListDictionaryKeys(const CefRefPtr<CefDictionaryValue>& dictionary,
                        int nesting_level,
                        CefDictionaryValue::KeyList* keys) {
  if (!dictionary || !dictionary->IsValid()) {
    CONVERSION_LOG(ERROR, kDictionaryFunction)
        << "CefDictionaryValue is invalid";
    return false;
  }
  if (!WithinNestingLimit(nesting_level, kDictionaryFunction))
    return false;
  if (!dictionary->GetKeys(*keys)) {
    CONVERSION_LOG(ERROR, kDictionaryFunction) << "dictValue->GetKeys() failed";
    return false;
  }
  return true;
}

// Converts the entry under each of |keys| and hands it to |set| with its
// key, in the order of |keys|. |set| answers whether the object it sets on
// is still valid after the assignment; once not, the crossing is abandoned.
template <class Setter>
void ConvertDictionaryEntries(const CefRefPtr<CefDictionaryValue>& dictionary,
                              const CefDictionaryValue::KeyList& keys,
                              int nesting_level,
                              Crossing* crossing,
                              const Setter& set) {
  for (const CefString& key : keys) {
    // A dictionary that arrives over IPC may hold an empty key, but CEF's
    // wrapper refuses every look-up by one (a debug renderer aborts): the
    // entry cannot be read.
    if (key.empty()) {
      if (crossing->Take(kDictionaryFunction)) {
        CONVERSION_LOG(ERROR, kDictionaryFunction)
            << "empty key, entry left out";
      }
      continue;
    }
    const CefRefPtr<CefV8Value> member = CefEntryToV8Value(
        dictionary, key, nesting_level, kDictionaryFunction, crossing);
    if (crossing->abandoned())
      break;
    // |set| answers false once the object being filled is no longer valid: a
    // page setter run by the assignment may have removed the frame, and CEF
    // refuses every call on the released context's values.
    if (!set(key, member)) {
      crossing->Abandon();
      break;
    }
  }
}

CefRefPtr<CefV8Value> CefDictionaryToV8Object(
    const CefRefPtr<CefDictionaryValue>& dictionary,
    int nesting_level,
    Crossing* crossing) {
  CefDictionaryValue::KeyList keys;
  if (!ListDictionaryKeys(dictionary, nesting_level, &keys))
    return CefV8Value::CreateNull();
  CefRefPtr<CefV8Value> object = CefV8Value::CreateObject(nullptr, nullptr);
  if (!object) {
    CONVERSION_LOG(ERROR, kDictionaryFunction) << "CreateObject() failed";
    return CefV8Value::CreateNull();
  }
  ConvertDictionaryEntries(
      dictionary, keys, nesting_level, crossing,
      [&object](const CefString& key, const CefRefPtr<CefV8Value>& member) {
        if (!object->SetValue(key, member, V8_PROPERTY_ATTRIBUTE_NONE)) {
          CONVERSION_LOG(ERROR, kDictionaryFunction)
              << "ret->SetValue() failed";
        }
        return object->IsValid();
      });
  return object;
}

}  // namespace

// Each of these is a crossing of its own when called from outside the unit,
// with a fresh entry budget and the caller's hooks.

CefRefPtr<CefListValue> V8ArgumentsToCefListValue(
    ConversionHooks& hooks,
    const CefV8ValueList& arguments) {
  Crossing crossing(hooks);
  CefRefPtr<CefListValue> list = CefListValue::Create();
  for (const CefRefPtr<CefV8Value>& argument : arguments) {
    if (crossing.refused())
      break;
    AppendV8Value(argument, list, 0, &crossing);
  }
  return list;
}

void V8ValueAppendToCefListValue(ConversionHooks& hooks,
                                 CefRefPtr<CefV8Value> value,
                                 CefRefPtr<CefListValue> list,
                                 int nesting_level) {
  Crossing crossing(hooks);
  AppendV8Value(value, list, nesting_level, &crossing);
}

CefRefPtr<CefDictionaryValue> V8ObjectToCefDictionaryValue(
    ConversionHooks& hooks,
    CefRefPtr<CefV8Value> value,
    int nesting_level) {
  Crossing crossing(hooks);
  return V8ObjectToDictionary(value, nesting_level, &crossing);
}

CefRefPtr<CefV8Value> CefListValueToV8Value(ConversionHooks& hooks,
                                            CefRefPtr<CefListValue> list_value,
                                            int nesting_level) {
  Crossing crossing(hooks);
  return CefListToV8Array(list_value, nesting_level, &crossing);
}

CefRefPtr<CefV8Value> CefDictionaryValueToV8Value(
    ConversionHooks& hooks,
    CefRefPtr<CefDictionaryValue> dict_value,
    int nesting_level) {
  Crossing crossing(hooks);
  return CefDictionaryToV8Object(dict_value, nesting_level, &crossing);
}

bool CefDictionaryValueSetOnV8Object(ConversionHooks& hooks,
                                     CefRefPtr<CefDictionaryValue> dict_value,
                                     CefRefPtr<CefV8Value> object,
                                     int nesting_level) {
  CefDictionaryValue::KeyList keys;
  if (!object || !ListDictionaryKeys(dict_value, nesting_level, &keys)) {
    return false;
  }
  Crossing crossing(hooks);
  ConvertDictionaryEntries(
      dict_value, keys, nesting_level, &crossing,
      [&object](const CefString& key, const CefRefPtr<CefV8Value>& member) {
        // Like any other assignment to a page's object, the result is not
        // acted upon: a name the page made read-only stays the page's.
        object->SetValue(key, member, V8_PROPERTY_ATTRIBUTE_NONE);
        return object->IsValid();
      });
  return true;
}

// Each argument goes straight into the vector: an intermediate array would
// get its elements by assignment, so accessors that page script put on
// Array.prototype would see the host's values and could replace them.
CefV8ValueList CefListValueToV8Arguments(ConversionHooks& hooks,
                                         CefRefPtr<CefListValue> list_value) {
  CefV8ValueList arguments;
  if (!HostListReadable(list_value))
    return arguments;
  Crossing crossing(hooks);
  const size_t size = list_value->GetSize();
  arguments.reserve(size);
  for (size_t i = 0; i < size && !crossing.abandoned(); ++i) {
    arguments.push_back(
        CefEntryToV8Value(list_value, i, 0, kListFunction, &crossing));
  }
  return arguments;
}

}  // namespace quillmoss
