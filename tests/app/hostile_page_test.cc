// Page script that works against the conversion: accessors and traps that
// throw or change the value while it is read, huge and deep values, cycles.
// The renderer must convert what it can, log what it cannot, never leave an
// exception in the page and never hang.
#include <algorithm>

#include <nlohmann/json.hpp>

#include "cef_standin/simulator/cef_value_json.h"
#include "tests/app/app_fixture.h"

namespace quillmoss {
namespace {

constexpr char kUnknownTypeLine[] =
    "[Renderer process] V8ObjectToCefDictionaryValue(): unknown V8 type";

class HostilePageTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    browser_ = CreateBoundBrowser({"capture"});
  }

  // The argument lists of the capture() calls sent since the last call.
  std::vector<CefRefPtr<CefListValue>> TakeCaptures() {
    std::vector<CefRefPtr<CefListValue>> lists;
    for (const standin::SentMessage& sent : TakeSent()) {
      EXPECT_EQ(kV8FunctionHandlerExecuteMessage,
                sent.message->GetName().ToString());
      // A copy: references into a message die with it.
      lists.push_back(sent.message->GetArgumentList()->GetList(1)->Copy());
    }
    return lists;
  }

  // Calls capture(<arguments>) inside a try block and returns the JSON form
  // of the one argument list the host got; the page must see no exception.
  std::string Capture(const std::string& arguments) {
    EXPECT_EQ("\"no exception\"",
              EvalMain(browser_, "(() => { try { capture(" + arguments +
                                     "); return 'no exception'; } catch (e) "
                                     "{ return 'page saw ' + e; } })()"));
    const std::vector<CefRefPtr<CefListValue>> lists = TakeCaptures();
    EXPECT_EQ(1u, lists.size());
    return lists.empty() ? std::string()
                         : standin::CefListToJson(lists[0]).dump();
  }

  int browser_ = 0;
};

TEST_F(HostilePageTest, ThrowingAccessorsAndTrapsLeaveNullMembers) {
  struct Row {
    const char* argument;
    const char* expected;
    int null_lines;  // "unknown V8 type": one per member whose read threw
  };
  const Row rows[] = {
      // Whatever is thrown, also what cannot be turned into text.
      {"{get a() { throw undefined; }, b: 1}", R"([{"a":null,"b":1}])", 1},
      {"{get a() { throw Symbol('s'); }}", R"([{"a":null}])", 1},
      {"{get a() { throw {toString() { throw new Error('again'); }}; }}",
       R"([{"a":null}])", 1},
      // A getter that runs out of stack.
      {"{get a() { const f = () => f() + 1; return f(); }, b: 2}",
       R"([{"a":null,"b":2}])", 1},
      // Inherited getters throw for the object they are read from.
      {"Object.create({get a() { throw 1; }, b: 'x'})",
       R"([{"a":null,"b":"x"}])", 1},
      // Traps that the key listing needs abort CEF: see the death test below.
      // An object of index keys behind a throwing proxy: null members.
      {"new Proxy({0: 1, 1: 2}, {get() { throw 1; }})",
       R"([{"0":null,"1":null}])", 2},
      // Getters that change the object while it is read: the keys were
      // listed first, so a deleted member is null and an added one is left.
      {"{get a() { delete this.b; this.z = 1; return 1; }, b: 2}",
       R"([{"a":1,"b":null}])", 0},
      {"(() => { const a = [0, 1, 2]; Object.defineProperty(a, 0, "
       "{get() { a.length = 1; return 0; }}); return a; })()",
       "[[0,null,null]]", 0},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message()
                 << "row " << i << ": " << rows[i].argument);
    standin::ClearLog();
    EXPECT_EQ(rows[i].expected, Capture(rows[i].argument));
    const std::vector<std::string> expected_lines(rows[i].null_lines,
                                                  kUnknownTypeLine);
    EXPECT_EQ(expected_lines, LogTexts("v8utils"));
  }
  // Nothing was left pending: the page's next script runs normally.
  EXPECT_EQ("2", EvalMain(browser_, "1 + 1"));
}

// Values on which CEF 81's own GetKeys() or GetFunctionName() abort the
// renderer (the stand-in aborts there too): the renderer never makes those
// calls on them, and the rest of the call arrives.
TEST_F(HostilePageTest, ValuesThatAbortCefsOwnCallsArrive) {
  constexpr char kUnlistable[] =
      "[Renderer process] V8ValueAppendToCefListValue(): the keys cannot be "
      "listed (a Proxy trap threw, or the Proxy is revoked), sending null";
  const std::string kTooLong =
      "[Renderer process] V8ValueAppendToCefListValue(): typed array or "
      "String object of 16777217 elements over the limit of 1048576, "
      "sending an empty dictionary";
  struct Row {
    const char* argument;
    std::string expected;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      {"new Proxy({a: 1}, {ownKeys() { throw 1; }}), 2",
       "[null,2]",
       {kUnlistable}},
      {"new Proxy({a: 1}, {getOwnPropertyDescriptor() { throw 1; }})",
       "[null]",
       {kUnlistable}},
      {"new Proxy({a: 1}, {getPrototypeOf() { throw 1; }})",
       "[null]",
       {kUnlistable}},
      {"new Proxy({a: 1}, {ownKeys() { return 5; }})", "[null]", {kUnlistable}},
      {"new Proxy({a: 1}, {ownKeys() { return ['a', 'a']; }})",
       "[null]",
       {kUnlistable}},
      {"(() => { const r = Proxy.revocable([1], {}); r.revoke(); "
       "return [r.proxy, 3]; })()",
       "[[null,3]]",
       {kUnlistable}},
      {"{inner: new Proxy({}, {ownKeys() { throw 1; }}), b: 1}",
       R"([{"b":1,"inner":null}])",
       {"[Renderer process] V8ObjectToCefDictionaryValue(): the keys cannot "
        "be listed (a Proxy trap threw, or the Proxy is revoked), sending "
        "null"}},
      {"new Uint8Array(2 ** 24 + 1), new String('x'.repeat(2 ** 24 + 1)), 1",
       "[{},{},1]",
       {kTooLong, kTooLong}},
      // Inherited, they would be listed just the same.
      {"Object.setPrototypeOf({a: 1}, new Uint8Array(2 ** 24 + 1)), "
       "{a: 1, __proto__: new String('x'.repeat(2 ** 24 + 1))}",
       "[{},{}]",
       {kTooLong, kTooLong}},
      // A callable Proxy is named by its "name" member, read as data.
      {"new Proxy(function f() {}, {}), [new Proxy(() => 0, {get() { throw "
       "1; }})]",
       nlohmann::json(
           {Descriptor(browser_, 1, "f"), {Descriptor(browser_, 2, "")}})
           .dump(),
       {}},
      // V8 names a bound function itself.
      {"(function g() {}).bind(null)",
       nlohmann::json({Descriptor(browser_, 3, "bound g")}).dump(),
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.argument);
    standin::ClearLog();
    EXPECT_EQ(row.expected, Capture(row.argument));
    EXPECT_EQ(row.lines, LogTexts("v8utils"));
  }
  EXPECT_EQ("2", EvalMain(browser_, "1 + 1"));
}

// What a trap threw is not kept once the call is done: CEF would hold it,
// with the page's source line, for as long as the context lives.
TEST_F(HostilePageTest, NothingATrapThrewOutlivesTheCall) {
  EXPECT_EQ("[1]", Capture("1"));
  const int live_before = standin::LiveObjectCount();
  EXPECT_EQ("[null]", Capture("new Proxy({a: 1}, {ownKeys() { throw 1; }})"));
  EXPECT_EQ(live_before, standin::LiveObjectCount());
}

// Where CEF 81 itself fails: a Date whose number throws aborts the real
// renderer as CEF wraps it, before any code of ours runs. The stand-in
// aborts as CEF does, after a fatal line naming the limitation.
using HostilePageDeathTest = HostilePageTest;

TEST_F(HostilePageDeathTest, ValuesThatAbortCefAbortTheStandIn) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const char* const rows[] = {
      // As an argument, or as a member read by the conversion.
      "Object.assign(new Date(0), {valueOf() { throw 1; }})",
      "Object.defineProperty(new Date(0), Symbol.toPrimitive, "
      "{value() { throw 1; }})",
      "{when: Object.assign(new Date(0), {valueOf() { throw 1; }})}",
  };
  for (const char* row : rows) {
    SCOPED_TRACE(row);
    EXPECT_DEATH(Capture(row),
                 "CEF 81 aborts the renderer here: wrapping a Date");
  }
}

// A getter may call bound functions itself: the inner call reaches the host
// first, and the outer conversion goes on afterwards.
TEST_F(HostilePageTest, GetterCallingTheBoundFunctionNestsTheCalls) {
  EXPECT_EQ("\"done\"", EvalMain(browser_,
                                 "capture({get a() { capture('inner', () => "
                                 "0); return 'outer'; }}, function f() {}); "
                                 "'done'"));
  const std::vector<CefRefPtr<CefListValue>> lists = TakeCaptures();
  ASSERT_EQ(2u, lists.size());
  EXPECT_EQ("inner", lists[0]->GetString(0).ToString());
  EXPECT_EQ("outer", lists[1]->GetDictionary(0)->GetString("a").ToString());
  // Ids follow the order in which the functions were stored.
  const std::string marker = kCallbackDescriptorMarker;
  EXPECT_EQ(1, nlohmann::json::parse(lists[0]->GetString(1).ToString().substr(
                   marker.size()))["callbackId"]);
  EXPECT_EQ(2, nlohmann::json::parse(lists[1]->GetString(1).ToString().substr(
                   marker.size()))["callbackId"]);
}

TEST_F(HostilePageTest, HundredThousandMembersAndElementsArriveWhole) {
  EvalMain(browser_,
           "const o = {}; for (let i = 0; i < 100000; ++i) o['k' + i] = i; "
           "capture(o, Array.from({length: 100000}, (_, i) => 'v' + i)); 0");
  const std::vector<CefRefPtr<CefListValue>> lists = TakeCaptures();
  ASSERT_EQ(1u, lists.size());
  CefRefPtr<CefDictionaryValue> members = lists[0]->GetDictionary(0);
  ASSERT_EQ(100000u, members->GetSize());
  EXPECT_EQ(0, members->GetInt("k0"));
  EXPECT_EQ(99999, members->GetInt("k99999"));
  CefRefPtr<CefListValue> elements = lists[0]->GetList(1);
  ASSERT_EQ(100000u, elements->GetSize());
  EXPECT_EQ("v99999", elements->GetString(99999).ToString());
  EXPECT_TRUE(LogTexts("v8utils").empty());
}

// Nesting far past the limit costs no more than nesting to it, and the
// conversion's recursion never goes deeper than the limit.
TEST_F(HostilePageTest, DeepValuesStopAtTheLimit) {
  std::string nine_lists = "[]";
  for (int i = 0; i < 8; ++i)
    nine_lists = "[" + nine_lists + "]";
  EXPECT_EQ("[" + nine_lists + "]",
            Capture("(() => { let v = []; for (let i = 0; i < 100000; ++i) "
                    "v = [v]; return v; })()"));
  std::string nine_dictionaries = "{}";
  for (int i = 0; i < 8; ++i)
    nine_dictionaries = "{\"k\":" + nine_dictionaries + "}";
  EXPECT_EQ("[" + nine_dictionaries + "]",
            Capture("(() => { let v = {}; for (let i = 0; i < 100000; ++i) "
                    "v = {k: v}; return v; })()"));
}

// Counts entries at each nesting level, the argument list being level 0.
void CountByLevel(CefRefPtr<CefListValue> list,
                  size_t level,
                  std::vector<size_t>* counts) {
  if (counts->size() <= level)
    counts->resize(level + 1);
  (*counts)[level] += list->GetSize();
  for (size_t i = 0; i < list->GetSize(); ++i) {
    if (list->GetType(i) == VTYPE_LIST)
      CountByLevel(list->GetList(i), level + 1, counts);
  }
}

// A cycle is unrolled to the nesting limit once for each reference: with r
// references per level the work grows as r^9, so three is as far as a test
// goes (ten would take hours).
TEST_F(HostilePageTest, CyclesUnrollToTheLimitForEachReference) {
  EvalMain(browser_, "const a = ['x']; a.push(a, a, a); capture(a); 0");
  const std::vector<CefRefPtr<CefListValue>> lists = TakeCaptures();
  ASSERT_EQ(1u, lists.size());
  std::vector<size_t> counts;
  CountByLevel(lists[0], 0, &counts);
  // Each list holds 'x' and three lists; those at level 8 arrive empty.
  const std::vector<size_t> expected = {1,   4,   12,   36,   108,
                                        324, 972, 2916, 8748, 0};
  EXPECT_EQ(expected, counts);
  // One line for each element dropped below the limit.
  EXPECT_EQ(std::vector<std::string>(
                4 * 6561,
                "[Renderer process] V8ValueAppendToCefListValue(): max "
                "nesting level (8) exceeded"),
            LogTexts("v8utils"));
}

// A sparse array costs the page nothing whatever its length; converting it
// index by index would not end. Past the limit it arrives as an empty list
// with one line naming the converter it stood in, at any depth.
TEST_F(HostilePageTest, HugeSparseArraysArriveEmptyWithALine) {
  struct Row {
    const char* length;
    const char* logged;
  };
  const Row rows[] = {
      {"4294967295", "4294967295"},  {"2 ** 31", "2147483648"},
      {"2 ** 31 - 1", "2147483647"}, {"2 ** 30", "1073741824"},
      {"2 ** 24 + 1", "16777217"},   {"2 ** 20 + 1", "1048577"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i << ": " << rows[i].length);
    standin::ClearLog();
    // A Proxy of one, its length read through the trap, alike.
    const std::string array = std::string("Object.defineProperty(new Array(") +
                              rows[i].length + "), 5, {get() { throw 1; }})";
    EXPECT_EQ(R"([[],{"a":[]},[]])",
              Capture("new Array(" + std::string(rows[i].length) +
                      "), {a: " + array + "}, new Proxy(" + array + ", {})"));
    std::vector<std::string> lines;
    for (const char* function :
         {"V8ValueAppendToCefListValue", "V8ObjectToCefDictionaryValue",
          "V8ValueAppendToCefListValue"}) {
      lines.push_back(std::string("[Renderer process] ") + function +
                      "(): array length " + rows[i].logged +
                      " over the limit of 1048576, sending an empty list");
    }
    EXPECT_EQ(lines, LogTexts("v8utils"));
  }
  EXPECT_EQ(kMaxConversionEntries, kMaxArrayLength);
  // Below the limit every index arrives, holes as null.
  EvalMain(browser_, "const s = new Array(100000); s[99999] = 1; capture(s)");
  const std::vector<CefRefPtr<CefListValue>> lists = TakeCaptures();
  ASSERT_EQ(1u, lists.size());
  CefRefPtr<CefListValue> sparse = lists[0]->GetList(0);
  ASSERT_EQ(100000u, sparse->GetSize());
  EXPECT_EQ(VTYPE_NULL, sparse->GetType(0));
  EXPECT_EQ(1, sparse->GetInt(99999));
}

std::string EntryLimitLine(const char* function) {
  return std::string("[Renderer process] ") + function +
         "(): more than 1048576 entries in one call, the rest is left out or "
         "null";
}

// One call converts at most kMaxConversionEntries entries, a string one more
// per 64 UTF-16 units of it: past that the rest is left out, with one line.
size_t CountStrings(CefRefPtr<CefListValue> list) {
  size_t strings = 0;
  for (size_t i = 0; i < list->GetSize(); ++i) {
    if (list->GetType(i) == VTYPE_STRING)
      ++strings;
    else if (list->GetType(i) == VTYPE_LIST)
      strings += CountStrings(list->GetList(i));
  }
  return strings;
}

TEST_F(HostilePageTest, OneCallStopsAtTheEntryLimit) {
  ASSERT_EQ(1 << 20, kMaxConversionEntries);
  // The argument and its member take an entry each, so the array fills the
  // limit: the next member is left out unread, and so is the next argument.
  EvalMain(browser_,
           "capture({a: new Array(2 ** 20 - 2).fill(7), get b() { throw 1; "
           "}}, 'next'); 0");
  std::vector<CefRefPtr<CefListValue>> lists = TakeCaptures();
  ASSERT_EQ(1u, lists.size());
  ASSERT_EQ(1u, lists[0]->GetSize());
  CefRefPtr<CefDictionaryValue> members = lists[0]->GetDictionary(0);
  EXPECT_EQ(1u, members->GetSize());
  EXPECT_EQ((1u << 20) - 2, members->GetList("a")->GetSize());
  EXPECT_EQ(
      std::vector<std::string>{EntryLimitLine("V8ObjectToCefDictionaryValue")},
      LogTexts("v8utils"));

  // A long string shared around a cycle is paid for at every turn: 1025
  // entries each, so about a thousand of them arrive.
  standin::ClearLog();
  EvalMain(browser_,
           "const s = 'x'.repeat(2 ** 16); const c = [s]; c.push(c, c, c, c); "
           "capture(c, 'next'); 0");
  lists = TakeCaptures();
  ASSERT_EQ(1u, lists.size());
  EXPECT_EQ(1u, lists[0]->GetSize());
  const size_t strings = CountStrings(lists[0]);
  EXPECT_LE(1000u, strings);
  EXPECT_GE(1022u, strings);
  const std::vector<std::string> lines = LogTexts("v8utils");
  EXPECT_EQ(1, std::count(lines.begin(), lines.end(),
                          EntryLimitLine("V8ValueAppendToCefListValue")));

  // An element that meets the limit is left out unread, as a member is.
  standin::ClearLog();
  EvalMain(browser_,
           "window.ran = []; capture(Object.defineProperty(new Array(2 ** "
           "20), 2 ** 20 - 1, {get() { ran.push('element'); }})); 0");
  lists = TakeCaptures();
  ASSERT_EQ(1u, lists.size());
  EXPECT_EQ((1u << 20) - 1, lists[0]->GetList(0)->GetSize());
  EXPECT_EQ(
      std::vector<std::string>{EntryLimitLine("V8ValueAppendToCefListValue")},
      LogTexts("v8utils"));
  EXPECT_EQ("\"[]\"", EvalMain(browser_, "JSON.stringify(ran)"));

  // Calls nested in one page call (a getter calling the bound function
  // again) share its bound: 655,360 entries a string, so the second does
  // not fit, and one line for the page call.
  standin::ClearLog();
  EvalMain(browser_,
           "const t = 'x'.repeat(40 * 2 ** 20); "
           "capture({get a() { capture(t); return t; }}); 0");
  lists = TakeCaptures();
  ASSERT_EQ(2u, lists.size());
  EXPECT_EQ(VTYPE_STRING, lists[0]->GetType(0));
  EXPECT_EQ(VTYPE_NULL, lists[1]->GetDictionary(0)->GetType("a"));
  EXPECT_EQ(
      std::vector<std::string>{EntryLimitLine("V8ObjectToCefDictionaryValue")},
      LogTexts("v8utils"));
}

// A function's descriptor is paid for as a text (120 units at most, and its
// name) before the function is stored: here 2^20 - 4 numbers leave room for
// the function's entry and two more, that is a name of at most 71 units.
// One that no longer fits arrives as null, stored nowhere, and nothing after
// it is read: no getter, no key listing, no element.
TEST_F(HostilePageTest, FunctionNamesArePaidForAndTheRestIsNotRead) {
  struct Row {
    const char* name;
    const char* function;  // the line's function; nullptr: it fits
  };
  const Row rows[] = {
      {"'a'.repeat(71)", nullptr},
      {"'a'.repeat(72)", "V8ValueAppendToCefListValue"},
      {"'\\u00e9'.repeat(71)", nullptr},
      {"'\\u{10400}'.repeat(36)", "V8ValueAppendToCefListValue"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i << ": " << rows[i].name);
    standin::ClearLog();
    registry().ResetJavascriptCallbacksForTesting();
    EvalMain(browser_,
             std::string("window.ran = []; window.f = eval('(function ' + ") +
                 rows[i].name +
                 " + '() {})'); capture(new Array(2 ** 20 - 4).fill(7), f, "
                 "{get g() { ran.push('getter'); }}, new Proxy({}, {ownKeys() "
                 "{ ran.push('keys'); return []; }}), Object.defineProperty("
                 "[], 0, {get() { ran.push('element'); }})); 0");
    const std::vector<CefRefPtr<CefListValue>> lists = TakeCaptures();
    ASSERT_EQ(1u, lists.size());
    if (!rows[i].function) {
      EXPECT_EQ(VTYPE_STRING, lists[0]->GetType(1));
      EXPECT_EQ(1u, registry().CountJavascriptCallbacksForTesting());
      continue;
    }
    ASSERT_EQ(2u, lists[0]->GetSize());
    EXPECT_EQ(VTYPE_NULL, lists[0]->GetType(1));
    EXPECT_EQ(0u, registry().CountJavascriptCallbacksForTesting());
    EXPECT_EQ(std::vector<std::string>{EntryLimitLine(rows[i].function)},
              LogTexts("v8utils"));
    EXPECT_EQ("\"[]\"", EvalMain(browser_, "JSON.stringify(ran)"));
  }

  // One long name passed many times: 1 + 1564 entries each.
  standin::ClearLog();
  EvalMain(browser_,
           "capture(new Array(20000).fill(eval('(function ' + "
           "'a'.repeat(100000) + '() {})'))); 0");
  std::vector<CefRefPtr<CefListValue>> many = TakeCaptures();
  ASSERT_EQ(1u, many.size());
  ASSERT_EQ(671u, many[0]->GetList(0)->GetSize());
  EXPECT_EQ(VTYPE_STRING, many[0]->GetList(0)->GetType(669));
  EXPECT_EQ(VTYPE_NULL, many[0]->GetList(0)->GetType(670));

  // A short name: two entries each.
  EvalMain(browser_,
           "capture(new Array(2 ** 20 - 1).fill(function f() {})); 0");
  many = TakeCaptures();
  ASSERT_EQ(1u, many.size());
  ASSERT_EQ(524288u, many[0]->GetList(0)->GetSize());
  EXPECT_EQ(VTYPE_STRING, many[0]->GetList(0)->GetType(524286));
  EXPECT_EQ(VTYPE_NULL, many[0]->GetList(0)->GetType(524287));

  // A member pays for its key and its name alike; the next member's getter
  // does not run.
  standin::ClearLog();
  EvalMain(browser_,
           "window.ran = []; capture({a: new Array(2 ** 20 - 4).fill(7), "
           "f: eval('(function ' + 'a'.repeat(128) + '() {})'), get g() { "
           "ran.push('getter'); }}); 0");
  const std::vector<CefRefPtr<CefListValue>> lists = TakeCaptures();
  ASSERT_EQ(1u, lists.size());
  CefRefPtr<CefDictionaryValue> members = lists[0]->GetDictionary(0);
  EXPECT_EQ(2u, members->GetSize());
  EXPECT_EQ(VTYPE_NULL, members->GetType("f"));
  EXPECT_EQ(
      std::vector<std::string>{EntryLimitLine("V8ObjectToCefDictionaryValue")},
      LogTexts("v8utils"));
  EXPECT_EQ("\"[]\"", EvalMain(browser_, "JSON.stringify(ran)"));
}

}  // namespace
}  // namespace quillmoss
