// Message dispatch, the context hooks and binding installation, driven end to
// end through the stand-in renderer.
#include "tests/app/app_fixture.h"

namespace quillmoss {
namespace {

constexpr char kInvalidBindingsLine[] =
    "[Renderer process] OnProcessMessageReceived(): invalid arguments, "
    "messageName=DoJavascriptBindings";
constexpr char kInvalidCallbackLine[] =
    "[Renderer process] OnProcessMessageReceived: invalid arguments, expected "
    "first argument to be a javascript callback (int)";

using DispatchTest = AppFixture;

// Built as the renderer receives it: an empty name, which CEF's wrapper
// refuses to create, still arrives from a host that uses CEF's C API.
CefRefPtr<CefProcessMessage> Message(const std::string& name) {
  standin::ScopedWrapperChecksOff checks_off;
  return CefProcessMessage::Create(name);
}

TEST_F(DispatchTest, InstallsFunctionsPropertiesAndObjects) {
  const int browser = CreateBrowserWithContext();
  CefRefPtr<CefDictionaryValue> properties = CefDictionaryValue::Create();
  properties->SetString("version", "1.2");
  CefRefPtr<CefDictionaryValue> config = CefDictionaryValue::Create();
  config->SetBool("debug", true);
  properties->SetDictionary("config", config);
  ASSERT_TRUE(SendBindings(browser, BindingsBuilder()
                                        .Function("saveFile")
                                        .Properties(properties)
                                        .Object("external", {"close", "resize"})
                                        .Build()));

  EXPECT_EQ(
      R"(["function","1.2",{"debug":true},"function","function"])",
      EvalMain(browser,
               "[typeof saveFile, version, config, typeof external.close, "
               "typeof external.resize]"));
  // Functions carry the names their calls are forwarded under.
  EXPECT_EQ(R"(["saveFile","external.close"])",
            EvalMain(browser, "[saveFile.name, external.close.name]"));
  const std::vector<std::string> expected_lines = {
      "[Renderer process] OnProcessMessageReceived(): DoJavascriptBindings",
      "[Renderer process] DoJavascriptBindingsForFrame(): bindings are set"};
  EXPECT_EQ(expected_lines, LogTexts("quillmoss_app"));
}

TEST_F(DispatchTest, BoundCallsReachTheHostAndReturnNull) {
  const int browser = CreateBrowserWithContext();
  SendBindings(browser, BindingsBuilder()
                            .Function("saveFile")
                            .Object("external", {"close"})
                            .Build());
  TakeSent();

  EXPECT_EQ("[null,null]",
            EvalMain(browser, "[saveFile('x', true), external.close()]"));
  const std::vector<standin::SentMessage> sent = TakeSent();
  ASSERT_EQ(2u, sent.size());
  for (const standin::SentMessage& message : sent) {
    EXPECT_EQ(PID_BROWSER, message.target);
    EXPECT_EQ(MainFrame(browser), message.frame_id);
    EXPECT_EQ(kV8FunctionHandlerExecuteMessage,
              message.message->GetName().ToString());
  }
  CefRefPtr<CefListValue> first = sent[0].message->GetArgumentList();
  EXPECT_EQ("saveFile", first->GetString(0).ToString());
  CefRefPtr<CefListValue> call_args = first->GetList(1);
  ASSERT_EQ(2u, call_args->GetSize());
  EXPECT_EQ("x", call_args->GetString(0).ToString());
  EXPECT_TRUE(call_args->GetBool(1));
  CefRefPtr<CefListValue> second = sent[1].message->GetArgumentList();
  EXPECT_EQ("external.close", second->GetString(0).ToString());
  EXPECT_EQ(0u, second->GetList(1)->GetSize());
}

TEST_F(DispatchTest, UnboundNameThrowsAndSendsNothing) {
  const int browser = CreateBrowserWithContext();
  SendBindings(browser,
               BindingsBuilder().Function("saveFile").Function("old").Build());
  // New bindings without "old": its function object stays in the page but is
  // no longer callable.
  SendBindings(browser, BindingsBuilder().Function("saveFile").Build());
  TakeSent();
  EXPECT_EQ(
      "\"[Quillmoss] V8FunctionHandler::Execute() FAILED: function does not "
      "exist: old()\"",
      EvalMain(browser,
               "(() => { try { old(function cb() {}); return 'no throw'; } "
               "catch (e) { return e instanceof Error ? e.message : 'x'; } "
               "})()"));
  EXPECT_TRUE(TakeSent().empty());
  // A refused call stores no function.
  EXPECT_EQ(0u, registry().CountJavascriptCallbacksForTesting());
}

TEST_F(DispatchTest, ContextMessagesForEveryContextBeforeAnyInstallation) {
  const int browser = renderer_->CreateBrowser();
  const int64 sub = renderer_->AddFrame(browser, "child");
  renderer_->CreateContext(browser, MainFrame(browser));
  renderer_->CreateContext(browser, sub);
  const std::vector<standin::SentMessage> sent = TakeSent();
  ASSERT_EQ(2u, sent.size());
  EXPECT_EQ(kOnContextCreatedMessage, sent[0].message->GetName().ToString());
  EXPECT_EQ(MainFrame(browser), sent[0].frame_id);
  EXPECT_EQ(sub, sent[1].frame_id);
  EXPECT_EQ(0u, sent[0].message->GetArgumentList()->GetSize());
  // No bindings yet: nothing installed and nothing but the hook's line.
  const std::vector<std::string> expected = {
      "[Renderer process] OnContextCreated()",
      "[Renderer process] OnContextCreated()"};
  EXPECT_EQ(expected, AllLogTexts());
  EXPECT_EQ("\"undefined\"", EvalMain(browser, "typeof saveFile"));

  // Bindings that arrive later are installed by the posted task.
  SendBindings(browser, BindingsBuilder().Function("saveFile").Build());
  EXPECT_EQ("\"function\"", EvalMain(browser, "typeof saveFile"));

  renderer_->ReleaseContext(browser, sub);
  const std::vector<standin::SentMessage> released = TakeSent();
  ASSERT_EQ(1u, released.size());
  EXPECT_EQ(kOnContextReleasedMessage,
            released[0].message->GetName().ToString());
  EXPECT_EQ(sub, released[0].frame_id);
}

TEST_F(DispatchTest, LaterNamesWinAndABadObjectEntryStopsTheRest) {
  const int browser = CreateBrowserWithContext();
  // "c" is not a dictionary: an empty object "c" is left, "d" is missing.
  CefRefPtr<CefDictionaryValue> bindings = BindingsBuilder()
                                               .Function("both")
                                               .Function("all")
                                               .Property("both", 5)
                                               .Property("all", 6)
                                               .Object("all", {"m"})
                                               .Object("b", {"m"})
                                               .ObjectInt("c", 1)
                                               .Object("d", {"m"})
                                               .Build();
  standin::ClearLog();
  SendBindings(browser, bindings);
  EXPECT_EQ(R"([5,"function","function","object",0,"undefined"])",
            EvalMain(browser,
                     "[both, typeof all.m, typeof b.m, typeof c, "
                     "Object.keys(c).length, typeof d]"));
  EXPECT_EQ(
      "[Renderer process] DoJavascriptBindingsForFrame(): "
      "objects->GetType() != VTYPE_DICTIONARY",
      AllLogTexts().back());
}

// CEF's wrapper makes no function without a name and reads no entry under
// an empty key (a debug renderer aborts on either), so an empty name is
// refused with its line wherever it stands, and the other names go on. A
// function key with a full stop at an end is installed but never bound (the
// look-up splits at the first full stop); calling it asks CEF for no empty
// key either.
TEST_F(DispatchTest, EmptyNamesAreRefusedAndTheOthersGoOn) {
  const int browser = CreateBrowserWithContext();
  CefRefPtr<CefDictionaryValue> properties = CefDictionaryValue::Create();
  {
    // As the host's dictionary arrives: CEF's wrapper would not set them.
    standin::ScopedWrapperChecksOff checks_off;
    properties->SetInt("", 1);
    properties->SetInt("version", 2);
    CefRefPtr<CefDictionaryValue> config = CefDictionaryValue::Create();
    config->SetInt("", 3);
    config->SetBool("debug", true);
    properties->SetDictionary("config", config);
  }
  ASSERT_TRUE(
      SendBindings(browser, BindingsBuilder()
                                .Functions({"", "saveFile", ".close", "x."})
                                .Properties(properties)
                                .Object("", {"close"})
                                .Object("external", {"", "close"})
                                .Object("x", {""})
                                .Build()));
  EXPECT_EQ(R"(["function","undefined",2,{"debug":true},"close",0])",
            EvalMain(browser,
                     "[typeof saveFile, typeof window[''], version, config, "
                     "Object.keys(external).join(), Object.keys(x).length]"));
  const std::vector<std::string> expected_lines = {
      "[Renderer process] OnProcessMessageReceived(): DoJavascriptBindings",
      "[Renderer process] DoJavascriptBindingsForFrame(): bindings are set",
      "[Renderer process] DoJavascriptBindingsForFrame(): empty function "
      "name refused",
      "[Renderer process] DoJavascriptBindingsForFrame(): empty object name "
      "refused",
      "[Renderer process] DoJavascriptBindingsForFrame(): empty method name "
      "refused, object=external",
      "[Renderer process] DoJavascriptBindingsForFrame(): empty method name "
      "refused, object=x"};
  EXPECT_EQ(expected_lines, LogTexts("quillmoss_app"));
  EXPECT_EQ(std::vector<std::string>(2,
                                     "[Renderer process] "
                                     "CefDictionaryValueToV8Value(): empty "
                                     "key, entry left out"),
            LogTexts("v8utils"));

  TakeSent();
  EXPECT_EQ("[null,null]",
            EvalMain(browser, "[saveFile(1), external.close()]"));
  EXPECT_EQ(2u, TakeSent().size());
  for (const char* name : {".close", "x."}) {
    EXPECT_EQ(std::string("\"[Quillmoss] V8FunctionHandler::Execute() FAILED: "
                          "function does not exist: ") +
                  name + "()\"",
              EvalMain(browser, std::string("(() => { try { window['") + name +
                                    "'](); } catch (e) { return e.message; } "
                                    "})()"));
  }
  EXPECT_TRUE(TakeSent().empty());
}

// Page script can put enumerable accessors on Object.prototype, which CEF
// lists with an object's own keys. The properties go straight from the
// host's dictionary onto the global: no such getter runs, no inherited name
// is set, and nothing unsettable reaches CEF. A host name the page guards
// with a setter goes to that setter, as any assignment to the global does.
TEST_F(DispatchTest, PropertiesReadNothingThePageInherited) {
  const int browser = CreateBrowserWithContext();
  EvalMain(browser,
           "window.reads = []; window.writes = [];"
           "for (const [name, get] of [['version', () => { throw 1; }],"
           "    ['build', () => Symbol('s')], ['extra', () => 4]]) {"
           "  Object.defineProperty(Object.prototype, name, {"
           "      get() { reads.push(name); return get(); },"
           "      set(v) { writes.push([name, v]); },"
           "      enumerable: true, configurable: true});"
           "} 0");
  standin::ClearLog();
  SendBindings(browser, BindingsBuilder()
                            .Property("version", 2)
                            .Property("build", "b")
                            .Property("other", 3)
                            .Build());
  EXPECT_EQ(R"([3,[],[["build","b"],["version",2]],[]])",
            EvalMain(browser,
                     "[other, reads, writes, ['version', 'build', 'extra']"
                     ".filter(n => Object.getOwnPropertyNames(window)"
                     ".includes(n))]"));
  const std::vector<std::string> expected_lines = {
      "[Renderer process] OnProcessMessageReceived(): DoJavascriptBindings",
      "[Renderer process] DoJavascriptBindingsForFrame(): bindings are set"};
  EXPECT_EQ(expected_lines, AllLogTexts());
}

// Assigning "__proto__" to the global would replace the page's prototype
// chain and make the members of the host's value globals: the name is
// refused with a line wherever the host gives it (a property, a function,
// an object), and the other bindings are installed.
TEST_F(DispatchTest, PropertyProtoIsRefused) {
  const int browser = CreateBrowserWithContext();
  CefRefPtr<CefDictionaryValue> proto = CefDictionaryValue::Create();
  proto->SetInt("x", 1);
  proto->SetDictionary("y", CefDictionaryValue::Create());
  // Inside a value the key stays an assignment to the new object.
  CefRefPtr<CefDictionaryValue> config = CefDictionaryValue::Create();
  config->SetDictionary("__proto__", proto->Copy(false));
  CefRefPtr<CefDictionaryValue> properties = CefDictionaryValue::Create();
  properties->SetDictionary("__proto__", proto);
  properties->SetInt("version", 2);
  properties->SetDictionary("config", config);
  CefRefPtr<CefDictionaryValue> bindings = BindingsBuilder()
                                               .Properties(properties)
                                               .Function("__proto__")
                                               .Object("__proto__", {"m"})
                                               .Object("tools", {"__proto__"})
                                               .Build();
  EvalMain(browser, "window.before = Object.getPrototypeOf(window); 0");
  standin::ClearLog();
  SendBindings(browser, bindings);
  EXPECT_EQ(R"([true,"undefined","undefined",false,2,[],1,true])",
            EvalMain(browser,
                     "[Object.getPrototypeOf(window) === before, typeof x, "
                     "typeof y, Object.getOwnPropertyNames(window)"
                     ".includes('__proto__'), version, Object.keys(config), "
                     "Object.getPrototypeOf(config).x, "
                     "Object.getPrototypeOf(tools) === Object.prototype]"));
  const std::vector<std::string> expected_lines = {
      "[Renderer process] OnProcessMessageReceived(): DoJavascriptBindings",
      "[Renderer process] DoJavascriptBindingsForFrame(): bindings are set",
      "[Renderer process] DoJavascriptBindingsForFrame(): function __proto__ "
      "refused",
      "[Renderer process] DoJavascriptBindingsForFrame(): property __proto__ "
      "refused",
      "[Renderer process] DoJavascriptBindingsForFrame(): object __proto__ "
      "refused",
      "[Renderer process] DoJavascriptBindingsForFrame(): method __proto__ "
      "refused, object=tools"};
  EXPECT_EQ(expected_lines, AllLogTexts());
  // The host's stored dictionary keeps the key.
  EXPECT_TRUE(app_->GetBindingsForBrowser(renderer_->GetBrowser(browser))
                  ->GetDictionary(kPropertiesKey)
                  ->HasKey("__proto__"));
}

TEST_F(DispatchTest, EmptyDictionariesInstallNothing) {
  const int browser = CreateBrowserWithContext();
  EXPECT_TRUE(SendBindings(browser, BindingsBuilder().Build()));
  EXPECT_EQ("\"undefined\"", EvalMain(browser, "typeof saveFile"));
}

TEST_F(DispatchTest, BindingsReplacedBeforeTheTaskRunsInstallTheNewer) {
  const int browser = CreateBrowserWithContext();
  SendBindings(browser, BindingsBuilder().Function("first").Build(),
               /*run_tasks=*/false);
  SendBindings(browser, BindingsBuilder().Function("second").Build(),
               /*run_tasks=*/false);
  EXPECT_EQ(2u, renderer_->PendingTaskCount());
  renderer_->RunPendingTasks();
  EXPECT_EQ(R"(["undefined","function"])",
            EvalMain(browser, "[typeof first, typeof second]"));
}

TEST_F(DispatchTest, TaskForAReleasedContextOnlyLogsThatItIsInvalid) {
  const int browser = CreateBrowserWithContext();
  SendBindings(browser, BindingsBuilder().Function("saveFile").Build(),
               /*run_tasks=*/false);
  renderer_->ReleaseContext(browser, MainFrame(browser));
  standin::ClearLog();
  renderer_->RunPendingTasks();
  const std::vector<std::string> expected = {
      "[Renderer process] DoJavascriptBindingsForFrame(): bindings are set",
      "[Renderer process] DoJavascriptBindingsForFrame(): V8 context "
      "provided by CEF is invalid"};
  EXPECT_EQ(expected, AllLogTexts());
}

// An installation task run while another frame's context is current (a
// nested message loop) still makes the bound values in its own frame's
// context: functions of that page's realm that speak for that frame.
TEST_F(DispatchTest, InstallationEntersItsOwnContextWhateverIsCurrent) {
  const int browser = CreateBrowserWithContext();
  const int64 child = renderer_->AddFrame(browser, "child");
  renderer_->CreateContext(browser, child);
  CefRefPtr<CefBrowser> cef_browser = renderer_->GetBrowser(browser);
  app_->SetBindingsForBrowser(
      cef_browser,
      BindingsBuilder().Function("saveFile").Object("api", {"call"}).Build());
  CefRefPtr<CefFrame> main = renderer_->GetFrame(browser, MainFrame(browser));
  CefRefPtr<CefV8Context> child_context =
      renderer_->GetFrame(browser, child)->GetV8Context();
  ASSERT_TRUE(child_context->Enter());
  app_->DoJavascriptBindingsForFrame(cef_browser, main, main->GetV8Context());
  EXPECT_TRUE(child_context->Exit());
  TakeSent();

  EXPECT_EQ("[true,true]",
            EvalMain(browser,
                     "[saveFile instanceof Function, "
                     "Object.getPrototypeOf(api) === Object.prototype]"));
  EXPECT_EQ("\"undefined\"", Eval(browser, child, "typeof saveFile"));
  EvalMain(browser, "saveFile(1); api.call(2)");
  const std::vector<standin::SentMessage> sent = TakeSent();
  ASSERT_EQ(2u, sent.size());
  for (const standin::SentMessage& message : sent)
    EXPECT_EQ(MainFrame(browser), message.frame_id);
}

TEST_F(DispatchTest, RefusesMalformedBindingsMessages) {
  const int browser = CreateBrowserWithContext();
  CefRefPtr<CefProcessMessage> two_args = Message(kDoJavascriptBindingsMessage);
  two_args->GetArgumentList()->SetDictionary(
      0, BindingsBuilder().Function("f").Build());
  two_args->GetArgumentList()->SetInt(1, 1);
  CefRefPtr<CefProcessMessage> list_arg = Message(kDoJavascriptBindingsMessage);
  list_arg->GetArgumentList()->SetList(0, CefListValue::Create());
  CefRefPtr<CefProcessMessage> no_args = Message(kDoJavascriptBindingsMessage);

  for (CefRefPtr<CefProcessMessage> message : {two_args, list_arg, no_args}) {
    standin::ClearLog();
    EXPECT_FALSE(
        renderer_->DeliverMessage(browser, MainFrame(browser), message));
    ASSERT_EQ(2u, AllLogTexts().size());
    EXPECT_EQ(kInvalidBindingsLine, AllLogTexts()[1]);
    EXPECT_EQ(2, standin::LogRecords()[1].severity);
  }
  EXPECT_EQ(0u, QuillmossAppTestPeer::BindingsCount(app_.get()));
  EXPECT_EQ(0u, renderer_->PendingTaskCount());
}

TEST_F(DispatchTest, OtherNamesAreAcceptedAndIgnored) {
  const int browser = CreateBrowserWithContext();
  for (const char* name : {"dojavascriptbindings", "Something", ""}) {
    standin::ClearLog();
    EXPECT_TRUE(
        renderer_->DeliverMessage(browser, MainFrame(browser), Message(name)));
    const std::vector<std::string> expected = {
        std::string("[Renderer process] OnProcessMessageReceived(): ") + name};
    EXPECT_EQ(expected, AllLogTexts());
  }
  EXPECT_EQ(0u, QuillmossAppTestPeer::BindingsCount(app_.get()));
}

TEST_F(DispatchTest, RefusesCallbackMessagesWithoutAnIntegerId) {
  const int browser = CreateBrowserWithContext();
  CefRefPtr<CefProcessMessage> as_double =
      Message(kExecuteJavascriptCallbackMessage);
  as_double->GetArgumentList()->SetDouble(0, 1.0);
  CefRefPtr<CefProcessMessage> as_string =
      Message(kExecuteJavascriptCallbackMessage);
  as_string->GetArgumentList()->SetString(0, "1");
  CefRefPtr<CefProcessMessage> empty =
      Message(kExecuteJavascriptCallbackMessage);
  for (CefRefPtr<CefProcessMessage> message : {as_double, as_string, empty}) {
    standin::ClearLog();
    EXPECT_FALSE(
        renderer_->DeliverMessage(browser, MainFrame(browser), message));
    EXPECT_EQ(kInvalidCallbackLine, AllLogTexts().back());
  }
}

TEST_F(DispatchTest, CallbackMessageCallsTheStoredFunctionWithItsArguments) {
  const int browser = CreateBrowserWithContext();
  SendBindings(browser, BindingsBuilder().Function("register").Build());
  EvalMain(browser,
           "window.calls = []; register(function onDone(...args) { "
           "calls.push(args); })");
  ASSERT_EQ(1, registry().GetLastJavascriptCallbackIdForTesting());

  CefRefPtr<CefProcessMessage> with_args =
      Message(kExecuteJavascriptCallbackMessage);
  with_args->GetArgumentList()->SetInt(0, 1);
  with_args->GetArgumentList()->SetString(1, "text");
  with_args->GetArgumentList()->SetInt(2, 42);
  CefRefPtr<CefProcessMessage> id_only =
      Message(kExecuteJavascriptCallbackMessage);
  id_only->GetArgumentList()->SetInt(0, 1);
  EXPECT_TRUE(
      renderer_->DeliverMessage(browser, MainFrame(browser), with_args));
  EXPECT_TRUE(renderer_->DeliverMessage(browser, MainFrame(browser), id_only));
  EXPECT_EQ(R"([["text",42],[]])", EvalMain(browser, "calls"));
}

// Ids count across the browsers of a process: the host's reply for one
// window must not run a function of another window's page.
TEST_F(DispatchTest, CallbackRunsOnlyThroughItsOwnBrowser) {
  const int gallery = CreateBoundBrowser({"register"});
  const int ad = CreateBoundBrowser({"register"});
  const char kRecord[] =
      "window.calls = []; register(function onEvent(x) { calls.push(x); })";
  EvalMain(gallery, kRecord);  // id 1
  EvalMain(ad, kRecord);       // id 2
  EvalMain(gallery, kRecord);  // id 3
  standin::ClearLog();
  const auto send = [this](int browser, int id) {
    CefRefPtr<CefProcessMessage> message =
        Message(kExecuteJavascriptCallbackMessage);
    message->GetArgumentList()->SetInt(0, id);
    message->GetArgumentList()->SetString(1, "for " + std::to_string(id));
    renderer_->DeliverMessage(browser, MainFrame(browser), message);
  };
  send(gallery, 2);
  send(ad, 1);
  send(ad, 3);
  const std::vector<std::string> refused = {
      "[Renderer process] ExecuteJavascriptCallback(): callback belongs to "
      "another browser, id=2",
      "[Renderer process] ExecuteJavascriptCallback(): callback belongs to "
      "another browser, id=1",
      "[Renderer process] ExecuteJavascriptCallback(): callback belongs to "
      "another browser, id=3"};
  EXPECT_EQ(refused, LogTexts("javascript_callback"));
  EXPECT_EQ("[]", EvalMain(gallery, "calls"));
  EXPECT_EQ("[]", EvalMain(ad, "calls"));

  send(ad, 2);
  send(gallery, 3);
  EXPECT_EQ(R"(["for 2"])", EvalMain(ad, "calls"));
  EXPECT_EQ(R"(["for 3"])", EvalMain(gallery, "calls"));
  EXPECT_EQ(3u, registry().CountJavascriptCallbacksForTesting());
}

TEST_F(DispatchTest, ReleasedContextDropsItsFramesCallbacksOnly) {
  const int browser = CreateBrowserWithContext();
  const int64 sub = renderer_->AddFrame(browser, "child");
  renderer_->CreateContext(browser, sub);
  SendBindings(
      browser,
      BindingsBuilder().Function("register").BindToFrames(true).Build());
  Eval(browser, sub, "register(function a() {}, function b() {})");
  EvalMain(browser, "register(function c() {})");
  ASSERT_EQ(3u, registry().CountJavascriptCallbacksForTesting());
  TakeSent();
  standin::ClearLog();

  // Its page moves to another process (a cross-site navigation): here the
  // frame turns remote, and its context goes as a release.
  EXPECT_NE(0, renderer_->SwapFrame(browser, sub, /*remote=*/true));
  const std::vector<std::string> expected = {
      "[Renderer process] OnContextReleased()",
      "[Renderer process] RemoveJavascriptCallbacksForFrame(): removed js "
      "callback from the map",
      "[Renderer process] RemoveJavascriptCallbacksForFrame(): removed js "
      "callback from the map"};
  EXPECT_EQ(expected, AllLogTexts());
  ASSERT_EQ(1u, registry().CountJavascriptCallbacksForTesting());
  EXPECT_EQ(3, registry().GetJavascriptCallbackIdsForTesting().front());
  // A released frame's callback cannot be run by id.
  standin::ClearLog();
  EXPECT_FALSE(registry().ExecuteJavascriptCallback(
      *app_, renderer_->GetBrowser(browser), 1, CefListValue::Create()));
  EXPECT_EQ(
      "[Renderer process] ExecuteJavascriptCallback(): callback not found, "
      "id=1",
      AllLogTexts().back());
}

TEST_F(DispatchTest, DestroyedBrowserLosesItsBindings) {
  const int browser = CreateBrowserWithContext();
  SendBindings(browser, BindingsBuilder().Function("saveFile").Build());
  CefRefPtr<CefBrowser> cef_browser = renderer_->GetBrowser(browser);
  CefRefPtr<CefFrame> frame = cef_browser->GetMainFrame();
  renderer_->DestroyBrowser(browser);
  EXPECT_EQ(0u, QuillmossAppTestPeer::BindingsCount(app_.get()));
  EXPECT_EQ("[Renderer process] OnBrowserDestroyed()", AllLogTexts().back());

  // A late context hook for that browser finds nothing to install.
  standin::ClearLog();
  app_->DoJavascriptBindingsForFrame(cef_browser, frame, nullptr);
  const std::vector<std::string> expected = {
      "[Renderer process] DoJavascriptBindingsForFrame(): bindings not set "
      "yet"};
  EXPECT_EQ(expected, AllLogTexts());

  // The browser lived on in another process and its main frame's page comes
  // back here under the same id: it starts without bindings, as in a
  // process that never had them, until the host sends them again.
  ASSERT_EQ(browser, renderer_->CreateBrowser("", browser, false));
  renderer_->CreateContext(browser, MainFrame(browser));
  EXPECT_EQ("\"undefined\"", EvalMain(browser, "typeof saveFile"));
}

TEST_F(DispatchTest, ScheduleWithoutBindingsIsRefused) {
  const int browser = CreateBrowserWithContext();
  app_->DoJavascriptBindingsForBrowser(renderer_->GetBrowser(browser));
  EXPECT_EQ(0u, renderer_->PendingTaskCount());
  const std::vector<std::string> expected = {
      "[Renderer process] DoJavascriptBindingsForBrowser(): bindings not set"};
  EXPECT_EQ(expected, LogTexts("quillmoss_app"));
}

}  // namespace
}  // namespace quillmoss
