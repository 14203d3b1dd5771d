// A recording application and a fixture that owns a renderer with one browser
// whose main frame has a context, for the stand-in's renderer tests.
#ifndef QUILLMOSS_TESTS_STANDIN_RENDERER_TEST_SUPPORT_H_
#define QUILLMOSS_TESTS_STANDIN_RENDERER_TEST_SUPPORT_H_

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "cef_standin/driver/renderer_driver.h"
#include "gtest/gtest.h"
#include "include/cef_app.h"
#include "support/live_object_check.h"

namespace standin_test {

// Records every render-process hook it sees; a test may add its own reaction.
class RecordingApp : public CefApp, public CefRenderProcessHandler {
 public:
  using ContextHook = std::function<void(CefRefPtr<CefBrowser>,
                                         CefRefPtr<CefFrame>,
                                         CefRefPtr<CefV8Context>)>;
  using MessageHook = std::function<bool(CefRefPtr<CefProcessMessage>)>;

  // CefApp methods:
  CefRefPtr<CefRenderProcessHandler> GetRenderProcessHandler() override {
    ++handler_requests;
    return this;
  }

  // CefRenderProcessHandler methods:
  void OnBrowserCreated(CefRefPtr<CefBrowser> browser,
                        CefRefPtr<CefDictionaryValue> extra_info) override {
    events.push_back("browser-created " +
                     std::to_string(browser->GetIdentifier()));
    extra_infos.push_back(extra_info);
  }
  void OnBrowserDestroyed(CefRefPtr<CefBrowser> browser) override {
    events.push_back("browser-destroyed " +
                     std::to_string(browser->GetIdentifier()));
  }
  void OnContextCreated(CefRefPtr<CefBrowser> browser,
                        CefRefPtr<CefFrame> frame,
                        CefRefPtr<CefV8Context> context) override {
    events.push_back("context-created " + frame->GetName().ToString());
    if (on_context_created)
      on_context_created(browser, frame, context);
  }
  void OnContextReleased(CefRefPtr<CefBrowser> browser,
                         CefRefPtr<CefFrame> frame,
                         CefRefPtr<CefV8Context> context) override {
    events.push_back("context-released " + frame->GetName().ToString());
    if (on_context_released)
      on_context_released(browser, frame, context);
  }
  bool OnProcessMessageReceived(CefRefPtr<CefBrowser> browser,
                                CefRefPtr<CefFrame> frame,
                                CefProcessId source_process,
                                CefRefPtr<CefProcessMessage> message) override {
    events.push_back("message " + message->GetName().ToString());
    return on_message ? on_message(message) : false;
  }

  int handler_requests = 0;
  std::vector<std::string> events;
  // The |extra_info| of every OnBrowserCreated, in order.
  std::vector<CefRefPtr<CefDictionaryValue>> extra_infos;
  ContextHook on_context_created;
  ContextHook on_context_released;
  MessageHook on_message;

 private:
  IMPLEMENT_REFCOUNTING(RecordingApp);
};

// Enters a context for the scope, as application code does.
class ScopedEnter {
 public:
  explicit ScopedEnter(CefRefPtr<CefV8Context> context) : context_(context) {
    entered_ = context_->Enter();
    EXPECT_TRUE(entered_) << "the context could not be entered";
  }
  ~ScopedEnter() {
    if (entered_) {
      EXPECT_TRUE(context_->Exit());
    }
  }
  ScopedEnter(const ScopedEnter&) = delete;
  ScopedEnter& operator=(const ScopedEnter&) = delete;

 private:
  CefRefPtr<CefV8Context> context_;
  bool entered_ = false;
};

// Owns a renderer with browser 1, whose main frame has a context. TearDown
// closes everything before the live-object check runs.
class RendererTest : public testing_support::LiveObjectCheckedTest {
 protected:
  void SetUp() override {
    LiveObjectCheckedTest::SetUp();
    standin::ClearLog();
    app_ = new RecordingApp();
    renderer_ = std::make_unique<standin::Renderer>(app_.get());
    browser_id_ = renderer_->CreateBrowser();
    main_frame_id_ = renderer_->MainFrameId(browser_id_);
    renderer_->CreateContext(browser_id_, main_frame_id_);
  }

  void TearDown() override {
    renderer_.reset();
    app_ = nullptr;
    LiveObjectCheckedTest::TearDown();
  }

  CefRefPtr<CefFrame> main_frame() {
    return renderer_->GetFrame(browser_id_, main_frame_id_);
  }
  CefRefPtr<CefV8Context> context() { return main_frame()->GetV8Context(); }

  // Evaluates |code| in the main frame's context through CefV8Context::Eval;
  // the caller enters the context when it wants the values tied to it.
  CefRefPtr<CefV8Value> Eval(const std::string& code) {
    CefRefPtr<CefV8Value> retval;
    CefRefPtr<CefV8Exception> exception;
    EXPECT_TRUE(context()->Eval(code, "test.js", 1, retval, exception))
        << code << ": "
        << (exception ? exception->GetMessage().ToString() : "no exception");
    return retval;
  }

  // The page's own view, through the driver.
  standin::ScriptResult PageEval(const std::string& code) {
    return renderer_->Eval(browser_id_, main_frame_id_, code);
  }

  bool LogContains(const std::string& text) const {
    for (const auto& record : standin::LogRecords()) {
      if (record.message.find(text) != std::string::npos)
        return true;
    }
    return false;
  }

  CefRefPtr<RecordingApp> app_;
  std::unique_ptr<standin::Renderer> renderer_;
  int browser_id_ = 0;
  int64 main_frame_id_ = 0;
};

}  // namespace standin_test

#endif  // QUILLMOSS_TESTS_STANDIN_RENDERER_TEST_SUPPORT_H_
