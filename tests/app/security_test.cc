// What a page in a sub-frame, or page script choosing names, must not be
// able to do: speak for the host, get bindings it was not given, shape the
// descriptors the host parses, or have the host run a function of a page
// that is gone.
#include <algorithm>
#include <cstring>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "tests/app/app_fixture.h"

namespace quillmoss {
namespace {

constexpr char kSubFrameLine[] =
    "QuillmossApp::OnProcessMessageReceived: received process message from "
    "non-main frame.";

// Messages in both directions, near misses and oddities: with arguments
// that the main frame would act on, or with none.
struct MessageRow {
  std::string name;
  bool with_arguments;
};
std::vector<MessageRow> SubFrameMessages() {
  return {{kDoJavascriptBindingsMessage, true},
          {kExecuteJavascriptCallbackMessage, true},
          {kOnContextCreatedMessage, true},
          {kOnContextReleasedMessage, true},
          {kExecutePythonCallbackMessage, true},
          {kV8FunctionHandlerExecuteMessage, true},
          {"", true},
          {"DoJavascriptBindings ", true},
          {std::string("DoJavascriptBindings\0x", 22), true},
          {"\xC3\xA9\xF0\x9F\x98\x80", true},
          {std::string(10000, 'x'), true},
          {kOnContextCreatedMessage, false},
          {"Anything", false}};
}

// The empty name, which CEF's wrapper refuses to create, still arrives from
// a host that uses CEF's C API.
CefRefPtr<CefProcessMessage> SubFrameMessage(const MessageRow& row) {
  standin::ScopedWrapperChecksOff checks_off;
  CefRefPtr<CefProcessMessage> message = CefProcessMessage::Create(row.name);
  if (!row.with_arguments)
    return message;
  CefRefPtr<CefListValue> args = message->GetArgumentList();
  if (row.name == kDoJavascriptBindingsMessage) {
    args->SetDictionary(
        0, BindingsBuilder().Function("f").BindToFrames(true).Build());
  } else {
    args->SetInt(0, 1);
    args->SetString(1, "from a sub-frame");
  }
  return message;
}

class SecurityTest : public AppFixture {
 protected:
  // A browser whose main frame and |sub_frames| nested and sibling
  // sub-frames all have contexts. Returns the sub-frames' identifiers.
  std::vector<int64> BrowserWithSubFrames(int browser, int sub_frames) {
    std::vector<int64> frames;
    for (int i = 0; i < sub_frames; ++i) {
      // Every other frame is a child of the one before; names repeat or are
      // empty, as pages choose them.
      const int64 parent = i % 2 == 1 ? frames.back() : 0;
      frames.push_back(
          renderer_->AddFrame(browser, i % 3 == 0 ? "" : "child", parent));
      renderer_->CreateContext(browser, frames.back());
    }
    TakeSent();
    standin::ClearLog();
    return frames;
  }

  // "properties" holding the host callback onReady, id 12.
  static CefRefPtr<CefDictionaryValue> OnReadyProperties() {
    unsigned char callback_bytes[kHostCallbackBinarySize] = {12};
    CefRefPtr<CefDictionaryValue> properties = CefDictionaryValue::Create();
    properties->SetBinary(
        "onReady",
        CefBinaryValue::Create(callback_bytes, sizeof(callback_bytes)));
    return properties;
  }

  // Frames of a browser whose pages can remove frames: "main", "A", "B"
  // below A and "S" beside A, each with a context, bound with saveFile and
  // the host callback onReady (12), and with the global removeFrame(name).
  std::map<std::string, int64> RemovableFrames(int browser) {
    std::map<std::string, int64> frames = {{"main", MainFrame(browser)}};
    frames["A"] = renderer_->AddFrame(browser, "A");
    frames["B"] = renderer_->AddFrame(browser, "B", frames["A"]);
    frames["S"] = renderer_->AddFrame(browser, "S");
    SendBindings(browser, BindingsBuilder()
                              .Function("saveFile")
                              .Properties(OnReadyProperties())
                              .BindToFrames(true)
                              .Build());
    for (const auto& frame : frames) {
      if (frame.first != "main")
        renderer_->CreateContext(browser, frame.second);
      renderer_->DefineFrameRemover(browser, frame.second, "removeFrame");
    }
    TakeSent();
    standin::ClearLog();
    return frames;
  }

  // Whether every stored callback's frame is still in |browser|.
  bool RegistryHoldsOnlyLiveFrames(int browser) {
    for (int id : registry().GetJavascriptCallbackIdsForTesting()) {
      if (!renderer_->GetBrowser(browser)->GetFrame(
              StoredFrame(id)->GetIdentifier())) {
        return false;
      }
    }
    return true;
  }

  size_t LogCount(const std::string& text) const {
    const std::vector<std::string> texts = AllLogTexts();
    return static_cast<size_t>(std::count(texts.begin(), texts.end(), text));
  }

  bool LogContains(const std::string& text) const {
    for (const std::string& line : AllLogTexts()) {
      if (line.find(text) != std::string::npos)
        return true;
    }
    return false;
  }

  std::string TypeOf(int browser, int64 frame, const char* name) {
    return Eval(browser, frame, std::string("typeof ") + name);
  }

  // Sends ExecuteJavascriptCallback for |id| through the main frame.
  bool RunCallback(int browser, int id) {
    CefRefPtr<CefProcessMessage> message =
        CefProcessMessage::Create(kExecuteJavascriptCallbackMessage);
    message->GetArgumentList()->SetInt(0, id);
    message->GetArgumentList()->SetInt(1, id);
    const bool taken =
        renderer_->DeliverMessage(browser, MainFrame(browser), message);
    EXPECT_TRUE(taken);
    return taken;
  }
};

TEST_F(SecurityTest, EveryMessageFromAnySubFrameIsRefused) {
  const int browser = CreateBrowserWithContext();
  const int other = CreateBrowserWithContext();
  std::vector<int64> frames = BrowserWithSubFrames(browser, 6);
  const std::vector<int64> other_frames = BrowserWithSubFrames(other, 2);
  // A stored callback that the refused messages name.
  SendBindings(browser, BindingsBuilder().Function("keep").Build());
  EvalMain(browser, "window.ran = 0; keep(function () { ++window.ran; })");
  ASSERT_EQ(1u, registry().CountJavascriptCallbacksForTesting());
  TakeSent();
  // A frame without a context is refused as well.
  frames.push_back(renderer_->AddFrame(browser, "no context"));

  std::vector<std::pair<int, int64>> targets;
  for (const int64 frame : frames)
    targets.emplace_back(browser, frame);
  for (const int64 frame : other_frames)
    targets.emplace_back(other, frame);
  const std::vector<MessageRow> rows = SubFrameMessages();
  for (size_t i = 0; i < rows.size(); ++i) {
    for (const auto& target : targets) {
      SCOPED_TRACE(::testing::Message()
                   << "row " << i << ": message '" << rows[i].name.substr(0, 40)
                   << "' through frame " << target.second);
      standin::ClearLog();
      EXPECT_FALSE(renderer_->DeliverMessage(target.first, target.second,
                                             SubFrameMessage(rows[i])));
      EXPECT_EQ(std::vector<std::string>{kSubFrameLine}, AllLogTexts());
      ASSERT_EQ(1u, standin::LogRecords().size());
      EXPECT_EQ(2, standin::LogRecords()[0].severity);
    }
  }
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(0u, renderer_->PendingTaskCount());
  EXPECT_EQ("0", EvalMain(browser, "window.ran"));
  // Only the first browser's own bindings, from its main frame, are kept.
  EXPECT_EQ(1u, QuillmossAppTestPeer::BindingsCount(app_.get()));
  for (const int64 frame : other_frames)
    EXPECT_EQ("\"undefined\"", TypeOf(other, frame, "f"));
  EXPECT_EQ("\"undefined\"", EvalMain(browser, "typeof f"));
}

// bindToFrames true binds every frame; anything else binds none of the
// sub-frames: not from the first bindings, not from later ones, not in
// contexts made afterwards. The installation refuses a dictionary whose
// bindToFrames is not a bool, in the main frame too.
TEST_F(SecurityTest, SubFramesGetBindingsOnlyWhenAskedFor) {
  struct Row {
    const char* description;
    void (*set_bind_to_frames)(BindingsBuilder*);
    bool installs;
    bool sub_frames_bound;
  };
  const Row rows[] = {
      {"true", [](BindingsBuilder* b) { b->BindToFrames(true); }, true, true},
      {"false", [](BindingsBuilder* b) { b->BindToFrames(false); }, true,
       false},
      {"absent", [](BindingsBuilder* b) { b->Omit(kBindToFramesKey); }, false,
       false},
      {"the int 1", [](BindingsBuilder* b) { b->SetInt(kBindToFramesKey, 1); },
       false, false},
      {"the string true",
       [](BindingsBuilder* b) { b->SetString(kBindToFramesKey, "true"); },
       false, false},
      {"a list holding true",
       [](BindingsBuilder* b) {
         CefRefPtr<CefListValue> list = CefListValue::Create();
         list->SetBool(0, true);
         b->SetList(kBindToFramesKey, list);
       },
       false, false},
  };
  const std::vector<std::string> refused_lines = {
      "[Renderer process] OnProcessMessageReceived(): DoJavascriptBindings",
      "[Renderer process] DoJavascriptBindingsForFrame(): bindings are set",
      "[Renderer process] DoJavascriptBindingsForFrame(): invalid data [1]"};
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE(::testing::Message()
                 << "row " << i << ": bindToFrames " << row.description);
    const int browser = CreateBrowserWithContext();
    const std::vector<int64> frames = BrowserWithSubFrames(browser, 4);
    size_t frames_with_contexts = 1 + frames.size();
    for (const char* name : {"first", "second"}) {
      BindingsBuilder bindings;
      bindings.Function(name)
          .Property("secret", "host data")
          .Object("api", {"call"});
      row.set_bind_to_frames(&bindings);
      standin::ClearLog();
      SendBindings(browser, bindings.Build(), /*run_tasks=*/false);
      // One task per chosen frame: all with a context, or the main frame.
      EXPECT_EQ(row.sub_frames_bound ? frames_with_contexts : 1u,
                renderer_->PendingTaskCount())
          << name;
      renderer_->RunPendingTasks();
      if (!row.installs) {
        EXPECT_EQ(refused_lines, AllLogTexts()) << name;
      }
      // A navigation in a sub-frame after the bindings arrived.
      renderer_->CreateContext(browser, frames[1]);
      const int64 added = renderer_->AddFrame(browser, "late", frames[0]);
      renderer_->CreateContext(browser, added);
      ++frames_with_contexts;
      renderer_->RunPendingTasks();
      const std::string expected_sub =
          row.sub_frames_bound ? R"(["function","string","object"])"
                               : R"(["undefined","undefined","undefined"])";
      for (const int64 frame :
           {frames[0], frames[1], frames[2], frames[3], added}) {
        EXPECT_EQ(expected_sub, Eval(browser, frame,
                                     std::string("[typeof ") + name +
                                         ", typeof secret, typeof api]"))
            << "frame " << frame << " after " << name;
      }
    }
    EXPECT_EQ(row.installs
                  ? R"(["function","function","string","object"])"
                  : R"(["undefined","undefined","undefined","undefined"])",
              EvalMain(browser,
                       "[typeof first, typeof second, typeof secret, "
                       "typeof api]"));
    renderer_->DestroyBrowser(browser);
  }
}

// Bindings that turn bindToFrames off stop binding sub-frames from then on:
// a navigated sub-frame and a new one get nothing.
TEST_F(SecurityTest, TurningBindToFramesOffStopsBindingNewSubFramePages) {
  const int browser = CreateBrowserWithContext();
  const int64 sub = BrowserWithSubFrames(browser, 1)[0];
  SendBindings(browser,
               BindingsBuilder().Function("f").BindToFrames(true).Build());
  ASSERT_EQ("\"function\"", TypeOf(browser, sub, "f"));
  SendBindings(browser, BindingsBuilder()
                            .Function("f")
                            .Function("g")
                            .BindToFrames(false)
                            .Build());
  renderer_->CreateContext(browser, sub);
  const int64 added = renderer_->AddFrame(browser, "new", sub);
  renderer_->CreateContext(browser, added);
  renderer_->RunPendingTasks();
  for (const int64 frame : {sub, added}) {
    EXPECT_EQ(R"(["undefined","undefined"])",
              Eval(browser, frame, "[typeof f, typeof g]"));
  }
  EXPECT_EQ("\"function\"", EvalMain(browser, "typeof g"));
}

// A sub-frame bound while bindToFrames was true keeps its function objects
// after the host turns it off; calling them is then refused as a name that
// is not bound, while the main frame's calls go on.
TEST_F(SecurityTest, TurningBindToFramesOffRefusesCallsFromBoundSubFrames) {
  const int browser = CreateBrowserWithContext();
  const int64 sub = BrowserWithSubFrames(browser, 1)[0];
  SendBindings(browser, BindingsBuilder()
                            .Function("f")
                            .Object("api", {"call"})
                            .BindToFrames(true)
                            .Build());
  SendBindings(browser, BindingsBuilder()
                            .Function("f")
                            .Object("api", {"call"})
                            .BindToFrames(false)
                            .Build());
  TakeSent();
  for (const char* name : {"f", "api.call"}) {
    EXPECT_EQ(std::string("\"[Quillmoss] V8FunctionHandler::Execute() FAILED: "
                          "function does not exist: ") +
                  name + "()\"",
              Eval(browser, sub,
                   std::string("(() => { try { ") + name +
                       "(1); } catch (e) { return e.message; } })()"));
    EXPECT_TRUE(TakeSent().empty()) << name;
    EvalMain(browser, std::string(name) + "(1)");
    EXPECT_EQ(1u, TakeSent().size()) << name;
  }
}

// Page script chooses function names through many routes; whatever they
// hold, the host parses exactly the four members with the name as data.
TEST_F(SecurityTest, FunctionNamesNeverChangeTheDescriptorsMembers) {
  const int browser = CreateBrowserWithContext();
  const int64 sub = BrowserWithSubFrames(browser, 1)[0];
  SendBindings(browser,
               BindingsBuilder().Function("take").BindToFrames(true).Build());
  TakeSent();

  struct Route {
    const char* script;  // $ is replaced by a string literal of the name
    const char* prefix;  // what V8 puts before the name
  };
  // Literal keys: a computed key names the function only at run time, and
  // V8's Function::GetName() reports the name given at compile time.
  const Route routes[] = {
      {"({$: function () {}})[$]", ""},
      {"({$: () => 0})[$]", ""},
      {"({$() {}})[$]", ""},
      {"({get $() {}}).__lookupGetter__($)", "get "},
      {"({$: function () {}})[$].bind(null)", "bound "},
      {"({$: class {}})[$]", ""},
  };

  std::vector<std::string> names = {"\"",
                                    "\\",
                                    "\"}",
                                    "}",
                                    "\",\"callbackId\":0,\"",
                                    "\xE2\x80\xA8\xE2\x80\xA9",
                                    "/*",
                                    std::string(100000, 'n')};
  std::string controls;
  for (char c = 1; c < 0x20; ++c)
    controls += c;
  names.push_back(controls + "\x7F");
  for (size_t n = 0; n < names.size(); ++n) {
    // The name as a JSON string literal is a valid JavaScript literal.
    const std::string literal = nlohmann::json(names[n]).dump();
    for (size_t r = 0; r < sizeof(routes) / sizeof(routes[0]); ++r) {
      SCOPED_TRACE(::testing::Message() << "name " << n << ", route " << r);
      std::string script = routes[r].script;
      for (size_t at; (at = script.find('$')) != std::string::npos;)
        script.replace(at, 1, literal);
      for (const int64 frame : {MainFrame(browser), sub}) {
        EXPECT_EQ("null", Eval(browser, frame,
                               "take([{f: " + script + "}], " + script + ")"));
        const std::vector<standin::SentMessage> sent = TakeSent();
        ASSERT_EQ(1u, sent.size());
        CefRefPtr<CefListValue> args =
            sent[0].message->GetArgumentList()->GetList(1);
        const std::string nested =
            args->GetList(0)->GetDictionary(0)->GetString("f").ToString();
        for (const std::string& descriptor :
             {nested, args->GetString(1).ToString()}) {
          const std::string marker = kCallbackDescriptorMarker;
          ASSERT_EQ(0u, descriptor.find(marker));
          const nlohmann::json parsed =
              nlohmann::json::parse(descriptor.substr(marker.size()));
          ASSERT_EQ(4u, parsed.size()) << parsed.dump();
          EXPECT_EQ("javascript-callback", parsed["what"]);
          EXPECT_TRUE(registry().HasJavascriptCallbackForTesting(
              parsed["callbackId"].get<int>()));
          EXPECT_EQ(frame, parsed["frameId"]);
          EXPECT_EQ(routes[r].prefix + names[n], parsed["functionName"]);
        }
      }
    }
  }
}

// Lone surrogates cannot reach the host as such: CEF strings become UTF-8,
// where each is U+FFFD, so the descriptor stays valid JSON.
TEST_F(SecurityTest, LoneSurrogatesInNamesArriveReplaced) {
  const int browser = CreateBrowserWithContext();
  SendBindings(browser, BindingsBuilder().Function("take").Build());
  TakeSent();
  EvalMain(browser,
           "take({'\\ud800\"\\udc00': function () {}}['\\ud800\"\\udc00'])");
  const std::vector<standin::SentMessage> sent = TakeSent();
  ASSERT_EQ(1u, sent.size());
  const std::string descriptor =
      sent[0].message->GetArgumentList()->GetList(1)->GetString(0).ToString();
  const nlohmann::json parsed = nlohmann::json::parse(
      descriptor.substr(strlen(kCallbackDescriptorMarker)));
  EXPECT_EQ("\xEF\xBF\xBD\"\xEF\xBF\xBD", parsed["functionName"]);
}

// Callbacks stored from many frames of two browsers: releasing, replacing
// or destroying a frame's context leaves none of its ids runnable, in any
// later page of that frame, and never touches the other frames' ids.
TEST_F(SecurityTest, CallbacksOfAGoneContextCannotBeRunById) {
  const int first = CreateBrowserWithContext();
  const int second = CreateBrowserWithContext();
  std::vector<std::pair<int, int64>> frames = {{first, MainFrame(first)},
                                               {second, MainFrame(second)}};
  for (const int64 frame : BrowserWithSubFrames(first, 3))
    frames.emplace_back(first, frame);
  for (const int64 frame : BrowserWithSubFrames(second, 2))
    frames.emplace_back(second, frame);
  for (const int browser : {first, second})
    SendBindings(browser,
                 BindingsBuilder().Function("keep").BindToFrames(true).Build());
  // Each frame stores three callbacks that count their runs in the frame.
  std::map<int, size_t> frame_of_id;
  for (size_t f = 0; f < frames.size(); ++f) {
    Eval(frames[f].first, frames[f].second,
         "window.runs = 0; for (let i = 0; i < 3; ++i) "
         "keep(() => { ++window.runs; })");
    for (int i = 0; i < 3; ++i)
      frame_of_id[registry().GetLastJavascriptCallbackIdForTesting() - i] = f;
  }
  TakeSent();
  ASSERT_EQ(3 * frames.size(), registry().CountJavascriptCallbacksForTesting());

  // Frame 2 released, frame 3 navigated (released and made anew), the second
  // browser destroyed with all its frames.
  renderer_->ReleaseContext(frames[2].first, frames[2].second);
  renderer_->CreateContext(frames[3].first, frames[3].second);
  Eval(frames[3].first, frames[3].second, "window.runs = 0");
  renderer_->DestroyBrowser(second);
  const std::set<size_t> gone = {1, 2, 3, 5, 6};
  EXPECT_TRUE(registry().IsFrameIndexInStepForTesting());

  for (const auto& entry : frame_of_id) {
    SCOPED_TRACE(::testing::Message()
                 << "id " << entry.first << " of frame " << entry.second);
    const bool live = gone.count(entry.second) == 0;
    EXPECT_EQ(live, registry().HasJavascriptCallbackForTesting(entry.first));
    standin::ClearLog();
    RunCallback(first, entry.first);
    if (!live) {
      EXPECT_EQ(
          "[Renderer process] ExecuteJavascriptCallback(): callback "
          "not found, id=" +
              std::to_string(entry.first),
          AllLogTexts().back());
    }
  }
  // Every live callback ran once; the new page of frame 3 saw nothing.
  for (const size_t f : {0, 4})
    EXPECT_EQ("3", Eval(frames[f].first, frames[f].second, "window.runs"));
  EXPECT_EQ("0", Eval(frames[3].first, frames[3].second, "window.runs"));
  EXPECT_EQ(6u, registry().CountJavascriptCallbacksForTesting());

  // New callbacks get new ids: a gone id never names a new function.
  Eval(frames[3].first, frames[3].second, "keep(() => 0)");
  EXPECT_EQ(0u, frame_of_id.count(
                    registry().GetLastJavascriptCallbackIdForTesting()));
  EXPECT_GT(registry().GetLastJavascriptCallbackIdForTesting(),
            frame_of_id.rbegin()->first);
}

// A parent page may keep a sub-frame's functions and call them after the
// sub-frame's page went. CEF still runs the handler then, in the old
// context, which belongs to no frame: nothing may be sent or stored, and the
// page learns why.
TEST_F(SecurityTest, FunctionsKeptFromAGonePageSendAndStoreNothing) {
  const int browser = CreateBrowserWithContext();
  const int64 child = renderer_->AddFrame(browser, "child");
  renderer_->CreateContext(browser, child);
  CefRefPtr<CefDictionaryValue> properties = OnReadyProperties();
  SendBindings(browser, BindingsBuilder()
                            .Function("saveFile")
                            .Properties(properties)
                            .Object("external", {"close"})
                            .BindToFrames(true)
                            .Build());
  struct Row {
    const char* kept;  // in the child's page
    const char* name;  // the function's name in the exception
  };
  const Row rows[] = {
      {"saveFile", "saveFile"},
      {"external.close", "external.close"},
      {"onReady", "python_callback_12"},
  };
  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    const std::string global = "kept" + std::to_string(i);
    ASSERT_TRUE(renderer_->KeepValue(browser, child, rows[i].kept,
                                     MainFrame(browser), global));
  }
  renderer_->ReleaseContext(browser, child);
  TakeSent();

  for (size_t i = 0; i < sizeof(rows) / sizeof(rows[0]); ++i) {
    SCOPED_TRACE(::testing::Message() << "row " << i << ": " << rows[i].kept);
    standin::ClearLog();
    const std::string seen = EvalMain(
        browser, "(() => { try { kept" + std::to_string(i) +
                     "('x', function done() {}, {f() {}}); return 'returned'; "
                     "} catch (e) { return String(e); } })()");
    EXPECT_EQ(
        "\"Error: [Quillmoss] V8FunctionHandler::Execute() FAILED: the "
        "page of this function is gone: " +
            std::string(rows[i].name) + "()\"",
        seen);
    EXPECT_TRUE(TakeSent().empty());
    EXPECT_EQ(0u, registry().CountJavascriptCallbacksForTesting());
    const std::vector<std::string> expected = {
        "[Renderer process] V8FunctionHandler::Execute(): the V8 context "
        "has no browser or frame: " +
        std::string(rows[i].name)};
    EXPECT_EQ(expected, AllLogTexts());
    ASSERT_EQ(1u, standin::LogRecords().size());
    EXPECT_EQ(2, standin::LogRecords()[0].severity);
  }
}

// A page getter run while a call's arguments convert may remove the calling
// frame, a frame above it, or a sibling whose functions the caller holds.
// CEF releases the removed contexts at once: nothing may be stored for them
// afterwards or sent through them, and the page learns that its call went
// nowhere, as from a page that went.
TEST_F(SecurityTest, FramesRemovedWhileArgumentsConvertKeepNothing) {
  struct Row {
    const char* caller;
    const char* code;
    const char* name;  // the callee, in the exception and the log line
    bool abandoned;
  };
  const Row rows[] = {
      {"B",
       "saveFile(function early() {}, {get g() { removeFrame('B'); "
       "return function late() {}; }}, [function last() {}])",
       "saveFile", true},
      {"B",
       "saveFile({get g() { removeFrame('A'); return [function late() {}, "
       "{f() {}}]; }})",
       "saveFile", true},
      {"B",
       "onReady(function early() {}, {get g() { removeFrame('B'); "
       "return function late() {}; }})",
       "python_callback_12", true},
      {"main",
       "saveFile(keptS, {get g() { removeFrame('S'); return {f: keptS}; }})",
       "saveFile", false},
      // The caller's describer went with its context: the revoked Proxy
      // returned is not listed by CEF (which aborts on it), whether the
      // describer was looked up before the removal or is looked up after.
      {"B",
       "saveFile({get g() { removeFrame('B'); const r = Proxy.revocable({}, "
       "{}); r.revoke(); return r.proxy; }})",
       "saveFile", true},
      {"B",
       "saveFile(Object.defineProperty([], 0, {get() { removeFrame('B'); "
       "const r = Proxy.revocable({}, {}); r.revoke(); return r.proxy; }}))",
       "saveFile", true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    const int browser = CreateBrowserWithContext();
    std::map<std::string, int64> frames = RemovableFrames(browser);
    // S had a function stored before it went, and the main page holds one.
    Eval(browser, frames["S"], "saveFile(function s0() {})");
    ASSERT_TRUE(renderer_->KeepValue(
        browser, frames["S"], "(function sFn() {})", frames["main"], "keptS"));
    TakeSent();
    standin::ClearLog();

    const std::string seen =
        Eval(browser, frames[row.caller],
             std::string("(() => { try { ") + row.code +
                 "; return 'returned'; } catch (e) { return String(e); } })()");
    const std::string line =
        "[Renderer process] V8FunctionHandler::Execute(): the frame went "
        "while the arguments converted: " +
        std::string(row.name);
    size_t calls_sent = 0;
    for (const standin::SentMessage& sent : TakeSent()) {
      const std::string name = sent.message->GetName().ToString();
      if (name == kOnContextReleasedMessage)
        continue;
      ++calls_sent;
      EXPECT_EQ(frames["main"], sent.frame_id) << name;
    }
    if (row.abandoned) {
      EXPECT_EQ(
          "\"Error: [Quillmoss] V8FunctionHandler::Execute() FAILED: the "
          "page of this function is gone: " +
              std::string(row.name) + "()\"",
          seen);
      EXPECT_EQ(0u, calls_sent);
      EXPECT_EQ(1u, LogCount(line));
    } else {
      EXPECT_EQ("\"returned\"", seen);
      EXPECT_EQ(1u, calls_sent);
      EXPECT_EQ(0u, LogCount(line));
      EXPECT_EQ(2u, registry().CountJavascriptCallbacksForTesting());
    }
    EXPECT_TRUE(RegistryHoldsOnlyLiveFrames(browser));
    EXPECT_FALSE(LogContains("the frame is gone"));
    renderer_->DestroyBrowser(browser);
  }
}

// Where a page removes a frame in the middle of a crossing, as seen from the
// frames of RemovableFrames(): the removed frame, the frame whose page runs
// the call (or owns the host's callback, or gets the installation), and the
// frame whose page built the value.
struct Removal {
  const char* victim;
  const char* caller;
  const char* owner;
  bool call_goes;  // the caller's page survives
};
const Removal kRemovals[] = {
    {"B", "B", "B", false},  // the calling frame
    {"A", "B", "B", false},  // its parent
    {"B", "A", "B", true},   // a child whose values the caller holds
    {"S", "A", "S", true},   // a sibling whose values the caller holds
};
const int kDepths[] = {1, 4, 8};

// |hostile| wrapped so that it stands |depth| containers deep, arrays and
// objects in turn, each with more to read after it.
std::string Nest(std::string hostile, int depth) {
  for (int level = 1; level < depth; ++level) {
    hostile = level % 2 ? "[" + hostile + ", fn, 'after']"
                        : "{v: " + hostile + ", f: fn, z: 'after'}";
  }
  return hostile;
}

// Page to host: a getter or Proxy trap removes a frame while the value is
// read, at the first, middle or last element or member, at depths 1, 4 and
// 8. The container and everything around it belong to the owner's page, so
// for a removed owner every later read would be of a released context.
TEST_F(SecurityTest, NoValueOfARemovedFrameIsReadAfterAGetter) {
  const char kRemove[] = "removeFrame(victim)";
  const std::vector<std::string> shapes = {
      // An element's getter.
      std::string("Object.defineProperty([fn, fn, fn], P, {enumerable: true, "
                  "get() { ") +
          kRemove + "; return 1; }})",
      // A member's getter.
      std::string("Object.defineProperty({k0: fn, k1: fn, k2: fn}, 'k' + P, "
                  "{enumerable: true, get() { ") +
          kRemove + "; return 1; }})",
      // A Proxy's get trap.
      std::string("new Proxy({k0: fn, k1: fn, k2: fn}, {get(t, k) { if (k "
                  "=== 'k' + P) ") +
          kRemove + "; return t[k]; }})",
      // A proxied array's get trap, read as a list.
      std::string(
          "new Proxy([fn, fn, fn], {get(t, k) { if (k === String(P)) ") +
          kRemove + "; return t[k]; }})",
      // A Proxy's key listing, before any member is read: one position.
      std::string("new Proxy({k0: fn, k1: fn, k2: fn}, {ownKeys(t) { ") +
          kRemove + "; return Reflect.ownKeys(t); }})",
  };
  for (const Removal& removal : kRemovals) {
    for (const std::string& shape : shapes) {
      const int positions = shape.find("ownKeys") != std::string::npos ? 1 : 3;
      for (int position = 0; position < positions; ++position) {
        for (const int depth : kDepths) {
          const std::string value = Nest(shape, depth);
          SCOPED_TRACE(::testing::Message()
                       << removal.caller << " calls with a value of "
                       << removal.owner << " that removes " << removal.victim
                       << ", position " << position << ": " << value);
          const int misuses = standin::CefMisuseCount();
          const int browser = CreateBrowserWithContext();
          std::map<std::string, int64> frames = RemovableFrames(browser);
          ASSERT_TRUE(renderer_->KeepValue(
              browser, frames[removal.owner],
              std::string("(() => { window.victim = '") + removal.victim +
                  "'; const P = " + std::to_string(position) +
                  "; window.fn = function owned() {}; return " + value +
                  "; })()",
              frames[removal.caller], "kept"));
          ASSERT_TRUE(renderer_->KeepValue(browser, frames[removal.owner], "fn",
                                           frames[removal.caller], "keptFn"));
          const std::string seen =
              Eval(browser, frames[removal.caller],
                   "(() => { try { saveFile(kept, 'next', keptFn); return "
                   "'returned'; } catch (e) { return String(e); } })()");

          EXPECT_EQ(misuses, standin::CefMisuseCount())
              << ::testing::PrintToString(MisuseLines());
          std::vector<CefRefPtr<CefListValue>> calls;
          for (const standin::SentMessage& sent : TakeSent()) {
            if (sent.message->GetName().ToString() ==
                kV8FunctionHandlerExecuteMessage) {
              calls.push_back(
                  sent.message->GetArgumentList()->GetList(1)->Copy());
            }
          }
          EXPECT_EQ(
              removal.call_goes ? 0u : 1u,
              LogCount("[Renderer process] V8FunctionHandler::Execute(): the "
                       "frame went while the arguments converted: saveFile"));
          if (removal.call_goes) {
            EXPECT_EQ("\"returned\"", seen);
            ASSERT_EQ(1u, calls.size());
            // The caller's handles of the removed page's values stay valid
            // (CEF wraps them in the caller's context), so the whole value
            // arrives, and the function is stored for the caller.
            ASSERT_EQ(3u, calls[0]->GetSize());
            EXPECT_EQ("next", calls[0]->GetString(1).ToString());
            EXPECT_EQ(VTYPE_STRING, calls[0]->GetType(2));
          } else {
            EXPECT_NE(std::string::npos, seen.find("the page of this function "
                                                   "is gone: saveFile()"));
            EXPECT_TRUE(calls.empty());
          }
          EXPECT_TRUE(RegistryHoldsOnlyLiveFrames(browser));
          renderer_->DestroyBrowser(browser);
        }
      }
    }
  }
}

// The host's side of Nest(): a hostile list [0, 1, 2] or dictionary
// {k0: 0, k1: 1, k2: 2} standing |depth| containers deep under |key|.
template <class Container, class Key>
void SetNested(const CefRefPtr<Container>& target,
               const Key& key,
               bool dictionary,
               int depth) {
  if (depth > 1 && depth % 2 == 0) {
    CefRefPtr<CefListValue> list = CefListValue::Create();
    SetNested(list, size_t{0}, dictionary, depth - 1);
    list->SetString(1, "after");
    target->SetList(key, list);
  } else if (depth > 1) {
    CefRefPtr<CefDictionaryValue> wrapper = CefDictionaryValue::Create();
    SetNested(wrapper, CefString("v"), dictionary, depth - 1);
    wrapper->SetString("z", "after");
    target->SetDictionary(key, wrapper);
  } else if (dictionary) {
    CefRefPtr<CefDictionaryValue> hostile = CefDictionaryValue::Create();
    for (int i = 0; i < 3; ++i)
      hostile->SetInt("k" + std::to_string(i), i);
    target->SetDictionary(key, hostile);
  } else {
    CefRefPtr<CefListValue> hostile = CefListValue::Create();
    for (int i = 0; i < 3; ++i)
      hostile->SetInt(i, i);
    target->SetList(key, hostile);
  }
}

// The page's setter that the host's assignment to element or member
// |position| of the hostile container runs; the wrappers have other keys
// and two elements.
std::string HostileSetter(bool dictionary, int position) {
  const std::string p = std::to_string(position);
  if (dictionary) {
    return "Object.defineProperty(Object.prototype, 'k" + p +
           "', {configurable: true, set(v) { removeFrame(victim); }});";
  }
  return "Object.defineProperty(Array.prototype, " + p +
         ", {configurable: true, set(v) { if (this.length === 3) "
         "removeFrame(victim); }});";
}

// Host to page, the host's call of a page function: a setter on the page's
// prototypes removes a frame while the arguments are assigned, at the
// first, middle or last element or member, at depths 1, 4 and 8; or the
// function itself removes one. A call whose frame went never runs, and its
// callback is gone with the frame.
TEST_F(SecurityTest, NoValueOfARemovedFrameIsSetAfterASetter) {
  enum Shape { kListSetter, kDictionarySetter, kFunctionBody };
  for (const Removal& removal : kRemovals) {
    for (const Shape shape : {kListSetter, kDictionarySetter, kFunctionBody}) {
      const bool in_body = shape == kFunctionBody;
      for (int position = 0; position < (in_body ? 1 : 3); ++position) {
        for (const int depth : kDepths) {
          if (in_body && depth != 1)
            continue;
          SCOPED_TRACE(::testing::Message()
                       << "callback of " << removal.caller << " removes "
                       << removal.victim << ", shape " << shape << ", position "
                       << position << " at depth " << depth);
          const bool dictionary = shape == kDictionarySetter;
          const int misuses = standin::CefMisuseCount();
          const int browser = CreateBrowserWithContext();
          std::map<std::string, int64> frames = RemovableFrames(browser);
          ASSERT_TRUE(renderer_->KeepValue(
              browser, frames["main"],
              "(function mark() { window.ran = (window.ran || 0) + 1; })",
              frames[removal.caller], "mark"));
          Eval(browser, frames[removal.caller],
               std::string("window.victim = '") + removal.victim + "';" +
                   (in_body ? "saveFile(function cb() { mark(); "
                              "removeFrame(victim); })"
                            : HostileSetter(dictionary, position) +
                                  "saveFile(function cb() { mark(); })"));
          const int id = registry().GetLastJavascriptCallbackIdForTesting();
          standin::ClearLog();

          CefRefPtr<CefProcessMessage> message =
              CefProcessMessage::Create(kExecuteJavascriptCallbackMessage);
          CefRefPtr<CefListValue> args = message->GetArgumentList();
          args->SetInt(0, id);
          SetNested(args, size_t{1}, dictionary, depth);
          args->SetString(2, "next");
          EXPECT_TRUE(
              renderer_->DeliverMessage(browser, frames["main"], message));

          EXPECT_EQ(misuses, standin::CefMisuseCount())
              << ::testing::PrintToString(MisuseLines());
          const bool runs = removal.call_goes || in_body;
          EXPECT_EQ(runs ? "\"1\"" : "\"undefined\"",
                    EvalMain(browser, "String(window.ran)"));
          EXPECT_EQ(runs ? 0u : 1u,
                    LogCount("[Renderer process] ExecuteJavascriptCallback(): "
                             "the frame went while the arguments converted, "
                             "id=" +
                             std::to_string(id)));
          EXPECT_EQ(removal.call_goes,
                    registry().HasJavascriptCallbackForTesting(id));
          EXPECT_EQ(nullptr, renderer_->GetBrowser(browser)->GetFrame(
                                 CefString(removal.victim)));
          EXPECT_TRUE(RegistryHoldsOnlyLiveFrames(browser));
          renderer_->DestroyBrowser(browser);
        }
      }
    }
  }
}

// Host to page, the installation: a setter removes a frame while the
// functions, the objects, their methods (first, middle or last) or the
// properties (at depths 1, 4 and 8) are assigned. The installation into the
// caller's frame stops; the others go on.
TEST_F(SecurityTest, NoValueOfARemovedFrameIsInstalledAfterASetter) {
  struct Site {
    std::string setter;  // defined by the page of the caller's frame
    bool dictionary;     // the hostile properties' kind
    int depth;           // of the hostile properties; 0: none
  };
  std::vector<Site> sites;
  for (int position = 0; position < 3; ++position) {
    const std::string p = std::to_string(position);
    for (const char* name :
         {"window, 'f", "window, 'o", "Object.prototype, 'm"}) {
      sites.push_back({std::string("Object.defineProperty(") + name + p +
                           "', {configurable: true, set(v) { "
                           "removeFrame(victim); }});",
                       false, 0});
    }
    for (const bool dictionary : {false, true}) {
      for (const int depth : kDepths)
        sites.push_back(
            {HostileSetter(dictionary, position), dictionary, depth});
    }
  }
  sites.push_back(
      {"Object.defineProperty(window, 'q', {configurable: true, "
       "set(v) { removeFrame(victim); }});",
       false, 0});
  for (const Removal& removal : kRemovals) {
    for (const Site& site : sites) {
      SCOPED_TRACE(::testing::Message()
                   << "installation into " << removal.caller << " removes "
                   << removal.victim << ": " << site.setter << " depth "
                   << site.depth);
      const int misuses = standin::CefMisuseCount();
      const int browser = CreateBrowserWithContext();
      std::map<std::string, int64> frames = RemovableFrames(browser);
      Eval(browser, frames[removal.caller],
           std::string("window.victim = '") + removal.victim + "';" +
               site.setter);
      CefRefPtr<CefDictionaryValue> properties = CefDictionaryValue::Create();
      if (site.depth > 0)
        SetNested(properties, CefString("p"), site.dictionary, site.depth);
      properties->SetString("q", "next");
      SendBindings(browser, BindingsBuilder()
                                .Functions({"f0", "f1", "f2"})
                                .Properties(properties)
                                .Object("o0", {"m0", "m1", "m2"})
                                .Object("o1", {"m0", "m1", "m2"})
                                .Object("o2", {"m0", "m1", "m2"})
                                .BindToFrames(true)
                                .Build());

      EXPECT_EQ(misuses, standin::CefMisuseCount())
          << ::testing::PrintToString(MisuseLines());
      EXPECT_EQ(nullptr, renderer_->GetBrowser(browser)->GetFrame(
                             CefString(removal.victim)));
      EXPECT_EQ(removal.call_goes ? 0u : 1u,
                LogCount("[Renderer process] DoJavascriptBindingsForFrame(): "
                         "the frame went during the installation"));
      // A frame removed before its own installation ran is skipped.
      EXPECT_EQ(removal.call_goes ? 1u : 0u,
                LogCount("[Renderer process] DoJavascriptBindingsForFrame(): "
                         "V8 context provided by CEF is invalid"));
      // The caller's own setter swallows a name there.
      for (const char* frame : {"main", "A", "S"}) {
        if (frame != std::string(removal.victim) &&
            frame != std::string(removal.caller)) {
          EXPECT_EQ("\"next function\"",
                    Eval(browser, frames[frame], "q + ' ' + typeof o2.m2"))
              << frame;
        }
      }
      renderer_->DestroyBrowser(browser);
    }
  }
}
}  // namespace
}  // namespace quillmoss
