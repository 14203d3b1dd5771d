// One renderer through a long life: a million bound calls, and a hundred
// thousand callbacks stored and dropped with their contexts. Nothing may
// pile up: after each batch the stand-in's objects are back to where the
// batch started, and the registry is empty once the contexts are gone.
// Resident memory is printed at the start and end for the record; timings
// and memory are not asserted.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "tests/app/app_fixture.h"

namespace quillmoss {
namespace {

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUILLMOSS_LOAD_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUILLMOSS_LOAD_SANITIZED 1
#endif

// Full size in optimised builds; a tenth under sanitizers or without
// optimisation, where the full size takes minutes. QUILLMOSS_LOAD_FULL=1
// asks for the full size anyway.
int Scale(int full) {
  const char* forced = std::getenv("QUILLMOSS_LOAD_FULL");
  if (forced && std::string(forced) == "1")
    return full;
#if defined(QUILLMOSS_LOAD_SANITIZED) || !defined(__OPTIMIZE__)
  return full / 10;
#else
  return full;
#endif
}

// A line of /proc/self/status in kB ("VmRSS", "VmHWM"), 0 if not there.
long StatusKb(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, key.size() + 1, key + ":") == 0)
      return std::strtol(line.c_str() + key.size() + 1, nullptr, 10);
  }
  return 0;
}

void PrintMemory(const char* when) {
  std::printf("[ load     ] %s: resident %ld kB, peak %ld kB\n", when,
              StatusKb("VmRSS"), StatusKb("VmHWM"));
}

using LoadTest = AppFixture;

constexpr int kBatch = 10000;

TEST_F(LoadTest, MillionBoundCallsLeaveNothingBehind) {
  const int calls = Scale(1000000);
  const int browser = CreateBrowserWithContext();
  // A host callback among the properties: 20 bytes, the id first.
  unsigned char callback_bytes[kHostCallbackBinarySize] = {5};
  CefRefPtr<CefDictionaryValue> properties = CefDictionaryValue::Create();
  properties->SetBinary(
      "done", CefBinaryValue::Create(callback_bytes, sizeof(callback_bytes)));
  SendBindings(browser, BindingsBuilder()
                            .Function("f")
                            .Properties(properties)
                            .Object("api", {"call"})
                            .Build());
  TakeSent();
  const int objects_at_start = standin::LiveObjectCount();
  PrintMemory("before the calls");

  const std::string batch =
      "for (let i = 0; i < " + std::to_string(kBatch) +
      "; ++i) { f(i, 'text', {n: i, list: [i, i + 0.5, 3000000000]}, "
      "i % 2 == 0); api.call(); if (i % 100 == 0) done(i); }";
  for (int made = 0; made < calls; made += 2 * kBatch) {
    SCOPED_TRACE(::testing::Message() << "after " << made << " calls");
    EvalMain(browser, batch);
    ASSERT_EQ(2u * kBatch + kBatch / 100, renderer_->SentMessages().size());
    renderer_->ClearSentMessages();
    standin::ClearLog();
    ASSERT_EQ(objects_at_start, standin::LiveObjectCount());
    if (made == 0)
      PrintMemory("after the first batch (V8's heap has grown)");
  }
  PrintMemory("after the calls");
  EXPECT_EQ(0u, registry().CountJavascriptCallbacksForTesting());
}

TEST_F(LoadTest, HundredThousandCallbacksGoWithTheirContexts) {
  const int callbacks = Scale(100000);
  const int browser = CreateBrowserWithContext();
  const int64 sub = renderer_->AddFrame(browser, "child");
  renderer_->CreateContext(browser, sub);
  SendBindings(browser,
               BindingsBuilder().Function("keep").BindToFrames(true).Build());
  TakeSent();
  const int objects_at_start = standin::LiveObjectCount();
  PrintMemory("before the callbacks");

  // Each round, both frames store a batch and the host runs some of them
  // back; then a navigation replaces the main frame's page and the
  // sub-frame's context is released, dropping them all.
  const std::string store = "for (let i = 0; i < " +
                            std::to_string(kBatch / 2) +
                            "; ++i) keep(function (n) { window.last = n; })";
  for (int stored = 0; stored < callbacks; stored += kBatch) {
    SCOPED_TRACE(::testing::Message() << "after " << stored << " callbacks");
    EvalMain(browser, store);
    Eval(browser, sub, store);
    ASSERT_EQ(static_cast<size_t>(kBatch),
              registry().CountJavascriptCallbacksForTesting());
    for (int id = registry().GetLastJavascriptCallbackIdForTesting() - 99;
         id <= registry().GetLastJavascriptCallbackIdForTesting(); ++id) {
      CefRefPtr<CefProcessMessage> message =
          CefProcessMessage::Create(kExecuteJavascriptCallbackMessage);
      message->GetArgumentList()->SetInt(0, id);
      message->GetArgumentList()->SetInt(1, id);
      ASSERT_TRUE(
          renderer_->DeliverMessage(browser, MainFrame(browser), message));
    }
    EXPECT_EQ(
        std::to_string(registry().GetLastJavascriptCallbackIdForTesting()),
        Eval(browser, sub, "window.last"));

    renderer_->CreateContext(browser, MainFrame(browser));
    renderer_->ReleaseContext(browser, sub);
    ASSERT_EQ(0u, registry().CountJavascriptCallbacksForTesting());
    renderer_->CreateContext(browser, sub);
    renderer_->ClearSentMessages();
    standin::ClearLog();
    ASSERT_EQ(objects_at_start, standin::LiveObjectCount());
    if (stored == 0)
      PrintMemory("after the first round");
  }
  PrintMemory("after the callbacks");
  EXPECT_EQ(callbacks, registry().GetLastJavascriptCallbackIdForTesting());
}

}  // namespace
}  // namespace quillmoss
