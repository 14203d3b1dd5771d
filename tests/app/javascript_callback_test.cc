// The registry of JavaScript functions handed to the host: ids, the
// descriptor and removal per frame.
#include <limits>

#include "app/v8function_handler.h"
#include "tests/app/app_fixture.h"
#include "tests/app/fake_cef.h"

namespace quillmoss {
namespace {

class JavascriptCallbackTest : public AppFixture {
 protected:
  void SetUp() override {
    AppFixture::SetUp();
    browser_ = CreateBrowserWithContext();
    frame_ = MainFrame(browser_);
  }

  // Evaluates |expression| in the main frame's context, entered as it is
  // when page script hands a function over, and stores the result.
  std::string Store(CefRefPtr<CefFrame> frame, const std::string& function) {
    CefRefPtr<CefV8Context> context =
        renderer_->GetFrame(browser_, frame_)->GetV8Context();
    EXPECT_TRUE(context->Enter());
    CefRefPtr<CefV8Value> value;
    CefRefPtr<CefV8Exception> exception;
    EXPECT_TRUE(context->Eval(function, CefString(), 0, value, exception))
        << function;
    const std::string descriptor =
        registry().StoreJavascriptCallback(frame, value).ToString();
    context->Exit();
    return descriptor;
  }

  int browser_ = 0;
  int64 frame_ = 0;
};

TEST_F(JavascriptCallbackTest, DescriptorHasTheExactForm) {
  CefRefPtr<FakeFrame> frame12 = new FakeFrame(12, "f", false);
  registry().SetLastJavascriptCallbackIdForTesting(6);
  EXPECT_EQ(
      "####quillmoss####{\"what\":\"javascript-callback\",\"callbackId\":7,"
      "\"frameId\":12,\"functionName\":\"onDone\"}",
      Store(frame12.get(), "(function onDone() {})"));
  EXPECT_EQ(
      "####quillmoss####{\"what\":\"javascript-callback\",\"callbackId\":8,"
      "\"frameId\":12,\"functionName\":\"\"}",
      Store(frame12.get(), "(function () {})"));
  // Non-ASCII names stay as they are.
  EXPECT_EQ(
      "####quillmoss####{\"what\":\"javascript-callback\",\"callbackId\":9,"
      "\"frameId\":12,\"functionName\":\"gr\xC3\xBC\xC3\x9F"
      "e\"}",
      Store(frame12.get(), "(function gr\u00fc\u00dfe() {})"));
  EXPECT_TRUE(standin::LogRecords().empty());
}

// A crossing pays for a descriptor before it is made: the length it is told
// is that of the longest descriptor the function can have.
TEST_F(JavascriptCallbackTest, DescriptorLengthIsKnownBeforeStoring) {
  CefRefPtr<FakeFrame> frame =
      new FakeFrame(std::numeric_limits<int64>::min(), "f", false);
  registry().SetLastJavascriptCallbackIdForTesting(2147483646);
  for (const char* function :
       {"(function () {})", "(function onDone() {})",
        "(function gr\\u00fc\\u00dfe\\u{10400}() {})",
        // Escaped as \", \\, \n and \u0001.
        "({'q\"\\\\\\n\\x01': function () {}})['q\"\\\\\\n\\x01']"}) {
    SCOPED_TRACE(function);
    CefRefPtr<CefV8Context> context =
        renderer_->GetFrame(browser_, frame_)->GetV8Context();
    ASSERT_TRUE(context->Enter());
    CefRefPtr<CefV8Value> value;
    CefRefPtr<CefV8Exception> exception;
    ASSERT_TRUE(context->Eval(function, CefString(), 0, value, exception));
    const size_t length =
        JavascriptCallbackRegistry::GetJavascriptCallbackDescriptorLength(
            value);
    EXPECT_EQ(0u, registry().CountJavascriptCallbacksForTesting());
    const CefString descriptor =
        registry().StoreJavascriptCallback(frame.get(), value);
    context->Exit();
    EXPECT_EQ(length, descriptor.length());
    registry().ResetJavascriptCallbacksForTesting();
    registry().SetLastJavascriptCallbackIdForTesting(2147483646);
  }
}

TEST_F(JavascriptCallbackTest, IdsCountUpAcrossFramesAndRemovals) {
  const int64 sub = renderer_->AddFrame(browser_, "child");
  renderer_->CreateContext(browser_, sub);
  CefRefPtr<CefFrame> main_frame = renderer_->GetFrame(browser_, frame_);
  CefRefPtr<CefFrame> sub_frame = renderer_->GetFrame(browser_, sub);

  Store(main_frame, "(function f() {})");
  EXPECT_EQ(1, registry().GetLastJavascriptCallbackIdForTesting());
  registry().RemoveJavascriptCallbacksForFrame(main_frame);
  EXPECT_EQ(0u, registry().CountJavascriptCallbacksForTesting());

  Store(sub_frame, "window.f = function f() {}");
  Store(sub_frame, "f");
  EXPECT_EQ(3, registry().GetLastJavascriptCallbackIdForTesting());
  ASSERT_EQ(2u, registry().CountJavascriptCallbacksForTesting());
  EXPECT_EQ(2, registry().GetJavascriptCallbackIdsForTesting().front());
  // The same function stored twice is two entries.
  CefRefPtr<CefV8Context> context = main_frame->GetV8Context();
  context->Enter();
  EXPECT_TRUE(StoredFunction(2)->IsSame(StoredFunction(3)));
  context->Exit();
}

TEST_F(JavascriptCallbackTest, RemovalLogsPerEntryAndKeepsOtherFrames) {
  const int64 sub = renderer_->AddFrame(browser_, "child");
  CefRefPtr<CefFrame> main_frame = renderer_->GetFrame(browser_, frame_);
  CefRefPtr<CefFrame> sub_frame = renderer_->GetFrame(browser_, sub);
  Store(main_frame, "(function a() {})");
  Store(sub_frame, "(function b() {})");
  Store(main_frame, "(function c() {})");
  Store(main_frame, "(function d() {})");
  EXPECT_TRUE(registry().IsFrameIndexInStepForTesting());
  standin::ClearLog();

  registry().RemoveJavascriptCallbacksForFrame(main_frame);
  const std::vector<std::string> expected(
      3,
      "[Renderer process] RemoveJavascriptCallbacksForFrame(): removed js "
      "callback from the map");
  EXPECT_EQ(expected, LogTexts("javascript_callback"));
  ASSERT_EQ(1u, registry().CountJavascriptCallbacksForTesting());
  EXPECT_EQ(2, registry().GetJavascriptCallbackIdsForTesting().front());
  EXPECT_TRUE(registry().IsFrameIndexInStepForTesting());

  // A frame with nothing stored: nothing changes, nothing is logged.
  standin::ClearLog();
  registry().RemoveJavascriptCallbacksForFrame(main_frame);
  EXPECT_TRUE(standin::LogRecords().empty());
  EXPECT_EQ(1u, registry().CountJavascriptCallbacksForTesting());

  // Looking up a removed or never-issued id finds nothing and adds nothing.
  for (const int id : {1, 3, 5, 0, -1}) {
    SCOPED_TRACE(::testing::Message() << "id " << id);
    JavascriptCallback callback;
    EXPECT_FALSE(registry().GetJavascriptCallback(id, &callback));
    EXPECT_FALSE(callback.first);
    EXPECT_FALSE(callback.second);
  }
  EXPECT_EQ(std::vector<int>{2},
            registry().GetJavascriptCallbackIdsForTesting());
  EXPECT_TRUE(registry().IsFrameIndexInStepForTesting());
}

// Past the largest int the counter starts again at 1 and skips ids that are
// still stored, so an id never names two live functions.
TEST_F(JavascriptCallbackTest, IdCounterWrapsToFreePositiveIds) {
  CefRefPtr<CefFrame> frame = renderer_->GetFrame(browser_, frame_);
  Store(frame, "(function f() {})");  // id 1
  Store(frame, "(function f() {})");  // id 2
  registry().SetLastJavascriptCallbackIdForTesting(
      std::numeric_limits<int>::max() - 1);
  Store(frame, "(function f() {})");
  EXPECT_EQ(std::numeric_limits<int>::max(),
            registry().GetLastJavascriptCallbackIdForTesting());
  Store(frame, "(function f() {})");
  EXPECT_EQ(3, registry().GetLastJavascriptCallbackIdForTesting());
  EXPECT_EQ(4u, registry().CountJavascriptCallbacksForTesting());
  for (const int id : registry().GetJavascriptCallbackIdsForTesting())
    EXPECT_GT(id, 0);
}

// What the registry keeps may serve the app that owns it: a bound function
// or a host callback that the page handed back to the host. Their handlers
// must not hold the app, or it would keep itself alive for as long as they
// are stored. An app of the test's own, which nothing else holds.
TEST_F(JavascriptCallbackTest, FunctionsOfTheAppDoNotKeepItAlive) {
  CefRefPtr<QuillmossApp> app = new QuillmossApp;
  JavascriptCallbackRegistry& callbacks =
      app->javascript_callbacks_for_testing();
  CefRefPtr<CefFrame> frame = renderer_->GetFrame(browser_, frame_);
  CefRefPtr<CefV8Context> context = frame->GetV8Context();
  ASSERT_TRUE(context->Enter());
  callbacks.StoreJavascriptCallback(
      frame, CefV8Value::CreateFunction("capture",
                                        new V8FunctionHandler(app.get(), 0)));
  callbacks.StoreJavascriptCallback(frame, app->CreateHostCallbackFunction(7));
  context->Exit();
  EXPECT_EQ(2u, callbacks.CountJavascriptCallbacksForTesting());
  EXPECT_TRUE(app->HasOneRef());
}

}  // namespace
}  // namespace quillmoss
