// Page script -> host: what a bound function's call sends, value by value.
#include <nlohmann/json.hpp>

#include "app/v8function_handler.h"
#include "cef_standin/simulator/cef_value_json.h"
#include "convert/v8utils.h"
#include "tests/app/app_fixture.h"

namespace quillmoss {
namespace {

constexpr char kAppendDepthLine[] =
    "[Renderer process] V8ValueAppendToCefListValue(): max nesting level (8) "
    "exceeded";
constexpr char kObjectDepthLine[] =
    "[Renderer process] V8ObjectToCefDictionaryValue(): max nesting level (8) "
    "exceeded";

class V8ToCefTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    browser_ = CreateBoundBrowser({"capture"});
  }

  // Calls capture(<arguments>) from page script and returns the argument
  // list the host received, in its JSON form.
  std::string Capture(const std::string& arguments) {
    EXPECT_EQ("null", EvalMain(browser_, "capture(" + arguments + ")"));
    const std::vector<standin::SentMessage> sent = TakeSent();
    EXPECT_EQ(1u, sent.size());
    if (sent.size() != 1)
      return std::string();
    CefRefPtr<CefListValue> message_args = sent[0].message->GetArgumentList();
    EXPECT_EQ("capture", message_args->GetString(0).ToString());
    EXPECT_EQ(VTYPE_LIST, message_args->GetType(1));
    return standin::CefListToJson(message_args->GetList(1)).dump();
  }

  int browser_ = 0;
};

TEST_F(V8ToCefTest, ScalarsFollowTheConversionTable) {
  struct Row {
    const char* arguments;
    const char* expected;
  };
  const Row rows[] = {
      {"", "[]"},
      {"undefined, null", "[null,null]"},
      {"new Date(0)", "[null]"},
      {"true, false", "[true,false]"},
      {"-7, 2147483647, -2147483648, 0", "[-7,2147483647,-2147483648,0]"},
      {"1.5, -0.25, 4294967296, -2147483649",
       "[1.5,-0.25,4294967296.0,-2147483649.0]"},
      // CEF's values hold no NaN or infinity: they arrive as 0.
      {"-0, NaN, Infinity, -Infinity", "[-0.0,0.0,0.0,0.0]"},
      // Whole numbers past the int range travel as their four bytes.
      {"3000000000, 4294967295, 2147483648",
       R"([{"$binary":"005ed0b2"},{"$binary":"ffffffff"},{"$binary":"00000080"}])"},
      {"'text', '', 'gr\\u00fc\\u00dfe \\ud83d\\ude00'",
       "[\"text\",\"\",\"gr\xC3\xBC\xC3\x9F"
       "e \xF0\x9F\x98\x80\"]"},
      {"[1, [2, 3]], []", "[[1,[2,3]],[]]"},
      {"[1, , 3]", "[[1,null,3]]"},
      {"{b: 1, a: 'x', 2: true, 1: null}, {}",
       R"([{"1":null,"2":true,"a":"x","b":1},{}])"},
      {"Object.create({inherited: 1})", R"([{"inherited":1}])"},
      // Typed arrays are no arrays for CEF.
      {"new Uint8Array([5, 6])", R"([{"0":5,"1":6}])"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message()
                 << "row " << i << ": " << rows[i].arguments);
    EXPECT_EQ(rows[i].expected, Capture(rows[i].arguments));
  }
  // Dates are dropped on purpose: no row above logs anything.
  EXPECT_EQ(std::vector<std::string>(), LogTexts("v8utils"));
}

// State libraries (Vue's reactive(), MobX's observable()) keep a page's
// arrays in Proxies, which V8 and CEF do not call arrays. This one behaves
// as theirs do: every trap forwards, and nested values are wrapped on read.
constexpr char kReactive[] =
    "window.reactive = function reactive(target) {"
    "  return new Proxy(target, {"
    "    get(t, k, r) { const v = Reflect.get(t, k, r);"
    "      return v !== null && typeof v === 'object' ? reactive(v) : v; },"
    "    has(t, k) { return Reflect.has(t, k); },"
    "    ownKeys(t) { return Reflect.ownKeys(t); },"
    "    getOwnPropertyDescriptor(t, k) {"
    "      return Reflect.getOwnPropertyDescriptor(t, k); }});"
    "}";

TEST_F(V8ToCefTest, ProxiedArraysArriveAsLists) {
  EvalMain(browser_, kReactive);
  struct Row {
    const char* arguments;
    const char* expected;
  };
  const Row rows[] = {
      {"reactive(['a', 'b']), reactive([])", R"([["a","b"],[]])"},
      {"reactive({tags: ['a', 'b']}), [reactive([1, , 3])]",
       R"([{"tags":["a","b"]},[[1,null,3]]])"},
      // Past ten elements a dictionary would order them as text.
      {"reactive([0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11])",
       "[[0,1,2,3,4,5,6,7,8,9,10,11]]"},
      {"reactive([{n: 1}, {n: [2]}]), reactive(reactive([1]))",
       R"([[{"n":1},{"n":[2]}],[1]])"},
      // Not arrays in JavaScript's sense: as before.
      {"{0: 'a', 1: 'b'}, reactive({0: 'a'}), reactive(new Uint8Array([5]))",
       R"([{"0":"a","1":"b"},{"0":"a"},{"0":5}])"},
      {"new Map([[1, 2]]), new Set([1]), new ArrayBuffer(2), reactive({})",
       "[{},{},{},{}]"},
      // A proxied array arrives as the array would, and is never listed:
      // its other members are not elements.
      {"Object.assign(reactive([1]), {extra: 2})", "[[1]]"},
      // The context's own Array.isArray decides, whatever the page put there.
      {"(Array.isArray = () => true, {0: 'x'}), reactive([1])",
       R"([{"0":"x"},[1]])"},
      {"(Array.isArray = () => false, reactive([1]))", "[[1]]"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message()
                 << "row " << i << ": " << rows[i].arguments);
    EXPECT_EQ(rows[i].expected, Capture(rows[i].arguments));
  }
  EXPECT_EQ(std::vector<std::string>(), LogTexts("v8utils"));
}

// The renderer lists keys with its context's describer, never with CEF's
// GetKeys(), which aborts on a throwing trap: on every value CEF can list,
// both give the same keys in the same order and run the same traps, each as
// often (a level's getPrototypeOf trap runs before its ownKeys here).
TEST_F(V8ToCefTest, KeysAreListedAsCefListsThem) {
  EvalMain(browser_,
           "window.log = []; window.traced = (t) => new Proxy(t, {"
           "  ownKeys(o) { log.push('ownKeys'); return Reflect.ownKeys(o); },"
           "  getOwnPropertyDescriptor(o, k) { log.push('gopd ' + k);"
           "    return Reflect.getOwnPropertyDescriptor(o, k); },"
           "  getPrototypeOf(o) { log.push('proto');"
           "    return Reflect.getPrototypeOf(o); }});");
  const char* const rows[] = {
      "({b: 1, a: 2, 10: 3, 2: 4, [Symbol('s')]: 5})",
      "Object.create({inherited: 1, b: 2}, {b: {value: 3, enumerable: true}})",
      "Object.create({hidden: 1}, {hidden: {value: 2}})",
      "Object.assign(Object.create(null), {x: 1})",
      "new Uint8Array([1, 2])",
      "new String('ab')",
      "traced({a: 1, b: 2})",
      "traced(Object.create(traced({c: 1, a: 0}), {a: {value: 1}}))",
      "Object.create(traced({p: 1}))",
      "(() => { class C { m() {} } return Object.assign(new C, {k: 1}); })()",
  };
  CefRefPtr<CefV8Context> context =
      renderer_->GetFrame(browser_, MainFrame(browser_))->GetV8Context();
  ASSERT_TRUE(context->Enter());
  CefRefPtr<CefV8Value> describer = app_->GetCurrentContextValueDescriber();
  ASSERT_TRUE(describer);
  auto listing = [&](const std::string& code, bool by_cef) {
    CefRefPtr<CefV8Value> value;
    CefRefPtr<CefV8Value> log;
    CefRefPtr<CefV8Exception> exception;
    EXPECT_TRUE(context->Eval(code, CefString(), 0, value, exception));
    context->Eval("log.length = 0", CefString(), 0, log, exception);
    std::string keys;
    if (by_cef) {
      std::vector<CefString> listed;
      EXPECT_TRUE(value->GetKeys(listed));
      for (const CefString& key : listed)
        keys += std::to_string(key.length()) + ":" + key.ToString();
    } else {
      CefRefPtr<CefV8Value> form = describer->ExecuteFunction(
          nullptr, {value, CefV8Value::CreateInt(1)});
      keys = form ? form->GetStringValue().ToString().substr(1) : "threw";
    }
    context->Eval("log.sort().join()", CefString(), 0, log, exception);
    return keys + " / " + log->GetStringValue().ToString();
  };
  for (const char* row : rows) {
    SCOPED_TRACE(row);
    EXPECT_EQ(listing(row, true), listing(row, false));
  }
  context->Exit();
}

TEST_F(V8ToCefTest, FunctionsAreStoredAndTravelAsDescriptors) {
  EXPECT_EQ(nlohmann::json({Descriptor(browser_, 1, "onDone"),
                            Descriptor(browser_, 2, "onDone"),
                            {{"cb", Descriptor(browser_, 3, "cb")}},
                            Descriptor(browser_, 4, "")})
                .dump(),
            Capture("window.onDone = function onDone() {}, onDone, "
                    "{cb: () => 1}, (() => 1)"));
  EXPECT_EQ(4u, registry().CountJavascriptCallbacksForTesting());
  EXPECT_EQ(MainFrame(browser_), StoredFrame(1)->GetIdentifier());
  // A long name is paid for, not cut: far from the entry limit it arrives.
  const std::string long_name(100000, 'n');
  EXPECT_EQ(nlohmann::json({Descriptor(browser_, 5, long_name)}).dump(),
            Capture("eval('(function ' + 'n'.repeat(100000) + '() {})')"));
  EXPECT_EQ(std::vector<std::string>(), LogTexts("v8utils"));
}

TEST_F(V8ToCefTest, SelfReferenceEndsAtTheNestingLimit) {
  // Nine dictionaries, the innermost empty, one line.
  std::string nested_dicts = "{}";
  for (int i = 0; i < 8; ++i)
    nested_dicts = "{\"self\":" + nested_dicts + "}";
  EXPECT_EQ("[" + nested_dicts + "]",
            Capture("(() => { const o = {}; o.self = o; return o; })()"));
  EXPECT_EQ(std::vector<std::string>{kObjectDepthLine}, LogTexts("v8utils"));

  standin::ClearLog();
  std::string nested_lists = "[]";
  for (int i = 0; i < 8; ++i)
    nested_lists = "[" + nested_lists + "]";
  EXPECT_EQ("[" + nested_lists + "]",
            Capture("(() => { const a = []; a.push(a); return a; })()"));
  EXPECT_EQ(std::vector<std::string>{kAppendDepthLine}, LogTexts("v8utils"));
}

TEST_F(V8ToCefTest, EightNestedArraysKeepTheirScalarsANinthArrivesEmpty) {
  EvalMain(browser_, kReactive);
  struct Row {
    const char* arguments;
    const char* expected;
    size_t lines;
  };
  const Row rows[] = {
      // One line per element of the array that stood at level 8.
      {"[[[[[[[[1, [2, 3]]]]]]]]]", "[[[[[[[[[1,[]]]]]]]]]]", 2},
      {"[[[[[[[[1, reactive([2, 3])]]]]]]]]", "[[[[[[[[[1,[]]]]]]]]]]", 2},
      {"reactive([[[[[[[[1, [2, 3]]]]]]]]])", "[[[[[[[[[1,[]]]]]]]]]]", 2},
      // At level 9 it is left out, as an element there is.
      {"[[[[[[[[[1, reactive([2])]]]]]]]]]", "[[[[[[[[[[]]]]]]]]]]", 2},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments);
    standin::ClearLog();
    EXPECT_EQ(row.expected, Capture(row.arguments));
    EXPECT_EQ(std::vector<std::string>(row.lines, kAppendDepthLine),
              LogTexts("v8utils"));
  }
}

TEST_F(V8ToCefTest, ThrowingGettersAndTrapsBecomeNullAndDoNotReachThePage) {
  EXPECT_EQ(R"([{"a":1,"b":null,"c":2},[1,null,3]])",
            Capture("{a: 1, get b() { throw new Error('getter'); }, c: 2}, "
                    "Object.defineProperty([1, 2, 3], 1, "
                    "{get() { throw 1; }})"));
  const std::vector<std::string> expected = {
      "[Renderer process] V8ObjectToCefDictionaryValue(): unknown V8 type",
      "[Renderer process] V8ValueAppendToCefListValue(): IsValid() failed"};
  EXPECT_EQ(expected, LogTexts("v8utils"));

  // A throwing ownKeys trap aborts CEF itself (the death test of
  // hostile_page_test.cc); a throwing get trap is one member's null.
  standin::ClearLog();
  EXPECT_EQ("[{\"k\":null}]",
            Capture("new Proxy({k: 1}, {get() { throw new Error('get'); }})"));
  const std::vector<std::string> proxy_lines = {
      "[Renderer process] V8ObjectToCefDictionaryValue(): unknown V8 type"};
  EXPECT_EQ(proxy_lines, LogTexts("v8utils"));

  // A proxied array's throwing trap gives what an element's throwing getter
  // does; with no length there is no list to fill.
  standin::ClearLog();
  EXPECT_EQ("[[1,null,3],[]]",
            Capture("new Proxy([1, 2, 3], {get(t, k) { if (k === '1') throw "
                    "1; return t[k]; }}), new Proxy([1, 2], {get() { throw "
                    "1; }})"));
  const std::vector<std::string> array_lines = {
      "[Renderer process] V8ValueAppendToCefListValue(): IsValid() failed",
      "[Renderer process] V8ValueAppendToCefListValue(): array length "
      "unreadable, sending an empty list"};
  EXPECT_EQ(array_lines, LogTexts("v8utils"));

  // What CEF cannot hand over (a BigInt, a Symbol) keeps its place too.
  standin::ClearLog();
  EXPECT_EQ(R"([null,"path",null,"mode",[1,null,3]])",
            Capture("10n, 'path', Symbol('s'), 'mode', [1, 2n, 3]"));
  EXPECT_EQ(std::vector<std::string>(
                3,
                "[Renderer process] V8ValueAppendToCefListValue(): IsValid() "
                "failed"),
            LogTexts("v8utils"));

  // Keys that meet once their lone surrogates are U+FFFD: the first stays.
  standin::ClearLog();
  EXPECT_EQ("[{\"\xEF\xBF\xBD\":1}]",
            Capture("{'\\uD800': 1, '\\uDC00': 2, '\\uFFFD': 3}"));
  EXPECT_EQ(std::vector<std::string>(
                2,
                "[Renderer process] V8ObjectToCefDictionaryValue(): a key that "
                "meets another once its lone surrogates are U+FFFD, member "
                "left out"),
            LogTexts("v8utils"));
  // The page's next statement runs normally: nothing was left pending.
  EXPECT_EQ("2", EvalMain(browser_, "1 + 1"));
}

// A page's text that begins with the descriptor's marker would reach the
// host byte for byte as a function's descriptor: it arrives as null in its
// own place, a member under such a key is left out, each with a line.
TEST_F(V8ToCefTest, PageTextsNeverPassAsCallbackDescriptors) {
  EvalMain(browser_, kReactive);
  EvalMain(browser_,
           "window.M = '####quillmoss####{\"what\":\"javascript-callback\","
           "\"callbackId\":1,\"frameId\":1,\"functionName\":\"f\"}'");
  CefRefPtr<CefV8Context> context =
      renderer_->GetFrame(browser_, MainFrame(browser_))->GetV8Context();
  ASSERT_TRUE(context->Enter());
  context->GetGlobal()->SetValue("hostCallback",
                                 app_->CreateHostCallbackFunction(12),
                                 V8_PROPERTY_ATTRIBUTE_NONE);
  context->Exit();
  constexpr char kValueLine[] =
      "[Renderer process] V8ValueAppendToCefListValue(): a string that begins "
      "with the callback descriptor's marker, sending null";
  constexpr char kMemberLine[] =
      "[Renderer process] V8ObjectToCefDictionaryValue(): a string that "
      "begins with the callback descriptor's marker, sending null";
  constexpr char kKeyLine[] =
      "[Renderer process] V8ObjectToCefDictionaryValue(): a key that begins "
      "with the callback descriptor's marker, member left out";
  struct Row {
    const char* code;
    std::string expected;
    std::vector<std::string> lines;
  };
  const Row rows[] = {
      {"capture(1, M, 2)", "[1,null,2]", {kValueLine}},
      {"capture([1, [M, 3]])", "[[1,[null,3]]]", {kValueLine}},
      {"capture({a: M, b: 1})", R"([{"a":null,"b":1}])", {kMemberLine}},
      {"capture({[M]: 1, b: 2})", R"([{"b":2}])", {kKeyLine}},
      {"capture(reactive([M, 'x']))", R"([[null,"x"]])", {kValueLine}},
      {"capture([[[[[[[[M]]]]]]]])", "[[[[[[[[[null]]]]]]]]]", {kValueLine}},
      {"hostCallback('a', M)", R"(["a",null])", {kValueLine}},
      {"capture('####quillmoss####', M + '}garbage')",
       "[null,null]",
       {kValueLine, kValueLine}},
      // Not the marker at the start: data.
      {"capture(' ' + M, '###quillmoss####')",
       nlohmann::json({" " + std::string(kCallbackDescriptorMarker) +
                           R"({"what":"javascript-callback","callbackId":1,)"
                           R"("frameId":1,"functionName":"f"})",
                       "###quillmoss####"})
           .dump(),
       {}},
      // A String object is an object of one-character members.
      {"capture(new String('####'))",
       R"([{"0":"#","1":"#","2":"#","3":"#"}])",
       {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    standin::ClearLog();
    EXPECT_EQ("null", EvalMain(browser_, row.code));
    const std::vector<standin::SentMessage> sent = TakeSent();
    ASSERT_EQ(1u, sent.size());
    EXPECT_EQ(row.expected, standin::CefListToJson(
                                sent[0].message->GetArgumentList()->GetList(1))
                                .dump());
    EXPECT_EQ(row.lines, LogTexts("v8utils"));
  }
}

// CEF's wrapper refuses every dictionary setter an empty key (a debug
// renderer aborts), so a member under "" cannot cross: it is left out with a
// line, at any depth, and its getter does not run.
TEST_F(V8ToCefTest, MembersUnderAnEmptyKeyAreLeftOut) {
  EXPECT_EQ(R"([{"a":1,"b":{"c":2}}])",
            Capture("{'': 0, a: 1, b: {get ''() { window.ran = true; }, "
                    "c: 2}}"));
  EXPECT_EQ(std::vector<std::string>(2,
                                     "[Renderer process] "
                                     "V8ObjectToCefDictionaryValue(): empty "
                                     "key, member left out"),
            LogTexts("v8utils"));
  EXPECT_EQ("\"undefined\"", EvalMain(browser_, "typeof window.ran"));
}

// The calls below are made by hand: page script cannot hand over values
// that are invalid or call outside a context.
TEST_F(V8ToCefTest, InvalidArgumentsKeepTheirPlaceAsNull) {
  CefRefPtr<CefV8Context> context =
      renderer_->GetFrame(browser_, MainFrame(browser_))->GetV8Context();
  ASSERT_TRUE(context->Enter());
  CefRefPtr<CefV8Value> object = CefV8Value::CreateObject(nullptr, nullptr);
  context->Exit();
  renderer_->ReleaseContext(browser_, MainFrame(browser_));
  ASSERT_FALSE(object->IsValid());
  standin::ClearLog();

  const CefV8ValueList arguments = {CefV8Value::CreateInt(1), object, nullptr,
                                    CefV8Value::CreateString("third")};
  EXPECT_EQ(R"([1,null,null,"third"])",
            standin::CefListToJson(V8ArgumentsToCefListValue(*app_, arguments))
                .dump());
  EXPECT_EQ(std::vector<std::string>(2,
                                     "[Renderer process] "
                                     "V8ValueAppendToCefListValue(): "
                                     "IsValid() failed"),
            LogTexts("v8utils"));

  standin::ClearLog();
  EXPECT_EQ(0u, V8ObjectToCefDictionaryValue(*app_, object, 0)->GetSize());
  EXPECT_EQ(0u, V8ObjectToCefDictionaryValue(*app_, CefV8Value::CreateInt(3), 0)
                    ->GetSize());
  EXPECT_EQ(0u, V8ObjectToCefDictionaryValue(*app_, CefV8Value::CreateInt(3), 9)
                    ->GetSize());
  const std::vector<std::string> expected = {
      "[Renderer process] V8ObjectToCefDictionaryValue(): IsValid() failed",
      "[Renderer process] V8ObjectToCefDictionaryValue(): IsObject() failed",
      kObjectDepthLine};
  EXPECT_EQ(expected, LogTexts("v8utils"));
}

TEST_F(V8ToCefTest, HandlerRefusesCallsOutsideAContext) {
  CefRefPtr<V8FunctionHandler> handler = new V8FunctionHandler(app_.get(), 0);
  CefRefPtr<CefV8Value> retval;
  CefString exception("unchanged");
  EXPECT_FALSE(handler->Execute("capture", nullptr, CefV8ValueList(), retval,
                                exception));
  EXPECT_FALSE(retval);
  EXPECT_EQ("unchanged", exception.ToString());
  EXPECT_TRUE(TakeSent().empty());
  const std::vector<std::string> expected = {
      "[Renderer process] V8FunctionHandler::Execute(): not inside a V8 "
      "context"};
  EXPECT_EQ(expected, LogTexts("v8function_handler"));

  // A function has no frame to be stored for outside a context.
  CefRefPtr<CefV8Context> context =
      renderer_->GetFrame(browser_, MainFrame(browser_))->GetV8Context();
  ASSERT_TRUE(context->Enter());
  CefRefPtr<CefV8Value> function;
  CefRefPtr<CefV8Exception> thrown;
  ASSERT_TRUE(
      context->Eval("(function f() {})", CefString(), 0, function, thrown));
  context->Exit();
  EXPECT_EQ("[null]",
            standin::CefListToJson(V8ArgumentsToCefListValue(*app_, {function}))
                .dump());
  EXPECT_EQ(std::vector<std::string>{"[Renderer process] "
                                     "V8ValueAppendToCefListValue(): not in "
                                     "V8 context"},
            LogTexts("v8utils"));
  EXPECT_EQ(0u, registry().CountJavascriptCallbacksForTesting());
}

TEST_F(V8ToCefTest, TwoCallsSendTwoMessagesInOrder) {
  EvalMain(browser_, "capture(1); capture(2)");
  const std::vector<standin::SentMessage> sent = TakeSent();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ(1, sent[0].message->GetArgumentList()->GetList(1)->GetInt(0));
  EXPECT_EQ(2, sent[1].message->GetArgumentList()->GetList(1)->GetInt(0));
  const std::vector<std::string> expected(
      2, "[Renderer process] V8FunctionHandler::Execute(): js binding");
  EXPECT_EQ(expected, LogTexts("v8function_handler"));
}

}  // namespace
}  // namespace quillmoss
