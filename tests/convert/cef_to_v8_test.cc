// Host -> page: a stored function called by id, and what it receives.
#include <nlohmann/json.hpp>

#include "app/v8function_handler.h"
#include "cef_standin/simulator/cef_value_json.h"
#include "convert/v8utils.h"
#include "tests/app/app_fixture.h"

namespace quillmoss {
namespace {

// The page describes every argument it receives: its JS type, and its value
// (functions by name).
constexpr char kRecorder[] = R"(
  window.received = [];
  window.describe = v =>
      typeof v === 'function' ? ['function', v.name] :
      Array.isArray(v) ? ['array', v.map(describe)] :
      v !== null && typeof v === 'object'
          ? ['object', Object.fromEntries(
                Object.entries(v).map(([k, m]) => [k, describe(m)]))]
          : [v === null ? 'null' : typeof v, v];
  register(function record(...args) {
    received.push(args.map(describe));
    window.lastArgs = args;
    return 'done';
  });
)";

CefRefPtr<CefListValue> List(const char* json) {
  std::string error;
  CefRefPtr<CefListValue> list =
      standin::JsonToCefList(nlohmann::json::parse(json), &error);
  EXPECT_TRUE(list) << error;
  return list;
}

class CefToV8Test : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    browser_ = CreateBoundBrowser({"register"});
    EvalMain(browser_, kRecorder);
    callback_id_ = registry().GetLastJavascriptCallbackIdForTesting();
    TakeSent();
    standin::ClearLog();
  }

  // Calls the recorder with |arguments| and returns what it received.
  std::string Received(const char* arguments) {
    EvalMain(browser_, "received = []");
    EXPECT_TRUE(registry().ExecuteJavascriptCallback(
        *app_, Browser(), callback_id_, List(arguments)));
    return EvalMain(browser_, "received[0]");
  }

  CefRefPtr<CefBrowser> Browser() { return renderer_->GetBrowser(browser_); }

  int browser_ = 0;
  int callback_id_ = 0;
};

TEST_F(CefToV8Test, ValuesArriveWithTheirJavaScriptTypes) {
  struct Row {
    const char* arguments;
    const char* received;
  };
  const Row rows[] = {
      {"[]", "[]"},
      {R"([null, true, 5, 2.5, "abc"])",
       R"([["null",null],["boolean",true],["number",5],["number",2.5],["string","abc"]])"},
      {R"([{"$double": 5}, -2147483648, ""])",
       R"([["number",5],["number",-2147483648],["string",""]])"},
      {R"([[1, [2]], {"b": {"c": []}, "a": false}])",
       R"([["array",[["number",1],["array",[["number",2]]]]],)"
       R"(["object",{"a":["boolean",false],"b":["object",{"c":["array",[]]}]}]])"},
      {R"([{"$callback": 12}])", R"([["function","python_callback_12"]])"},
      {R"([{"$callback": -3}])", R"([["function","python_callback_-3"]])"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message()
                 << "row " << i << ": " << rows[i].arguments);
    EXPECT_EQ(rows[i].received, Received(rows[i].arguments));
  }
  EXPECT_TRUE(LogTexts("v8utils").empty());
  EXPECT_TRUE(LogTexts("javascript_callback").empty());
}

TEST_F(CefToV8Test, HostCallbackFunctionCallsTheHostById) {
  // Bytes 4 to 19 are not read.
  CefRefPtr<CefListValue> arguments = CefListValue::Create();
  unsigned char bytes[20] = {0x0c, 0, 0, 0, 0xff, 0xee};
  arguments->SetBinary(0, CefBinaryValue::Create(bytes, sizeof(bytes)));
  ASSERT_TRUE(registry().ExecuteJavascriptCallback(*app_, Browser(),
                                                   callback_id_, arguments));
  TakeSent();
  standin::ClearLog();

  EXPECT_EQ("[null,null]",
            EvalMain(browser_, "[lastArgs[0](), lastArgs[0]('x', [1.5])]"));
  const std::vector<standin::SentMessage> sent = TakeSent();
  ASSERT_EQ(2u, sent.size());
  for (const standin::SentMessage& message : sent) {
    EXPECT_EQ(kExecutePythonCallbackMessage,
              message.message->GetName().ToString());
    EXPECT_EQ(MainFrame(browser_), message.frame_id);
  }
  EXPECT_EQ(R"([12,[]])",
            standin::CefListToJson(sent[0].message->GetArgumentList()).dump());
  EXPECT_EQ(R"([12,["x",[1.5]]])",
            standin::CefListToJson(sent[1].message->GetArgumentList()).dump());
  const std::vector<std::string> expected(
      2, "[Renderer process] V8FunctionHandler::Execute(): python callback");
  EXPECT_EQ(expected, LogTexts("v8function_handler"));
}

TEST_F(CefToV8Test, EachConversionMakesANewFunction) {
  ASSERT_TRUE(registry().ExecuteJavascriptCallback(
      *app_, Browser(), callback_id_,
      List(R"([{"$callback": 7}, {"$callback": 7}])")));
  EXPECT_EQ("[false,true]", EvalMain(browser_,
                                     "[lastArgs[0] === lastArgs[1], "
                                     "lastArgs[0].name === lastArgs[1].name]"));
}

TEST_F(CefToV8Test, CallbackIdZeroIsABoundFunctionWithoutAnApplication) {
  ASSERT_TRUE(registry().ExecuteJavascriptCallback(
      *app_, Browser(), callback_id_, List(R"([{"$callback": 0}])")));
  TakeSent();
  EXPECT_EQ(
      "\"[Quillmoss] V8FunctionHandler::Execute() FAILED: function does not "
      "exist: python_callback_0()\"",
      EvalMain(browser_,
               "(() => { try { lastArgs[0](); } catch (e) { return "
               "e.message; } })()"));
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(CefToV8Test, OtherBinaryValuesAndTooDeepListsBecomeNull) {
  EXPECT_EQ(R"([["null",null],["object",{"k":["null",null]}]])",
            Received(R"([{"$binary": "005ed0b2"},
                         {"k": {"$binary": "00112233445566778899aabbccddeeff0011223344"}}])"));
  const std::vector<std::string> expected = {
      "[Renderer process] CefListValueToV8Value(): unknown binary value, "
      "setting value to null",
      "[Renderer process] CefDictionaryValueToV8Value(): unknown binary "
      "value, setting value to null"};
  EXPECT_EQ(expected, LogTexts("v8utils"));

  // The argument stands at level 0: a list or dictionary at level 8
  // arrives as null inside the container at level 7, which keeps its
  // scalars.
  struct Row {
    const char* arguments;
    const char* level_seven;
    const char* function;
  };
  const Row rows[] = {
      {"[[[[[[[[[7, [8]]]]]]]]]]", "[7,null]", "CefListValueToV8Value"},
      {R"([[[[[[[[{"s": 7, "d": {"x": 8}}]]]]]]]])", R"({"d":null,"s":7})",
       "CefDictionaryValueToV8Value"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.arguments);
    standin::ClearLog();
    ASSERT_TRUE(registry().ExecuteJavascriptCallback(
        *app_, Browser(), callback_id_, List(row.arguments)));
    EXPECT_EQ(row.level_seven,
              EvalMain(browser_, "lastArgs[0][0][0][0][0][0][0][0]"));
    EXPECT_EQ(std::vector<std::string>{std::string("[Renderer process] ") +
                                       row.function +
                                       "(): max nesting level (8) exceeded"},
              LogTexts("v8utils"));
  }
}

// One callback's arguments convert at most kMaxConversionEntries entries;
// the rest arrive as null, with one line.
TEST_F(CefToV8Test, EntriesPastTheLimitArriveAsNull) {
  CefRefPtr<CefListValue> numbers = CefListValue::Create();
  numbers->SetSize(kMaxConversionEntries);
  for (int i = 0; i < kMaxConversionEntries; ++i)
    numbers->SetInt(i, 7);
  CefRefPtr<CefListValue> arguments = CefListValue::Create();
  arguments->SetList(0, numbers);
  arguments->SetString(1, "next");
  ASSERT_TRUE(registry().ExecuteJavascriptCallback(*app_, Browser(),
                                                   callback_id_, arguments));
  EXPECT_EQ("[1048576,7,null,null]",
            EvalMain(browser_,
                     "[lastArgs[0].length, lastArgs[0][1048574], "
                     "lastArgs[0][1048575], lastArgs[1]]"));
  EXPECT_EQ(std::vector<std::string>{"[Renderer process] "
                                     "CefListValueToV8Value(): more than "
                                     "1048576 entries in one call, the rest "
                                     "is left out or null"},
            LogTexts("v8utils"));

  // An object reached before the limit keeps its keys, their values null.
  CefRefPtr<CefListValue> fewer = CefListValue::Create();
  fewer->SetSize(kMaxConversionEntries - 2);
  CefRefPtr<CefDictionaryValue> members = CefDictionaryValue::Create();
  members->SetInt("a", 1);
  members->SetString("b", "x");
  CefRefPtr<CefListValue> more = CefListValue::Create();
  more->SetList(0, fewer);
  more->SetDictionary(1, members);
  more->SetString(2, "next");
  ASSERT_TRUE(registry().ExecuteJavascriptCallback(*app_, Browser(),
                                                   callback_id_, more));
  EXPECT_EQ(R"([1048574,["a","b"],null,null,null])",
            EvalMain(browser_,
                     "[lastArgs[0].length, Object.keys(lastArgs[1]), "
                     "lastArgs[1].a, lastArgs[1].b, lastArgs[2]]"));
}

TEST_F(CefToV8Test, ConversionRefusalsGiveNullWithTheirLines) {
  CefRefPtr<CefV8Context> context =
      renderer_->GetFrame(browser_, MainFrame(browser_))->GetV8Context();
  ASSERT_TRUE(context->Enter());
  EXPECT_TRUE(CefListValueToV8Value(*app_, nullptr, 0)->IsNull());
  EXPECT_TRUE(CefDictionaryValueToV8Value(*app_, nullptr, 0)->IsNull());
  EXPECT_TRUE(
      CefListValueToV8Value(*app_, CefListValue::Create(), 9)->IsNull());
  EXPECT_TRUE(
      CefDictionaryValueToV8Value(*app_, CefDictionaryValue::Create(), 9)
          ->IsNull());
  EXPECT_TRUE(CefListValueToV8Arguments(*app_, nullptr).empty());
  CefRefPtr<CefV8Value> empty_array =
      CefListValueToV8Value(*app_, CefListValue::Create(), 8);
  EXPECT_TRUE(empty_array->IsArray());
  EXPECT_EQ(0, empty_array->GetArrayLength());
  context->Exit();
  const std::vector<std::string> expected = {
      "[Renderer process] CefListValueToV8Value(): CefListValue is invalid",
      "[Renderer process] CefDictionaryValueToV8Value(): CefDictionaryValue "
      "is invalid",
      "[Renderer process] CefListValueToV8Value(): max nesting level (8) "
      "exceeded",
      "[Renderer process] CefDictionaryValueToV8Value(): max nesting level "
      "(8) exceeded",
      "[Renderer process] CefListValueToV8Value(): CefListValue is invalid"};
  EXPECT_EQ(expected, LogTexts("v8utils"));
}

// A dictionary from the host may hold an empty key, but CEF's wrapper
// refuses every look-up by one (a debug renderer aborts): the entry is left
// out with a line, at any depth.
TEST_F(CefToV8Test, EntriesUnderAnEmptyKeyAreLeftOut) {
  EXPECT_EQ(R"([["object",{"a":["object",{"b":["number",2]}]}]])",
            Received(R"([{"": 1, "a": {"": [3], "b": 2}}])"));
  EXPECT_EQ(std::vector<std::string>(2,
                                     "[Renderer process] "
                                     "CefDictionaryValueToV8Value(): empty "
                                     "key, entry left out"),
            LogTexts("v8utils"));
}

// Page script can put accessors on Array.prototype at any index. The
// arguments go straight into the call, so those accessors neither see nor
// replace them: every argument arrives as the host sent it, without a line.
// Arrays inside an argument get their elements by assignment (CEF's only way
// to fill an array), so there the page's setters do run.
TEST_F(CefToV8Test, ArgumentsPassNoAccessorOfArrayPrototype) {
  // Counters, not arrays: pushing onto an array would meet the accessors.
  EvalMain(browser_,
           "window.seen = {gets: 0, sets: ''};"
           "for (const i of [1, 2]) {"
           "  Object.defineProperty(Array.prototype, i, {"
           "      get() { ++seen.gets; return 'page'; },"
           "      set(v) { seen.sets += ` ${i}=${v}`; }, configurable: true});"
           "} 0");
  EXPECT_EQ(R"([["number",5],["string","six"],["null",null]])",
            Received(R"([5, "six", null])"));
  EXPECT_EQ(R"({"gets":0,"sets":""})", EvalMain(browser_, "seen"));
  EXPECT_EQ(R"([["array",[["number",7],["string","page"]]]])",
            Received("[[7, 8]]"));
  EXPECT_EQ(R"({"gets":1,"sets":" 1=8"})", EvalMain(browser_, "seen"));
  EXPECT_TRUE(LogTexts("v8utils").empty());
}

TEST_F(CefToV8Test, SameIdRunsAgainAndEveryFailureIsLogged) {
  EXPECT_TRUE(registry().ExecuteJavascriptCallback(*app_, Browser(),
                                                   callback_id_, List("[1]")));
  EXPECT_TRUE(registry().ExecuteJavascriptCallback(*app_, Browser(),
                                                   callback_id_, List("[2]")));
  EXPECT_EQ("[[[\"number\",1]],[[\"number\",2]]]",
            EvalMain(browser_, "received"));

  EXPECT_FALSE(
      registry().ExecuteJavascriptCallback(*app_, Browser(), 42, List("[]")));
  EXPECT_FALSE(
      registry().ExecuteJavascriptCallback(*app_, Browser(), -5, List("[]")));
  // A function that throws keeps its entry.
  EvalMain(browser_, "register(function fails() { throw new Error('no'); })");
  const int failing_id = registry().GetLastJavascriptCallbackIdForTesting();
  standin::ClearLog();
  const int live_before = standin::LiveObjectCount();
  EXPECT_FALSE(registry().ExecuteJavascriptCallback(*app_, Browser(),
                                                    failing_id, List("[]")));
  EXPECT_TRUE(registry().HasJavascriptCallbackForTesting(failing_id));
  // Nor is what it threw kept with it.
  EXPECT_EQ(live_before, standin::LiveObjectCount());
  EXPECT_EQ(std::vector<std::string>{"[Renderer process] "
                                     "ExecuteJavascriptCallback(): "
                                     "callback->ExecuteFunction() failed"},
            LogTexts("javascript_callback"));
}

TEST_F(CefToV8Test, UnknownIdsAndAnEmptyRegistry) {
  EXPECT_FALSE(
      registry().ExecuteJavascriptCallback(*app_, Browser(), 42, List("[]")));
  EXPECT_FALSE(
      registry().ExecuteJavascriptCallback(*app_, Browser(), -5, List("[]")));
  // Unknown ids leave the registry as it was.
  EXPECT_EQ(std::vector<int>{callback_id_},
            registry().GetJavascriptCallbackIdsForTesting());
  renderer_->ReleaseContext(browser_, MainFrame(browser_));
  standin::ClearLog();
  EXPECT_FALSE(registry().ExecuteJavascriptCallback(*app_, Browser(),
                                                    callback_id_, List("[]")));
  const std::vector<std::string> expected = {
      "[Renderer process] ExecuteJavascriptCallback(): callback map is empty"};
  EXPECT_EQ(expected, LogTexts("javascript_callback"));
}

TEST_F(CefToV8Test, AFrameWithoutAContextIsRefusedBeforeAnyEntry) {
  // Store the recorder again under a frame whose context is then gone
  // without the release hook having dropped it.
  const int64 sub = renderer_->AddFrame(browser_, "child");
  CefRefPtr<CefFrame> sub_frame = renderer_->GetFrame(browser_, sub);
  CefRefPtr<CefV8Context> context =
      renderer_->GetFrame(browser_, MainFrame(browser_))->GetV8Context();
  ASSERT_TRUE(context->Enter());
  registry().StoreJavascriptCallback(sub_frame, StoredFunction(callback_id_));
  context->Exit();
  const int id = registry().GetLastJavascriptCallbackIdForTesting();
  standin::ClearLog();

  EXPECT_FALSE(
      registry().ExecuteJavascriptCallback(*app_, Browser(), id, List("[1]")));
  EXPECT_EQ(std::vector<std::string>{"[Renderer process] "
                                     "ExecuteJavascriptCallback(): V8 context "
                                     "not available, id=" +
                                     std::to_string(id)},
            LogTexts("javascript_callback"));
  EXPECT_EQ("[]", EvalMain(browser_, "received"));
}

}  // namespace
}  // namespace quillmoss
