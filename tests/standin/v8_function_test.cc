// Functions made by CefV8Value::CreateFunction: what their handler sees, what
// the page gets back, and how long the handler lives.
#include <string>
#include <utility>

#include "cef_standin/src/renderer_internal.h"
#include "gtest/gtest.h"
#include "include/cef_v8.h"
#include "renderer_test_support.h"

namespace {

using standin_test::ScopedEnter;
using V8FunctionTest = standin_test::RendererTest;

// Answers with what the test sets; counts its calls and its own life.
class ScriptedHandler : public CefV8Handler {
 public:
  explicit ScriptedHandler(int* alive = nullptr) : alive_(alive) {
    if (alive_)
      ++*alive_;
  }
  ~ScriptedHandler() override {
    if (alive_)
      --*alive_;
  }

  // CefV8Handler methods:
  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override {
    ++calls;
    last_name = name.ToString();
    last_receiver = object;
    last_arguments = arguments;
    retval = next_retval;
    exception = next_exception;
    return handled;
  }

  int calls = 0;
  std::string last_name;
  CefRefPtr<CefV8Value> last_receiver;
  CefV8ValueList last_arguments;
  bool handled = true;
  CefRefPtr<CefV8Value> next_retval;
  CefString next_exception;

 private:
  int* const alive_;
  IMPLEMENT_REFCOUNTING(ScriptedHandler);
};

TEST_F(V8FunctionTest, HandlerSeesNameReceiverAndArguments) {
  ScopedEnter enter(context());
  CefRefPtr<ScriptedHandler> handler = new ScriptedHandler();
  CefRefPtr<CefV8Value> function =
      CefV8Value::CreateFunction("nativeCall", handler.get());
  ASSERT_TRUE(function);
  EXPECT_TRUE(function->IsFunction());
  EXPECT_TRUE(function->IsUserCreated());
  EXPECT_EQ("nativeCall", function->GetFunctionName().ToString());
  EXPECT_EQ(handler.get(), function->GetFunctionHandler().get());
  ASSERT_TRUE(context()->GetGlobal()->SetValue("f", function,
                                               V8_PROPERTY_ATTRIBUTE_NONE));
  EXPECT_EQ("\"nativeCall\"", PageEval("f.name").value);

  handler->next_retval = CefV8Value::CreateString("answer");
  EXPECT_EQ("\"answer\"", PageEval("var r = {id: 3}; r.f = f; "
                                   "r.f(1, 'two', [3], new Date(0))")
                              .value);
  EXPECT_EQ("nativeCall", handler->last_name);
  EXPECT_EQ(3, handler->last_receiver->GetValue("id")->GetIntValue());
  ASSERT_EQ(4u, handler->last_arguments.size());
  EXPECT_TRUE(handler->last_arguments[0]->IsInt());
  EXPECT_EQ("two", handler->last_arguments[1]->GetStringValue().ToString());
  EXPECT_TRUE(handler->last_arguments[2]->IsArray());
  EXPECT_TRUE(handler->last_arguments[3]->IsDate());
  handler->last_receiver = nullptr;
  handler->last_arguments.clear();
}

TEST_F(V8FunctionTest, OutcomeOfExecuteReachesThePage) {
  ScopedEnter enter(context());
  CefRefPtr<ScriptedHandler> handler = new ScriptedHandler();
  context()->GetGlobal()->SetValue(
      "f", CefV8Value::CreateFunction("f", handler.get()),
      V8_PROPERTY_ATTRIBUTE_NONE);

  handler->next_exception = "Bad input: \"x\"";
  handler->next_retval = CefV8Value::CreateInt(1);
  EXPECT_EQ("[true,\"Bad input: \\\"x\\\"\"]",
            PageEval("try { f(); 'no throw' } catch (e) {"
                     "  [e instanceof Error, e.message] }")
                .value);

  handler->next_exception = CefString();
  handler->handled = false;
  EXPECT_EQ("undefined", PageEval("f()").value);

  handler->handled = true;
  handler->next_retval = nullptr;
  EXPECT_EQ("undefined", PageEval("f()").value);
  EXPECT_EQ(3, handler->calls);
}

TEST_F(V8FunctionTest, CreateFunctionRefusesWithoutHandlerOrContext) {
  EXPECT_EQ(nullptr, CefV8Value::CreateFunction("f", new ScriptedHandler()));
  ScopedEnter enter(context());
  EXPECT_EQ(nullptr, CefV8Value::CreateFunction("f", nullptr));
}

TEST_F(V8FunctionTest, PageKeepsTheHandlerAliveUntilCollected) {
  int alive = 0;
  {
    ScopedEnter enter(context());
    CefRefPtr<ScriptedHandler> handler = new ScriptedHandler(&alive);
    handler->next_retval = CefV8Value::CreateInt(9);
    context()->GetGlobal()->SetValue(
        "kept", CefV8Value::CreateFunction("kept", handler.get()),
        V8_PROPERTY_ATTRIBUTE_NONE);
  }
  standin::internal::CollectGarbageForTesting();
  ASSERT_EQ(1, alive);
  EXPECT_EQ("9", PageEval("kept()").value);

  // As in CEF, the release leaves the handler to V8's collection.
  renderer_->ReleaseContext(browser_id_, main_frame_id_);
  EXPECT_EQ(1, alive);
  standin::internal::CollectGarbageForTesting();
  EXPECT_EQ(0, alive);
}

// What a handler sees when a function is called after its context went.
class FramelessProbe : public CefV8Handler {
 public:
  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override {
    ++calls;
    in_context = CefV8Context::InContext();
    CefRefPtr<CefV8Context> current = CefV8Context::GetCurrentContext();
    current_valid = current && current->IsValid();
    has_browser = current && current->GetBrowser();
    has_frame = current && current->GetFrame();
    for (const CefRefPtr<CefV8Value>& argument : arguments)
      valid_arguments += argument && argument->IsValid();
    if (arguments.size() == 2) {
      object_argument = arguments[0]->IsObject();
      function_name = arguments[1]->GetFunctionName().ToString();
    }
    retval = CefV8Value::CreateInt(static_cast<int32>(arguments.size()));
    return true;
  }

  int calls = 0;
  bool in_context = false;
  bool current_valid = false;
  bool has_browser = true;
  bool has_frame = true;
  int valid_arguments = 0;
  bool object_argument = false;
  std::string function_name;

 private:
  IMPLEMENT_REFCOUNTING(FramelessProbe);
};

// Page script of another frame may keep a function (a parent holding an
// iframe's global) and call it after the function's context was released.
// CEF then still runs the handler, in that old context, now frameless.
TEST_F(V8FunctionTest, KeptFunctionRunsFramelessAfterItsContextWent) {
  const int64 child = renderer_->AddFrame(browser_id_, "child");
  renderer_->CreateContext(browser_id_, child);
  CefRefPtr<FramelessProbe> probe = new FramelessProbe();
  {
    CefRefPtr<CefV8Context> child_context =
        renderer_->GetFrame(browser_id_, child)->GetV8Context();
    ScopedEnter enter(child_context);
    child_context->GetGlobal()->SetValue(
        "probe", CefV8Value::CreateFunction("probe", probe.get()),
        V8_PROPERTY_ATTRIBUTE_NONE);
  }
  ASSERT_TRUE(renderer_->KeepValue(browser_id_, child, "probe", main_frame_id_,
                                   "kept"));
  renderer_->ReleaseContext(browser_id_, child);
  standin::internal::CollectGarbageForTesting();

  const standin::ScriptResult result =
      PageEval("kept({a: 1}, function done() {})");
  EXPECT_TRUE(result.ok) << result.exception;
  EXPECT_EQ("2", result.value);
  EXPECT_EQ(1, probe->calls);
  EXPECT_TRUE(probe->in_context);
  EXPECT_TRUE(probe->current_valid);
  EXPECT_FALSE(probe->has_browser);
  EXPECT_FALSE(probe->has_frame);
  EXPECT_EQ(2, probe->valid_arguments);
  EXPECT_TRUE(probe->object_argument);
  EXPECT_EQ("done", probe->function_name);
}

TEST_F(V8FunctionTest, CollectedFunctionReleasesItsHandler) {
  int alive = 0;
  {
    ScopedEnter enter(context());
    CefRefPtr<CefV8Value> function =
        CefV8Value::CreateFunction("dropped", new ScriptedHandler(&alive));
    ASSERT_EQ(1, alive);
  }
  // Only the page's heap held the function, and nothing there refers to it.
  standin::internal::CollectGarbageForTesting();
  EXPECT_EQ(0, alive);
}

TEST_F(V8FunctionTest, HandlerMayCallBackIntoThePage) {
  class Reentrant : public CefV8Handler {
   public:
    bool Execute(const CefString& name,
                 CefRefPtr<CefV8Value> object,
                 const CefV8ValueList& arguments,
                 CefRefPtr<CefV8Value>& retval,
                 CefString& exception) override {
      // Inside the call the function's context is current.
      CefRefPtr<CefV8Context> current = CefV8Context::GetCurrentContext();
      if (!current || !current->IsValid()) {
        exception = "no current context";
        return true;
      }
      retval = arguments[0]->ExecuteFunction(nullptr, {});
      return true;
    }

   private:
    IMPLEMENT_REFCOUNTING(Reentrant);
  };
  ScopedEnter enter(context());
  context()->GetGlobal()->SetValue(
      "callIt", CefV8Value::CreateFunction("callIt", new Reentrant()),
      V8_PROPERTY_ATTRIBUTE_NONE);
  EXPECT_EQ("\"inner\"", PageEval("callIt(() => 'inner')").value);
}

}  // namespace
