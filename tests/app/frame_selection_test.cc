// Choosing the frames that receive a browser's bindings, including what CEF
// might hand over broken: no main frame, no context, odd identifiers.
#include "tests/app/app_fixture.h"
#include "tests/app/fake_cef.h"

namespace quillmoss {
namespace {

class FrameSelectionTest : public AppFixture {
 protected:
  void Schedule(CefRefPtr<FakeBrowser> browser, bool bind_to_frames) {
    app_->SetBindingsForBrowser(
        browser.get(),
        BindingsBuilder().Function("f").BindToFrames(bind_to_frames).Build());
    standin::ClearLog();
    app_->DoJavascriptBindingsForBrowser(browser.get());
  }

  std::vector<std::string> Lines() {
    std::vector<std::string> lines;
    for (const std::string& text : LogTexts("quillmoss_app"))
      lines.push_back(text.substr(text.find("(): ") + 4));
    return lines;
  }
};

TEST_F(FrameSelectionTest, NoMainFrameSchedulesNothing) {
  CefRefPtr<FakeBrowser> browser = new FakeBrowser(7);
  Schedule(browser, false);
  const std::vector<std::string> expected = {"GetMainFrame() failed",
                                             "frameIds.size() == 0"};
  EXPECT_EQ(expected, Lines());
  EXPECT_EQ(0u, renderer_->PendingTaskCount());
  for (const standin::LogRecord& record : standin::LogRecords())
    EXPECT_EQ(2, record.severity);
}

TEST_F(FrameSelectionTest, BadFramesAreSkippedAndTheOthersGoOn) {
  CefRefPtr<FakeBrowser> browser = new FakeBrowser(7);
  CefRefPtr<FakeFrame> zero = new FakeFrame(0, "zero", false);
  CefRefPtr<FakeFrame> lost = new FakeFrame(5, "lost", false);
  CefRefPtr<FakeFrame> no_context = new FakeFrame(6, "bare", false);
  CefRefPtr<FakeFrame> main = new FakeFrame(9, "main", true);
  browser->AddFrame(zero);
  browser->AddFrame(lost, /*findable_by_id=*/false);
  browser->AddFrame(no_context);
  browser->AddFrame(main);
  Schedule(browser, true);
  const std::vector<std::string> expected = {
      "frameId <= 0", "GetFrame() failed", "GetV8Context() failed",
      "GetV8Context() failed"};
  EXPECT_EQ(expected, Lines());
  EXPECT_EQ(0u, renderer_->PendingTaskCount());
}

// Pages name their frames: several may share a name, and a name may equal
// the one Chromium generated for an unnamed frame. With bindToFrames every
// frame still gets the bindings, each exactly once.
TEST_F(FrameSelectionTest, EveryFrameIsScheduledExactlyOnceWhateverItsName) {
  // nullptr: the name generated for the unnamed frame before it.
  struct Row {
    const char* main_name;
    std::vector<const char*> sub_names;
    bool names_distinct;
  };
  const Row rows[] = {
      {"top", {"A", "B"}, true},
      {"", {"", "twin", "twin", nullptr}, false},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    const int browser = renderer_->CreateBrowser(rows[i].main_name);
    std::vector<int64> frames = {MainFrame(browser)};
    std::string generated;
    for (const char* name : rows[i].sub_names) {
      frames.push_back(
          renderer_->AddFrame(browser, name ? name : generated.c_str()));
      std::vector<CefString> names;
      renderer_->GetBrowser(browser)->GetFrameNames(names);
      generated = names.back().ToString();
    }
    for (const int64 frame : frames)
      renderer_->CreateContext(browser, frame);
    if (rows[i].names_distinct) {
      std::vector<CefString> names;
      renderer_->GetBrowser(browser)->GetFrameNames(names);
      ASSERT_EQ(frames.size(), names.size());
    }

    SendBindings(browser,
                 BindingsBuilder().Function("f").BindToFrames(true).Build(),
                 /*run_tasks=*/false);
    EXPECT_EQ(frames.size(), renderer_->PendingTaskCount());
    renderer_->RunPendingTasks();
    for (const int64 frame : frames)
      EXPECT_EQ("\"function\"", Eval(browser, frame, "typeof f")) << frame;
    renderer_->DestroyBrowser(browser);
  }
}

// A renderer process holds only some frames of a browser (site isolation):
// the others are remote here, and messages reach only the local ones. Only
// the main frame speaks for the host, so where it is remote nothing binds;
// where it is local, every local frame does with bindToFrames, also one
// whose parent is remote.
TEST_F(FrameSelectionTest, OnlyLocalFramesUnderALocalMainFrameAreBound) {
  struct Frame {
    const char* name;
    int parent;  // index, -1 for the main frame's children
    bool remote;
  };
  struct Row {
    bool main_remote;
    std::vector<Frame> frames;
    std::vector<const char*> typeof_f;  // per local frame, main first
    std::vector<std::string> errors;
  };
  const std::string not_main =
      "QuillmossApp::OnProcessMessageReceived: received process message "
      "from non-main frame.";
  const Row rows[] = {
      // The main frame's process, with a cross-site iframe and a same-site
      // frame below it.
      {false,
       {{"ad", -1, true}, {"deep", 0, false}},
       {"function", "function"},
       {}},
      // The cross-site iframe's process: what the host sends through the
      // iframe is refused, calls of kept functions too.
      {true, {{"ad", -1, false}}, {"undefined"}, {not_main, not_main}},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i);
    const Row& row = rows[i];
    const int browser = renderer_->CreateBrowser("top", 0, row.main_remote);
    std::vector<int64> ids;
    std::vector<int64> local;
    if (!row.main_remote)
      local.push_back(MainFrame(browser));
    for (const Frame& frame : row.frames) {
      ids.push_back(renderer_->AddFrame(
          browser, frame.name, frame.parent < 0 ? 0 : ids[frame.parent],
          frame.remote));
      if (!frame.remote)
        local.push_back(ids.back());
    }
    for (const int64 frame : local)
      renderer_->CreateContext(browser, frame);
    standin::ClearLog();
    CefRefPtr<CefProcessMessage> bindings =
        CefProcessMessage::Create(kDoJavascriptBindingsMessage);
    bindings->GetArgumentList()->SetDictionary(
        0, BindingsBuilder().Function("f").BindToFrames(true).Build());
    CefRefPtr<CefProcessMessage> callback =
        CefProcessMessage::Create(kExecuteJavascriptCallbackMessage);
    callback->GetArgumentList()->SetInt(0, 1);
    EXPECT_EQ(!row.main_remote,
              renderer_->DeliverMessage(browser, local.front(), bindings));
    renderer_->RunPendingTasks();
    if (row.main_remote)
      renderer_->DeliverMessage(browser, local.front(), callback);
    for (size_t j = 0; j < local.size(); ++j) {
      EXPECT_EQ(std::string("\"") + row.typeof_f[j] + "\"",
                Eval(browser, local[j], "typeof f"));
    }
    std::vector<std::string> errors;
    for (const standin::LogRecord& record : standin::LogRecords()) {
      if (record.severity == 2)
        errors.push_back(record.message);
    }
    EXPECT_EQ(row.errors, errors);
    renderer_->DestroyBrowser(browser);
  }
}

// A released context, or none, given while another one is entered: the
// installation does not make its values in the entered one, it refuses the
// given context with a line and stops there.
TEST_F(FrameSelectionTest,
       ReleasedContextWhileAnotherIsEnteredInstallsNothing) {
  const int browser = CreateBrowserWithContext();
  const int64 sub = renderer_->AddFrame(browser, "child");
  renderer_->CreateContext(browser, sub);
  CefRefPtr<CefV8Context> dead =
      renderer_->GetFrame(browser, sub)->GetV8Context();
  renderer_->ReleaseContext(browser, sub);
  app_->SetBindingsForBrowser(renderer_->GetBrowser(browser),
                              BindingsBuilder().Function("f").Build());
  CefRefPtr<CefV8Context> live =
      renderer_->GetFrame(browser, MainFrame(browser))->GetV8Context();
  struct Row {
    CefRefPtr<CefV8Context> given;
    const char* line;
  };
  const Row rows[] = {
      {dead,
       "[Renderer process] DoJavascriptBindingsForFrame(): V8 context "
       "provided by CEF is invalid"},
      {nullptr,
       "[Renderer process] DoJavascriptBindingsForFrame(): V8 context not "
       "available"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    standin::ClearLog();
    ASSERT_TRUE(live->Enter());
    app_->DoJavascriptBindingsForFrame(renderer_->GetBrowser(browser),
                                       renderer_->GetFrame(browser, sub),
                                       row.given);
    live->Exit();
    EXPECT_EQ(row.line, LogTexts("quillmoss_app").back());
    EXPECT_EQ("\"undefined\"", EvalMain(browser, "typeof f"));
  }
}

}  // namespace
}  // namespace quillmoss
