// A renderer driven by the stand-in around the system's own application
// object. Every test has an application of its own, and so an empty callback
// registry, and ends with the stand-in's live-object count back where it
// started, and with no call of the
// system's that CEF answers with NOTREACHED() or that a parameter check of
// CEF's wrapper refuses.
#ifndef QUILLMOSS_TESTS_APP_APP_FIXTURE_H_
#define QUILLMOSS_TESTS_APP_APP_FIXTURE_H_

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/javascript_callback.h"
#include "app/quillmoss_app.h"
#include "cef_standin/driver/renderer_driver.h"
#include "common/process_messages.h"
#include "support/bindings_builder.h"
#include "support/misuse_lines.h"

namespace quillmoss {

class QuillmossAppTestPeer {
 public:
  static size_t BindingsCount(QuillmossApp* app) {
    return app->bindings_by_browser_.size();
  }
};

using testing_support::BindingsBuilder;
using testing_support::MisuseLines;

class AppFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    live_objects_at_start_ = standin::LiveObjectCount();
    misuses_at_start_ = standin::CefMisuseCount();
    app_ = new QuillmossApp;
    renderer_ = std::make_unique<standin::Renderer>(app_.get());
    standin::ClearLog();
  }

  void TearDown() override {
    // The renderer first: its pages' functions point at the app.
    renderer_.reset();
    app_ = nullptr;
    EXPECT_EQ(live_objects_at_start_, standin::LiveObjectCount())
        << "stand-in objects leaked";
    // Release builds of CEF let these pass silently, debug builds crash.
    EXPECT_EQ(misuses_at_start_, standin::CefMisuseCount())
        << "the system called CEF where CEF hits NOTREACHED() or its "
           "wrapper refuses the parameters: "
        << ::testing::PrintToString(MisuseLines());
  }

  // The application's callback registry.
  JavascriptCallbackRegistry& registry() {
    return app_->javascript_callbacks_for_testing();
  }

  // The function and the frame stored under |callback_id|; empty when there
  // is no such entry.
  CefRefPtr<CefV8Value> StoredFunction(int callback_id) {
    JavascriptCallback callback;
    registry().GetJavascriptCallback(callback_id, &callback);
    return callback.second;
  }
  CefRefPtr<CefFrame> StoredFrame(int callback_id) {
    JavascriptCallback callback;
    registry().GetJavascriptCallback(callback_id, &callback);
    return callback.first;
  }

  // A browser whose main frame has a live V8 context.
  int CreateBrowserWithContext() {
    const int browser = renderer_->CreateBrowser();
    renderer_->CreateContext(browser, renderer_->MainFrameId(browser));
    renderer_->ClearSentMessages();
    standin::ClearLog();
    return browser;
  }

  int64 MainFrame(int browser) { return renderer_->MainFrameId(browser); }

  // A browser whose main frame has a context with |functions| bound, the
  // installation's messages and log lines cleared.
  int CreateBoundBrowser(const std::vector<std::string>& functions) {
    const int browser = CreateBrowserWithContext();
    SendBindings(browser, BindingsBuilder().Functions(functions).Build());
    renderer_->ClearSentMessages();
    standin::ClearLog();
    return browser;
  }

  // Delivers "DoJavascriptBindings" through the main frame and runs the
  // installation tasks it posts.
  bool SendBindings(int browser,
                    CefRefPtr<CefDictionaryValue> bindings,
                    bool run_tasks = true) {
    CefRefPtr<CefProcessMessage> message =
        CefProcessMessage::Create(kDoJavascriptBindingsMessage);
    message->GetArgumentList()->SetDictionary(0, bindings);
    const bool taken =
        renderer_->DeliverMessage(browser, MainFrame(browser), message);
    if (run_tasks)
      renderer_->RunPendingTasks();
    return taken;
  }

  // Runs |code| in the frame and expects it not to throw; returns the JSON
  // text of its result.
  std::string Eval(int browser, int64 frame, const std::string& code) {
    const standin::ScriptResult result = renderer_->Eval(browser, frame, code);
    EXPECT_TRUE(result.ok) << code << " threw " << result.exception;
    return result.value;
  }
  std::string EvalMain(int browser, const std::string& code) {
    return Eval(browser, MainFrame(browser), code);
  }

  // The descriptor the renderer sends for a function (|name| needing no
  // escape) stored under |id| from |browser|'s main frame.
  std::string Descriptor(int browser, int id, const std::string& name) {
    return std::string(kCallbackDescriptorMarker) +
           "{\"what\":\"javascript-callback\",\"callbackId\":" +
           std::to_string(id) +
           ",\"frameId\":" + std::to_string(MainFrame(browser)) +
           ",\"functionName\":\"" + name + "\"}";
  }

  // Messages sent since the last call, as (frame, name) pairs.
  std::vector<standin::SentMessage> TakeSent() {
    std::vector<standin::SentMessage> sent = renderer_->SentMessages();
    renderer_->ClearSentMessages();
    return sent;
  }

  // The texts of the log lines of |source| since the last ClearLog().
  std::vector<std::string> LogTexts(const std::string& source) const {
    std::vector<std::string> texts;
    for (const standin::LogRecord& record : standin::LogRecords()) {
      if (record.file == source)
        texts.push_back(record.message);
    }
    return texts;
  }
  std::vector<std::string> AllLogTexts() const {
    std::vector<std::string> texts;
    for (const standin::LogRecord& record : standin::LogRecords())
      texts.push_back(record.message);
    return texts;
  }

  CefRefPtr<QuillmossApp> app_;
  std::unique_ptr<standin::Renderer> renderer_;

 private:
  int live_objects_at_start_ = 0;
  int misuses_at_start_ = 0;
};

}  // namespace quillmoss

#endif  // QUILLMOSS_TESTS_APP_APP_FIXTURE_H_
