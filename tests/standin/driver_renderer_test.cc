// The renderer driver: browsers and frames, messages both ways, page script
// and the order of the hooks.
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "include/cef_process_message.h"
#include "renderer_test_support.h"

namespace {

using standin_test::RecordingApp;
using DriverTest = standin_test::RendererTest;

std::vector<std::string> FrameNames(CefRefPtr<CefBrowser> browser) {
  std::vector<CefString> names;
  browser->GetFrameNames(names);
  std::vector<std::string> result;
  for (const auto& name : names)
    result.push_back(name.ToString());
  return result;
}

TEST_F(DriverTest, FramesAreListedInTreeOrder) {
  const int64 left = renderer_->AddFrame(browser_id_, "left");
  const int64 right = renderer_->AddFrame(browser_id_, "");
  const int64 nested = renderer_->AddFrame(browser_id_, "nested", left);
  const int64 unnamed_nested = renderer_->AddFrame(browser_id_, "", left);
  CefRefPtr<CefBrowser> browser = renderer_->GetBrowser(browser_id_);
  ASSERT_EQ(5u, browser->GetFrameCount());

  const std::vector<std::string> names = FrameNames(browser);
  ASSERT_EQ(5u, names.size());
  EXPECT_EQ(main_frame()->GetName().ToString(), names[0]);
  EXPECT_EQ("left", names[1]);
  EXPECT_EQ("nested", names[2]);
  EXPECT_EQ("<!--framePath //<!--frame0-->/<!--frame1-->-->", names[3]);
  EXPECT_EQ("<!--framePath //<!--frame1-->-->", names[4]);

  std::vector<int64> ids;
  browser->GetFrameIdentifiers(ids);
  EXPECT_EQ(
      (std::vector<int64>{main_frame_id_, left, nested, unnamed_nested, right}),
      ids);
  for (int64 id : ids)
    EXPECT_GT(id, int64{1} << 32) << "identifiers do not fit an int";

  EXPECT_EQ(nested, browser->GetFrame("nested")->GetIdentifier());
  EXPECT_EQ(right, browser->GetFrame(names[4])->GetIdentifier());
  EXPECT_EQ(nullptr, browser->GetFrame("missing"));
  CefRefPtr<CefFrame> nested_frame = browser->GetFrame(nested);
  EXPECT_FALSE(nested_frame->IsMain());
  EXPECT_EQ(left, nested_frame->GetParent()->GetIdentifier());
  EXPECT_TRUE(nested_frame->GetBrowser()->IsSame(browser));
  EXPECT_TRUE(main_frame()->IsMain());
  EXPECT_EQ(nullptr, main_frame()->GetParent());

  EXPECT_EQ(0, renderer_->AddFrame(browser_id_, "orphan", 12345));
  EXPECT_EQ(0, renderer_->AddFrame(99, "nowhere"));
}

TEST_F(DriverTest, BrowsersCountFromOne) {
  EXPECT_EQ(1, browser_id_);
  const int second = renderer_->CreateBrowser("named-main");
  EXPECT_EQ(2, second);
  EXPECT_EQ(
      "named-main",
      renderer_->GetBrowser(second)->GetMainFrame()->GetName().ToString());
  EXPECT_NE(renderer_->MainFrameId(browser_id_),
            renderer_->MainFrameId(second));
  EXPECT_EQ(1, app_->handler_requests);
}

TEST_F(DriverTest, SentMessagesAreCopiedWhenSent) {
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create("ping");
  CefRefPtr<CefListValue> arguments = message->GetArgumentList();
  arguments->SetString(0, "before");
  CefRefPtr<CefListValue> nested = CefListValue::Create();
  nested->SetInt(0, 1);
  arguments->SetList(1, nested);

  main_frame()->SendProcessMessage(PID_BROWSER, message);
  arguments->SetString(0, "after");
  arguments->GetList(1)->SetInt(0, 2);
  EXPECT_TRUE(message->IsValid()) << "the sender keeps its message";

  ASSERT_EQ(1u, renderer_->SentMessages().size());
  const standin::SentMessage& sent = renderer_->SentMessages()[0];
  EXPECT_EQ(browser_id_, sent.browser_id);
  EXPECT_EQ(main_frame_id_, sent.frame_id);
  EXPECT_EQ(PID_BROWSER, sent.target);
  EXPECT_EQ("ping", sent.message->GetName().ToString());
  EXPECT_EQ("before", sent.message->GetArgumentList()->GetString(0).ToString());
  EXPECT_EQ(1, sent.message->GetArgumentList()->GetList(1)->GetInt(0));

  main_frame()->SendProcessMessage(PID_RENDERER, message);
  main_frame()->SendProcessMessage(PID_BROWSER, nullptr);
  EXPECT_EQ(1u, renderer_->SentMessages().size());
  renderer_->ClearSentMessages();
  EXPECT_TRUE(renderer_->SentMessages().empty());
}

TEST_F(DriverTest, DeliveredMessageIsReadOnlyThenInvalid) {
  CefRefPtr<CefProcessMessage> kept;
  CefRefPtr<CefListValue> kept_arguments;
  bool set_refused = false;
  app_->on_message = [&](CefRefPtr<CefProcessMessage> message) {
    kept = message;
    kept_arguments = message->GetArgumentList();
    set_refused = message->IsReadOnly() && !kept_arguments->SetInt(0, 5);
    return kept_arguments->GetString(0) == "payload";
  };
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create("hello");
  message->GetArgumentList()->SetString(0, "payload");

  EXPECT_TRUE(renderer_->DeliverMessage(browser_id_, main_frame_id_, message));
  EXPECT_TRUE(set_refused);
  EXPECT_FALSE(kept->IsValid());
  EXPECT_FALSE(kept_arguments->IsValid());
  EXPECT_TRUE(message->IsValid()) << "the browser side keeps its own";
  app_->on_message = nullptr;
  EXPECT_FALSE(renderer_->DeliverMessage(browser_id_, main_frame_id_, message));
}

TEST_F(DriverTest, EvalReportsJsonTextOrException) {
  const struct {
    const char* code;
    bool ok;
    const char* text;
  } kRows[] = {
      {"({a: [1, 'x', null]})", true, "{\"a\":[1,\"x\",null]}"},
      {"'quoted'", true, "\"quoted\""},
      {"undefined", true, "undefined"},
      {"(function f() { return 1 })", true, "function f() { return 1 }"},
      {"Symbol('s')", true, "Symbol(s)"},
      {"10n", true, "10"},
      {"throw new RangeError('out')", false, "RangeError: out"},
      {"throw 'bare'", false, "bare"},
      {"syntax error here", false, "SyntaxError: Unexpected identifier"},
  };
  for (size_t i = 0; i < sizeof(kRows) / sizeof(kRows[0]); ++i) {
    SCOPED_TRACE("row " + std::to_string(i) + ": " + kRows[i].code);
    const standin::ScriptResult result = PageEval(kRows[i].code);
    EXPECT_EQ(kRows[i].ok, result.ok);
    EXPECT_EQ(kRows[i].text, result.ok ? result.value : result.exception);
  }
  const int64 bare = renderer_->AddFrame(browser_id_, "bare");
  const standin::ScriptResult no_context =
      renderer_->Eval(browser_id_, bare, "1");
  EXPECT_FALSE(no_context.ok);
  EXPECT_NE(std::string::npos, no_context.exception.find("no JavaScript"));
}

TEST_F(DriverTest, ExecuteJavaScriptRunsInTheFrame) {
  main_frame()->ExecuteJavaScript("window.ran = 'yes'", "inline.js", 1);
  EXPECT_EQ("\"yes\"", PageEval("ran").value);

  standin::ClearLog();
  main_frame()->ExecuteJavaScript("throw new Error('page fault')", "", 1);
  EXPECT_TRUE(LogContains("Error: page fault"));
  EXPECT_FALSE(CefV8Context::InContext());
}

TEST_F(DriverTest, HooksComeInCefOrder) {
  const int64 child = renderer_->AddFrame(browser_id_, "child");
  renderer_->CreateContext(browser_id_, child);
  renderer_->CreateContext(browser_id_, main_frame_id_);  // a navigation
  renderer_->DestroyBrowser(browser_id_);
  const std::string main_name = "<!--framePath //-->";
  EXPECT_EQ((std::vector<std::string>{
                "browser-created 1", "context-created " + main_name,
                "context-created child", "context-released " + main_name,
                "context-created " + main_name, "context-released child",
                "context-released " + main_name, "browser-destroyed 1"}),
            app_->events);
  EXPECT_EQ(nullptr, renderer_->GetBrowser(browser_id_));
  // No extra info from the browser side: an empty, read-only dictionary, as
  // CEF gives (its wrapper would drop the call for a null one).
  ASSERT_EQ(1u, app_->extra_infos.size());
  CefRefPtr<CefDictionaryValue> extra_info = app_->extra_infos[0];
  ASSERT_TRUE(extra_info);
  EXPECT_TRUE(extra_info->IsValid());
  EXPECT_TRUE(extra_info->IsReadOnly());
  EXPECT_EQ(0u, extra_info->GetSize());
  EXPECT_FALSE(extra_info->SetInt("k", 1));
}

TEST_F(DriverTest, HooksAfterDestroyGetTheDetachedObjects) {
  const int64 child = renderer_->AddFrame(browser_id_, "child");
  renderer_->CreateContextAfterDestroy(browser_id_, child);
  EXPECT_TRUE(LogContains("no destroyed browser 1"));
  renderer_->DestroyBrowser(browser_id_);
  app_->events.clear();
  renderer_->CreateContextAfterDestroy(browser_id_, child);
  renderer_->ReleaseContextAfterDestroy(browser_id_, main_frame_id_);
  EXPECT_FALSE(renderer_->DeliverMessageAfterDestroy(
      browser_id_, main_frame_id_, CefProcessMessage::Create("late")));
  renderer_->ReleaseContextAfterDestroy(browser_id_, 999);
  EXPECT_TRUE(LogContains("no frame 999 in destroyed browser 1"));
  EXPECT_EQ((std::vector<std::string>{"context-created child",
                                      "context-released <!--framePath //-->",
                                      "message late"}),
            app_->events);
}

// Removing an iframe in CEF 81 releases its context at once, its children's
// first, and takes the frames out of the browser; handles kept of them, and
// of their contexts, answer like closed ones.
TEST_F(DriverTest, RemovedFramesGoWithTheirSubFrames) {
  const int64 left = renderer_->AddFrame(browser_id_, "left");
  const int64 nested = renderer_->AddFrame(browser_id_, "nested", left);
  const int64 right = renderer_->AddFrame(browser_id_, "right");
  for (int64 frame : {left, nested, right})
    renderer_->CreateContext(browser_id_, frame);
  CefRefPtr<CefBrowser> browser = renderer_->GetBrowser(browser_id_);
  CefRefPtr<CefFrame> kept = browser->GetFrame(nested);
  CefRefPtr<CefV8Context> kept_context = kept->GetV8Context();
  app_->events.clear();
  renderer_->ClearSentMessages();

  EXPECT_TRUE(renderer_->RemoveFrame(browser_id_, left));
  EXPECT_EQ((std::vector<std::string>{"context-released nested",
                                      "context-released left"}),
            app_->events);
  EXPECT_EQ((std::vector<std::string>{main_frame()->GetName().ToString(),
                                      "right"}),
            FrameNames(browser));
  std::vector<int64> ids;
  browser->GetFrameIdentifiers(ids);
  EXPECT_EQ((std::vector<int64>{main_frame_id_, right}), ids);
  EXPECT_EQ(nullptr, browser->GetFrame(left));
  EXPECT_EQ(nullptr, browser->GetFrame("nested"));
  EXPECT_FALSE(kept->IsValid());
  EXPECT_EQ(nullptr, kept->GetBrowser());
  EXPECT_FALSE(kept->GetV8Context()->IsValid());
  EXPECT_EQ(nullptr, kept_context->GetFrame());
  EXPECT_EQ(nullptr, kept_context->GetBrowser());
  // CEF drops it silently; the stand-in says so, so tests can tell.
  kept->SendProcessMessage(PID_BROWSER, CefProcessMessage::Create("late"));
  EXPECT_TRUE(renderer_->SentMessages().empty());
  EXPECT_TRUE(LogContains("the frame is gone"));

  EXPECT_FALSE(renderer_->RemoveFrame(browser_id_, main_frame_id_));
  EXPECT_TRUE(LogContains("a page cannot remove the main frame"));
  EXPECT_FALSE(renderer_->RemoveFrame(browser_id_, left));
  EXPECT_TRUE(renderer_->Eval(browser_id_, right, "1").ok);
}

// A process that holds only some frames of a browser (facts 26, 27): the
// others are remote, seen by GetFrameCount() alone; a frame whose page moves
// in comes under a new identifier, one that leaves goes as a removed frame.
TEST_F(DriverTest, RemoteFramesAreCountedOnly) {
  standin::SetRenderProcessClientId(9);
  const int id = renderer_->CreateBrowser("top", 7, /*main_frame_remote=*/true);
  ASSERT_EQ(7, id);
  const int64 top = renderer_->MainFrameId(id);
  const int64 ad = renderer_->AddFrame(id, "ad");
  const int64 other = renderer_->AddFrame(id, "other", 0, /*remote=*/true);
  standin::SetRenderProcessClientId(4);
  CefRefPtr<CefBrowser> browser = renderer_->GetBrowser(id);
  EXPECT_EQ(nullptr, browser->GetMainFrame());
  EXPECT_EQ(3u, browser->GetFrameCount());
  std::vector<int64> ids;
  browser->GetFrameIdentifiers(ids);
  EXPECT_EQ(std::vector<int64>{ad}, ids);
  EXPECT_EQ((std::vector<std::string>{"ad"}), FrameNames(browser));
  EXPECT_EQ(9, ad >> 32);
  EXPECT_EQ(nullptr, browser->GetFrame(top));
  EXPECT_EQ(nullptr, browser->GetFrame("other"));
  EXPECT_EQ(nullptr, browser->GetFrame(ad)->GetParent());
  EXPECT_FALSE(browser->GetFrame(ad)->IsMain());

  renderer_->CreateContext(id, top);
  EXPECT_TRUE(LogContains("is remote in this renderer process"));
  EXPECT_FALSE(
      renderer_->DeliverMessage(id, other, CefProcessMessage::Create("m")));
  renderer_->CreateContext(id, ad);
  CefRefPtr<CefFrame> kept = browser->GetFrame(ad);
  const int64 swapped_in = renderer_->SwapFrame(id, other, /*remote=*/false);
  EXPECT_NE(other, swapped_in);
  EXPECT_EQ("other", browser->GetFrame(swapped_in)->GetName().ToString());
  app_->events.clear();
  EXPECT_NE(0, renderer_->SwapFrame(id, ad, /*remote=*/true));
  EXPECT_EQ(std::vector<std::string>{"context-released ad"}, app_->events);
  EXPECT_FALSE(kept->IsValid());
  EXPECT_EQ(3u, browser->GetFrameCount());
  EXPECT_EQ(0, renderer_->CreateBrowser("again", 7, false));
  EXPECT_TRUE(LogContains("browser 7 is open already"));
}

// A page removes a frame from script, its own included: the script goes on
// in the released context, which is frameless from then on.
TEST_F(DriverTest, PageScriptRemovesFramesItsOwnIncluded) {
  const int64 child = renderer_->AddFrame(browser_id_, "child");
  const int64 other = renderer_->AddFrame(browser_id_, "");
  renderer_->CreateContext(browser_id_, main_frame_id_);
  renderer_->CreateContext(browser_id_, child);
  renderer_->CreateContext(browser_id_, other);
  EXPECT_FALSE(renderer_->DefineFrameRemover(browser_id_, 999, "removeFrame"));
  ASSERT_TRUE(
      renderer_->DefineFrameRemover(browser_id_, main_frame_id_, "removeFrame"));
  ASSERT_TRUE(renderer_->DefineFrameRemover(browser_id_, child, "gone"));
  // Not enumerable: the page's own keys stay as they were.
  EXPECT_EQ("false", renderer_->Eval(browser_id_, main_frame_id_,
                                     "Object.keys(window).includes('removeFrame')")
                         .value);
  const standin::ScriptResult by_id = renderer_->Eval(
      browser_id_, main_frame_id_,
      "[removeFrame(" + std::to_string(other) + "), removeFrame('other')]");
  EXPECT_EQ("[true,false]", by_id.value);
  app_->events.clear();
  const standin::ScriptResult own = renderer_->Eval(
      browser_id_, child, "const r = gone('child'); [r, typeof gone, 1 + 1]");
  EXPECT_TRUE(own.ok) << own.exception;
  EXPECT_EQ("[true,\"function\",2]", own.value);
  EXPECT_EQ((std::vector<std::string>{"context-released child"}),
            app_->events);
  EXPECT_EQ(1u, renderer_->GetBrowser(browser_id_)->GetFrameCount());
  EXPECT_FALSE(LogContains("released while still entered"));
  EXPECT_EQ("2", renderer_->Eval(browser_id_, main_frame_id_, "1 + 1").value);
}

// What a getter gives back after it removed its own frame comes wrapped in
// the context current then, which CEF tracks afresh and which belongs to no
// frame; the context entered before cannot be left, so the task leaves it.
TEST_F(DriverTest, GetterRemovingItsFrameGivesAFramelessValue) {
  const int64 child = renderer_->AddFrame(browser_id_, "child");
  renderer_->CreateContext(browser_id_, child);
  ASSERT_TRUE(renderer_->DefineFrameRemover(browser_id_, child, "gone"));
  CefRefPtr<CefV8Context> context =
      renderer_->GetFrame(browser_id_, child)->GetV8Context();
  renderer_->RunAsTask([&] {
    ASSERT_TRUE(context->Enter());
    CefRefPtr<CefV8Value> object;
    CefRefPtr<CefV8Exception> exception;
    ASSERT_TRUE(context->Eval(
        "({get g() { gone('child'); return function late() {}; }})",
        CefString(), 1, object, exception));
    CefRefPtr<CefV8Value> late = object->GetValue("g");
    ASSERT_TRUE(late && late->IsValid());
    EXPECT_TRUE(late->IsFunction());
    EXPECT_FALSE(object->IsValid());
    EXPECT_FALSE(context->IsValid());
    CefRefPtr<CefV8Context> current = CefV8Context::GetCurrentContext();
    EXPECT_TRUE(current->IsValid());
    EXPECT_EQ(nullptr, current->GetFrame());
    EXPECT_EQ(nullptr, current->GetBrowser());
    EXPECT_FALSE(context->Exit());
  });
  EXPECT_TRUE(LogContains("a context released while entered was not left"));
  EXPECT_FALSE(CefV8Context::InContext());
}

TEST_F(DriverTest, ConsoleCallsReachTheListener) {
  std::vector<standin::ConsoleMessage> calls;
  renderer_->SetConsoleListener(
      [&calls](const standin::ConsoleMessage& message) {
        calls.push_back(message);
      });
  const int64 child = renderer_->AddFrame(browser_id_, "child");
  renderer_->CreateContext(browser_id_, child);
  EXPECT_TRUE(
      renderer_->Eval(browser_id_, child, "\nconsole.error('a', null, 2)").ok);
  ASSERT_EQ(1u, calls.size());
  EXPECT_EQ(browser_id_, calls[0].browser_id);
  EXPECT_EQ(child, calls[0].frame_id);
  EXPECT_EQ("error", calls[0].method);
  EXPECT_EQ(LOGSEVERITY_ERROR, calls[0].level);
  EXPECT_EQ("a null 2", calls[0].message);
  EXPECT_EQ(2, calls[0].line);
  // The rest of the console is V8's own, and silent.
  EXPECT_TRUE(renderer_->Eval(browser_id_, child, "console.table([1])").ok);
  EXPECT_EQ(1u, calls.size());
}

TEST_F(DriverTest, FramesOutlivingTheirRendererAnswerSafely) {
  CefRefPtr<CefFrame> frame = main_frame();
  CefRefPtr<CefBrowser> browser = frame->GetBrowser();
  CefRefPtr<CefV8Context> page = frame->GetV8Context();
  renderer_.reset();

  EXPECT_FALSE(frame->IsValid());
  EXPECT_EQ(nullptr, frame->GetBrowser());
  EXPECT_FALSE(frame->GetV8Context()->IsValid());
  EXPECT_FALSE(page->IsValid());
  EXPECT_EQ(0u, browser->GetFrameCount());
  frame->SendProcessMessage(PID_BROWSER, CefProcessMessage::Create("late"));
  EXPECT_TRUE(LogContains("the frame is gone"));
  // The renderer released its contexts as a closing browser does.
  EXPECT_EQ("browser-destroyed 1", app_->events.back());
}

class BareApp : public CefApp {
 private:
  IMPLEMENT_REFCOUNTING(BareApp);
};

TEST(DriverWithoutHandlerTest, RunsWithAnApplicationThatHasNoHandler) {
  const int live_at_start = standin::LiveObjectCount();
  {
    standin::Renderer renderer(new BareApp());
    const int browser = renderer.CreateBrowser();
    const int64 frame = renderer.MainFrameId(browser);
    renderer.CreateContext(browser, frame);
    EXPECT_EQ("2", renderer.Eval(browser, frame, "1 + 1").value);
    EXPECT_FALSE(renderer.DeliverMessage(browser, frame,
                                         CefProcessMessage::Create("m")));
    EXPECT_EQ(nullptr, renderer.handler());
  }
  EXPECT_EQ(live_at_start, standin::LiveObjectCount());
}

}  // namespace
