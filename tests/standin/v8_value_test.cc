// CefV8Value as CEF 81 wraps V8 values: kinds fixed in CEF's order, numbers
// that wrap, dates that are not objects, keys with inherited ones, and
// exceptions that never stay pending in the page.
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "include/cef_v8.h"
#include "renderer_test_support.h"

namespace {

using standin_test::ScopedEnter;
using V8ValueTest = standin_test::RendererTest;

enum Kind : unsigned {
  kNone = 0,
  kUndefined = 1 << 0,
  kNull = 1 << 1,
  kBool = 1 << 2,
  kInt = 1 << 3,
  kUInt = 1 << 4,
  kDouble = 1 << 5,
  kDate = 1 << 6,
  kString = 1 << 7,
  kObject = 1 << 8,
  kArray = 1 << 9,
  kFunction = 1 << 10,
};

unsigned KindsOf(CefRefPtr<CefV8Value> value) {
  unsigned kinds = 0;
  kinds |= value->IsUndefined() ? kUndefined : kNone;
  kinds |= value->IsNull() ? kNull : kNone;
  kinds |= value->IsBool() ? kBool : kNone;
  kinds |= value->IsInt() ? kInt : kNone;
  kinds |= value->IsUInt() ? kUInt : kNone;
  kinds |= value->IsDouble() ? kDouble : kNone;
  kinds |= value->IsDate() ? kDate : kNone;
  kinds |= value->IsString() ? kString : kNone;
  kinds |= value->IsObject() ? kObject : kNone;
  kinds |= value->IsArray() ? kArray : kNone;
  kinds |= value->IsFunction() ? kFunction : kNone;
  return kinds;
}

TEST_F(V8ValueTest, KindsFollowCefOrder) {
  const struct {
    const char* script;
    unsigned kinds;
  } kRows[] = {
      {"undefined", kUndefined},
      {"null", kNull},
      {"true", kBool},
      {"-7", kInt | kUInt | kDouble},
      {"2147483647", kInt | kUInt | kDouble},
      {"3000000000", kInt | kUInt | kDouble},
      {"4294967295", kInt | kUInt | kDouble},
      {"1.5", kDouble},
      {"NaN", kDouble},
      {"-0", kDouble},
      {"4294967296", kDouble},
      {"new Date(0)", kDate},
      {"'text'", kString},
      {"[1, 2]", kObject | kArray},
      {"(function named() {})", kObject | kFunction},
      {"({a: 1})", kObject},
      // V8 says a Proxy is no array, whatever its target.
      {"new Proxy([], {})", kObject},
  };
  ScopedEnter enter(context());
  for (size_t i = 0; i < sizeof(kRows) / sizeof(kRows[0]); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + kRows[i].script);
    CefRefPtr<CefV8Value> value = Eval(kRows[i].script);
    ASSERT_TRUE(value);
    EXPECT_TRUE(value->IsValid());
    EXPECT_EQ(kRows[i].kinds, KindsOf(value));
  }
}

TEST_F(V8ValueTest, NumbersConvertAsCefKeepsThem) {
  const struct {
    const char* script;
    int32 as_int;
    uint32 as_uint;
    double as_double;
  } kRows[] = {
      {"-7", -7, 4294967289u, -7},
      {"2147483647", 2147483647, 2147483647u, 2147483647.0},
      {"3000000000", -1294967296, 3000000000u, 3000000000.0},
      {"4294967295", -1, 4294967295u, 4294967295.0},
      {"1.5", 0, 0, 1.5},
  };
  ScopedEnter enter(context());
  for (size_t i = 0; i < sizeof(kRows) / sizeof(kRows[0]); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + kRows[i].script);
    CefRefPtr<CefV8Value> value = Eval(kRows[i].script);
    EXPECT_EQ(kRows[i].as_int, value->GetIntValue());
    EXPECT_EQ(kRows[i].as_uint, value->GetUIntValue());
    EXPECT_EQ(kRows[i].as_double, value->GetDoubleValue());
  }
  EXPECT_TRUE(std::isnan(Eval("NaN")->GetDoubleValue()));
  EXPECT_TRUE(std::signbit(Eval("-0")->GetDoubleValue()));
}

TEST_F(V8ValueTest, DatesCrossBothWays) {
  ScopedEnter enter(context());
  const CefTime time =
      Eval("new Date(Date.UTC(2020, 1, 29, 13, 45, 30, 250))")->GetDateValue();
  EXPECT_EQ(2020, time.year);
  EXPECT_EQ(2, time.month);
  EXPECT_EQ(29, time.day_of_month);
  EXPECT_EQ(6, time.day_of_week);  // a Saturday
  EXPECT_EQ(13, time.hour);
  EXPECT_EQ(45, time.minute);
  EXPECT_EQ(30, time.second);
  EXPECT_EQ(250, time.millisecond);

  CefRefPtr<CefV8Value> date = CefV8Value::CreateDate(time);
  ASSERT_TRUE(context()->GetGlobal()->SetValue("date", date,
                                               V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ("\"2020-02-29T13:45:30.250Z\"",
            PageEval("date.toISOString()").value);

  // Fields no Date can hold make an invalid date, not an overflow.
  CefTime far;
  far.year = std::numeric_limits<int>::max();
  far.month = 1;
  far.day_of_month = 1;
  ASSERT_TRUE(context()->GetGlobal()->SetValue(
      "far", CefV8Value::CreateDate(far), V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ("true", PageEval("isNaN(far.getTime())").value);
  EXPECT_EQ(0, Eval("far")->GetDateValue().year);
}

TEST_F(V8ValueTest, ScalarsOutliveTheirContextObjectsDoNot) {
  CefRefPtr<CefV8Value> text;
  CefRefPtr<CefV8Value> date;
  CefRefPtr<CefV8Value> object;
  {
    ScopedEnter enter(context());
    text = Eval("'kept'");
    date = Eval("new Date(86400000)");
    object = Eval("({a: 1})");
  }
  renderer_->ReleaseContext(browser_id_, main_frame_id_);

  EXPECT_TRUE(text->IsValid());
  EXPECT_EQ("kept", text->GetStringValue().ToString());
  EXPECT_TRUE(date->IsValid());
  EXPECT_EQ(2, date->GetDateValue().day_of_month);
  EXPECT_FALSE(object->IsValid());
  EXPECT_FALSE(object->IsArray());
  EXPECT_EQ(nullptr, object->GetValue("a"));
}

TEST_F(V8ValueTest, ObjectMakersNeedACurrentContext) {
  EXPECT_TRUE(CefV8Value::CreateString("no context needed")->IsValid());
  EXPECT_TRUE(CefV8Value::CreateUInt(3000000000u)->IsInt());
  EXPECT_EQ(nullptr, CefV8Value::CreateObject(nullptr, nullptr));
  EXPECT_EQ(nullptr, CefV8Value::CreateArray(2));
  EXPECT_TRUE(LogContains("not currently in a V8 context"));

  ScopedEnter enter(context());
  CefRefPtr<CefV8Value> array = CefV8Value::CreateArray(3);
  ASSERT_TRUE(array);
  EXPECT_TRUE(array->IsUserCreated());
  EXPECT_EQ(3, array->GetArrayLength());
  EXPECT_TRUE(array->SetValue(1, CefV8Value::CreateInt(5)));
  EXPECT_EQ(5, array->GetValue(1)->GetIntValue());
  EXPECT_EQ(nullptr, array->GetValue(-1));
  EXPECT_FALSE(Eval("[]")->IsUserCreated());
}

TEST_F(V8ValueTest, KeysListInheritedOnesIntegersFirst) {
  ScopedEnter enter(context());
  CefRefPtr<CefV8Value> object = Eval(
      "var base = {inherited: 1};"
      "var o = Object.create(base);"
      "o.b = 1; o[10] = 1; o.a = 1; o[2] = 1;"
      "Object.defineProperty(o, 'hidden', {value: 1, enumerable: false});"
      "o[Symbol('s')] = 1;"
      "o");
  std::vector<CefString> keys;
  ASSERT_TRUE(object->GetKeys(keys));
  std::vector<std::string> names;
  for (const auto& key : keys)
    names.push_back(key.ToString());
  EXPECT_EQ((std::vector<std::string>{"2", "10", "b", "a", "inherited"}),
            names);

  std::vector<CefString> none;
  EXPECT_FALSE(Eval("'text'")->GetKeys(none));
}

TEST_F(V8ValueTest, ThrowingGettersLeaveNothingPending) {
  ScopedEnter enter(context());
  CefRefPtr<CefV8Value> getter =
      Eval("({get boom() { throw new Error('getter'); }})");
  EXPECT_EQ(nullptr, getter->GetValue("boom"));
  ASSERT_TRUE(getter->HasException());
  EXPECT_NE(std::string::npos,
            getter->GetException()->GetMessage().ToString().find("getter"));
  EXPECT_TRUE(getter->ClearException());
  EXPECT_FALSE(getter->HasException());

  // A throwing ownKeys trap aborts CEF in GetKeys() (the death test below);
  // a throwing get trap does not.
  CefRefPtr<CefV8Value> proxy =
      Eval("new Proxy({}, {get() { throw new Error('trap'); }})");
  EXPECT_EQ(nullptr, proxy->GetValue("x"));
  EXPECT_EQ(nullptr, proxy->GetValue(0));

  // Nothing was left pending: the page goes on.
  EXPECT_EQ(3, Eval("1 + 2")->GetIntValue());
  const standin::ScriptResult after = PageEval("'still running'");
  EXPECT_TRUE(after.ok);
  EXPECT_EQ("\"still running\"", after.value);
}

// CEF 81's own calls that abort on page values, played as CEF plays them:
// the renderer's tests (tests/app/hostile_page_test.cc) prove it no longer
// makes them on such values.
using V8ValueDeathTest = V8ValueTest;

TEST_F(V8ValueDeathTest, CefsKeyListingAndFunctionNameAbortOnProxies) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  ScopedEnter enter(context());
  std::vector<CefString> keys;
  EXPECT_DEATH(Eval("new Proxy({}, {ownKeys() { throw 1; }})")->GetKeys(keys),
               "CEF 81 aborts the renderer here: CefV8Value::GetKeys");
  EXPECT_DEATH(Eval("(() => { const r = Proxy.revocable({}, {}); r.revoke(); "
                    "return r.proxy; })()")
                   ->GetKeys(keys),
               "CEF 81 aborts the renderer here: CefV8Value::GetKeys");
  EXPECT_DEATH(Eval("new Uint8Array(2 ** 24 + 1)")->GetKeys(keys),
               "CEF 81 aborts the renderer here: CefV8Value::GetKeys");
  EXPECT_DEATH(Eval("new Proxy(() => 0, {})")->GetFunctionName(),
               "CEF 81 aborts the renderer here: CefV8Value::GetFunctionName");
}

TEST_F(V8ValueTest, SetValueAssignsOrDefines) {
  ScopedEnter enter(context());
  CefRefPtr<CefV8Value> object =
      Eval("var seen = []; var o = {set watched(v) { seen.push(v); }}; o");
  EXPECT_TRUE(object->SetValue("watched", CefV8Value::CreateInt(1),
                               V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_TRUE(object->SetValue("fixed", CefV8Value::CreateInt(2),
                               V8_PROPERTY_ATTRIBUTE_READONLY));
  EXPECT_EQ("[1]", PageEval("seen").value);
  EXPECT_EQ(
      "false",
      PageEval("Object.getOwnPropertyDescriptor(o, 'fixed').writable").value);

  EXPECT_FALSE(object->SetValue("empty", nullptr, V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_TRUE(object->HasValue("fixed"));
  EXPECT_TRUE(object->DeleteValue("watched"));
  EXPECT_FALSE(object->HasValue("watched"));
}

TEST_F(V8ValueTest, InvalidValuesCannotBeSet) {
  CefRefPtr<CefV8Value> stale;
  const int64 child = renderer_->AddFrame(browser_id_, "child");
  renderer_->CreateContext(browser_id_, child);
  {
    CefRefPtr<CefV8Context> child_context =
        renderer_->GetFrame(browser_id_, child)->GetV8Context();
    ScopedEnter enter(child_context);
    CefRefPtr<CefV8Value> retval;
    CefRefPtr<CefV8Exception> exception;
    ASSERT_TRUE(child_context->Eval("({})", "", 1, retval, exception));
    stale = retval;
  }
  renderer_->ReleaseContext(browser_id_, child);

  ScopedEnter enter(context());
  CefRefPtr<CefV8Value> global = context()->GetGlobal();
  // CEF hits NOTREACHED() for both.
  standin::ClearLog();
  const int misuses = standin::CefMisuseCount();
  EXPECT_FALSE(global->SetValue("stale", stale, V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_TRUE(LogContains(
      "CEF NOTREACHED(): CefV8Value::SetValue: invalid input parameter"));
  CefRefPtr<CefV8Value> function = Eval("(function() { return 1; })");
  EXPECT_EQ(nullptr, function->ExecuteFunction(nullptr, {stale}));
  EXPECT_TRUE(
      LogContains("CEF NOTREACHED(): CefV8Value::ExecuteFunction: invalid V8 "
                  "arguments parameter"));
  EXPECT_EQ(nullptr, function->ExecuteFunction(stale, {}));
  EXPECT_TRUE(
      LogContains("CEF NOTREACHED(): CefV8Value::ExecuteFunction: invalid V8 "
                  "object parameter"));
  EXPECT_EQ(misuses + 3, standin::CefMisuseCount());
}

TEST_F(V8ValueTest, ExecuteFunctionCatchesAndChecks) {
  ScopedEnter enter(context());
  CefRefPtr<CefV8Value> is_global =
      Eval("var calls = 0; (function() { ++calls; return this === window; })");
  CefRefPtr<CefV8Value> result = is_global->ExecuteFunction(nullptr, {});
  ASSERT_TRUE(result);
  EXPECT_TRUE(result->GetBoolValue());

  // CEF's wrapper passes a null argument on, and CEF hits NOTREACHED().
  const int misuses = standin::CefMisuseCount();
  EXPECT_EQ(nullptr, is_global->ExecuteFunction(nullptr, {nullptr}));
  EXPECT_EQ(misuses + 1, standin::CefMisuseCount());
  EXPECT_EQ(1, Eval("calls")->GetIntValue()) << "called with a bad argument";

  CefRefPtr<CefV8Value> thrower =
      Eval("(function(a) { throw new Error('thrown ' + a); })");
  EXPECT_EQ(nullptr,
            thrower->ExecuteFunction(nullptr, {CefV8Value::CreateInt(7)}));
  ASSERT_TRUE(thrower->HasException());
  EXPECT_NE(std::string::npos,
            thrower->GetException()->GetMessage().ToString().find("thrown 7"));
  EXPECT_TRUE(PageEval("1").ok);

  CefRefPtr<CefV8Value> receiver = Eval("({n: 4})");
  CefRefPtr<CefV8Value> read_n = Eval("(function() { return this.n; })");
  EXPECT_EQ(4, read_n->ExecuteFunction(receiver, {})->GetIntValue());
}

TEST_F(V8ValueTest, ExecuteFunctionWithContextEntersIt) {
  CefRefPtr<CefV8Value> function;
  {
    ScopedEnter enter(context());
    function = Eval("(function(x) { return x * 2; })");
  }
  ASSERT_FALSE(CefV8Context::InContext());
  EXPECT_EQ(nullptr, function->ExecuteFunction(nullptr, {}));
  CefRefPtr<CefV8Value> result = function->ExecuteFunctionWithContext(
      context(), nullptr, {CefV8Value::CreateInt(21)});
  ASSERT_TRUE(result);
  EXPECT_EQ(42, result->GetIntValue());
  EXPECT_FALSE(CefV8Context::InContext());
}

// Answers reads of any accessor property with its name and notes writes.
class NamingAccessor : public CefV8Accessor {
 public:
  bool Get(const CefString& name,
           const CefRefPtr<CefV8Value> object,
           CefRefPtr<CefV8Value>& retval,
           CefString& exception) override {
    if (name == "broken") {
      exception = "cannot read broken";
      return true;
    }
    retval = CefV8Value::CreateString("value of " + name.ToString());
    return true;
  }
  bool Set(const CefString& name,
           const CefRefPtr<CefV8Value> object,
           const CefRefPtr<CefV8Value> value,
           CefString& exception) override {
    written.push_back(name.ToString() + "=" +
                      std::to_string(value->GetIntValue()));
    return true;
  }

  std::vector<std::string> written;

 private:
  IMPLEMENT_REFCOUNTING(NamingAccessor);
};

TEST_F(V8ValueTest, AccessorPropertiesCallTheAccessor) {
  ScopedEnter enter(context());
  CefRefPtr<NamingAccessor> accessor = new NamingAccessor();
  CefRefPtr<CefV8Value> object = CefV8Value::CreateObject(accessor, nullptr);
  ASSERT_TRUE(object);
  EXPECT_TRUE(object->SetValue("prop", V8_ACCESS_CONTROL_DEFAULT,
                               V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_TRUE(object->SetValue("broken", V8_ACCESS_CONTROL_DEFAULT,
                               V8_PROPERTY_ATTRIBUTE_NONE));
  context()->GetGlobal()->SetValue("o", object, V8_PROPERTY_ATTRIBUTE_NONE);

  EXPECT_EQ("\"value of prop\"", PageEval("o.prop").value);
  EXPECT_TRUE(PageEval("o.prop = 7").ok);
  EXPECT_EQ((std::vector<std::string>{"prop=7"}), accessor->written);
  EXPECT_EQ("Error: cannot read broken", PageEval("o.broken").exception);

  CefRefPtr<CefV8Value> plain = CefV8Value::CreateObject(nullptr, nullptr);
  EXPECT_TRUE(plain->IsUserCreated());
  EXPECT_FALSE(plain->SetValue("prop", V8_ACCESS_CONTROL_DEFAULT,
                               V8_PROPERTY_ATTRIBUTE_NONE));
}

}  // namespace
