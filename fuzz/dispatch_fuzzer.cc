// Drives one renderer through whatever the bytes choose: browsers, frames,
// contexts made and released, messages of every name with argument trees of
// every CEF type, posted tasks, page calls of whatever got installed, and
// browsers destroyed. It looks for crashes, sanitizer reports and leaked
// stand-in objects; the renderer must survive all of it.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "app/javascript_callback.h"
#include "common/process_messages.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/page_values.h"
#include "support/bindings_builder.h"

namespace {

constexpr int kMaxSteps = 48;
constexpr size_t kMaxBrowsers = 3;
constexpr size_t kMaxFramesPerBrowser = 5;
// A context that gets bindings costs V8 a snapshot deserialisation, more
// than all else an input does; past these, frames go without. Two are
// enough for every path between contexts (two browsers, or a main frame and
// a sub-frame): the corpus of an hour's run covered the same edges with 2 as
// with 4, at a fifth more inputs a second.
constexpr int kMaxContextsPerInput = 2;

const char* const kMessageNames[] = {
    quillmoss::kDoJavascriptBindingsMessage,
    quillmoss::kExecuteJavascriptCallbackMessage,
    quillmoss::kOnContextCreatedMessage,
    quillmoss::kOnContextReleasedMessage,
    quillmoss::kExecutePythonCallbackMessage,
    quillmoss::kV8FunctionHandlerExecuteMessage,
    "dojavascriptbindings",
    "",
};

// Names page script will find on the global and call; some clash with what
// the page or the split into object and method gives a meaning to.
const char* const kBindingNames[] = {
    "f",     "g",      "register", "a.b",         "",  "x y",
    "\"q\\", "window", "toString", "constructor", "0", "__proto__",
};

// Arguments of page calls, beside those of the grammar (fuzz/page_values.h);
// the seeds name them by index. Some run bound functions again when the host
// calls them back, some throw while being converted.
const char* const kArgumentTemplates[] = {
    "1",
    "-2147483648",
    "2147483648",
    "4294967295",
    "4294967296",
    "0.5",
    "NaN",
    "-0",
    "Infinity",
    "'text'",
    "'\\ud800x\\udc00'",
    "null",
    "undefined",
    "true",
    "[1,[2,[3,[4,[5,[6,[7,[8,[9,[10,[11]]]]]]]]]]]",
    "{a: {b: {c: 1}}, d: [1, 2]}",
    "function cb(...a) { globalThis.calls = (globalThis.calls | 0) + 1; "
    "return a.length; }",
    "function again(...a) { const t = pick(a.length); return t && t(...a, "
    "again); }",
    "function thrower() { throw new Error('callback threw'); }",
    "new Date(5)",
    "Symbol('s')",
    "10n",
    "(() => { const a = [1]; a.push(a); return a; })()",
    "{get x() { throw new Error('getter'); }, y: 1}",
    // Not a Proxy whose key listing throws: that aborts CEF 81 itself.
    "new Proxy({a: 1}, {has() { throw 1; }})",
    "new Proxy([1, 2], {get() { throw 2; }})",
    "[, 1, , 2]",
    "Object.defineProperty([1, 2], 0, {get() { throw 3; }})",
    "new Uint8Array(3)",
    "{get x() { const t = pick(1); return t && t(7); }}",
    "new Array(2 ** 31 - 1)",
    "{a: new Array(4294967295)}",
    // FRAME stands for a frame of the browser: the page removes it while the
    // call converts, or later, while the host's call back converts or runs.
    "{get x() { removeFrame(FRAME); return function late() {}; }}",
    "[function early() {}, {get x() { removeFrame(FRAME); "
    "return [function late() {}, {f() {}}]; }}]",
    "(Object.defineProperty(Array.prototype, '0', {configurable: true, "
    "set(v) { removeFrame(FRAME); }}), function cb() {})",
    "function bye() { removeFrame(FRAME); }",
    // Setters that installing bindings runs: on a global of a bound name,
    // and inherited by every object, the global and the bound objects too.
    "(Object.defineProperty(window, 'g', {configurable: true, "
    "set(v) { removeFrame(FRAME); }}), 1)",
    "(Object.defineProperty(Object.prototype, 'f', {configurable: true, "
    "set(v) { removeFrame(FRAME); }}), 1)",
};

// Collects the callable things that page script can reach from the global:
// bound functions, methods of bound objects and host callbacks inside
// properties. |pick(n)| chooses among them.
constexpr char kPagePrelude[] =
    "(() => {"
    "const targets = [];"
    "const seen = new Set();"
    "const walk = (v, depth) => {"
    "  if (depth > 3 || v === null || seen.has(v)) return;"
    "  if (typeof v === 'function') { targets.push(v); return; }"
    "  if (typeof v !== 'object') return;"
    "  seen.add(v);"
    "  for (const k of Object.keys(v)) {"
    "    const d = Object.getOwnPropertyDescriptor(v, k);"
    "    if (d && 'value' in d) walk(d.value, depth + 1);"
    "  }"
    "};"
    "for (const k of Object.keys(globalThis)) {"
    "  if (k !== 'window' && k !== 'calls') walk(globalThis[k], 0);"
    "}"
    "const pick = (n) => targets.length ? targets[n % targets.length] : null;";

struct Browser {
  int id = 0;
  std::vector<int64> frames;       // the main frame first
  std::map<int64, int64> parents;  // of every frame added; the main frame's 0
};

class Driver {
 public:
  Driver(FuzzedDataProvider& data, fuzz::Session& session)
      : data_(data), renderer_(session.renderer()), app_(*session.app()) {}

  void Run() {
    const bool verbose = fuzz::Verbose();
    for (int step = 0; step < kMaxSteps && data_.remaining_bytes() > 0;
         ++step) {
      const int operation = data_.ConsumeIntegralInRange(0, 10);
      if (verbose)
        std::fprintf(stderr, "step %d: operation %d\n", step, operation);
      switch (operation) {
        case 0:
          CreateBrowser();
          break;
        case 1:
          AddFrame();
          break;
        case 2:
          WithFrame(
              [this](Browser& b, int64 frame) { CreateContext(b.id, frame); });
          break;
        case 3:
          WithFrame([this](Browser& b, int64 frame) {
            renderer_.ReleaseContext(b.id, frame);
          });
          break;
        case 4:
        case 5:
          SendMessage();
          break;
        case 6:
          renderer_.RunPendingTasks();
          break;
        case 7:
        case 8:
          CallFromPage();
          break;
        case 9:
          ExecuteCallbackDirectly();
          break;
        default:
          DestroyBrowser();
          break;
      }
      if (verbose) {
        for (const standin::SentMessage& sent : renderer_.SentMessages()) {
          std::fprintf(stderr, "  sent %s\n",
                       sent.message->GetName().ToString().c_str());
        }
        for (const standin::LogRecord& record : standin::LogRecords())
          std::fprintf(stderr, "  log %s\n", record.message.c_str());
      }
      ForgetRemovedFrames();
      renderer_.ClearSentMessages();
      standin::ClearLog();
    }
  }

 private:
  Browser* PickBrowser() {
    if (browsers_.empty())
      return nullptr;
    return &browsers_[data_.ConsumeIntegralInRange<size_t>(
        0, browsers_.size() - 1)];
  }

  template <typename Action>
  void WithFrame(Action action) {
    Browser* browser = PickBrowser();
    if (!browser)
      return;
    // Mostly the main frame: that is where the host speaks.
    const size_t index = data_.ConsumeBool()
                             ? 0
                             : data_.ConsumeIntegralInRange<size_t>(
                                   0, browser->frames.size() - 1);
    action(*browser, browser->frames[index]);
  }

  int64 PickFrame(const Browser& browser) {
    return browser.frames[data_.ConsumeIntegralInRange<size_t>(
        0, browser.frames.size() - 1)];
  }

  // Page script may have removed frames, with the frames below them.
  void ForgetRemovedFrames() {
    for (Browser& browser : browsers_) {
      CefRefPtr<CefBrowser> cef_browser = renderer_.GetBrowser(browser.id);
      browser.frames.erase(
          std::remove_if(browser.frames.begin(), browser.frames.end(),
                         [&cef_browser](int64 frame) {
                           return !cef_browser->GetFrame(frame);
                         }),
          browser.frames.end());
    }
  }

  void CreateBrowser() {
    if (browsers_.size() >= kMaxBrowsers)
      return;
    Browser browser;
    browser.id = renderer_.CreateBrowser(data_.ConsumeBool() ? "" : "main");
    browser.frames.push_back(renderer_.MainFrameId(browser.id));
    if (data_.ConsumeBool())
      CreateContext(browser.id, browser.frames[0]);
    browsers_.push_back(browser);
  }

  void AddFrame() {
    Browser* browser = PickBrowser();
    if (!browser || browser->frames.size() >= kMaxFramesPerBrowser)
      return;
    const int64 parent = browser->frames[data_.ConsumeIntegralInRange<size_t>(
        0, browser->frames.size() - 1)];
    const int64 frame = renderer_.AddFrame(
        browser->id, data_.ConsumeRandomLengthString(8), parent);
    if (frame == 0)
      return;
    browser->frames.push_back(frame);
    browser->parents[frame] = parent;
    if (data_.ConsumeBool())
      CreateContext(browser->id, frame);
  }

  void CreateContext(int browser, int64 frame) {
    if (contexts_made_ >= kMaxContextsPerInput)
      return;
    ++contexts_made_;
    renderer_.CreateContext(browser, frame);
  }

  void DestroyBrowser() {
    if (browsers_.empty())
      return;
    const size_t index =
        data_.ConsumeIntegralInRange<size_t>(0, browsers_.size() - 1);
    renderer_.DestroyBrowser(browsers_[index].id);
    browsers_.erase(browsers_.begin() + static_cast<std::ptrdiff_t>(index));
  }

  std::string MessageName() {
    const size_t count = sizeof(kMessageNames) / sizeof(kMessageNames[0]);
    const size_t choice = data_.ConsumeIntegralInRange<size_t>(0, count);
    if (choice == count)
      return data_.ConsumeRandomLengthString(32);
    return kMessageNames[choice];
  }

  std::string BindingName() {
    if (data_.ConsumeIntegralInRange(0, 3) == 0)
      return data_.ConsumeRandomLengthString(12);
    return kBindingNames[data_.ConsumeIntegralInRange<size_t>(
        0, sizeof(kBindingNames) / sizeof(kBindingNames[0]) - 1)];
  }

  // A dictionary shaped like the host's bindings, with a fault or two.
  CefRefPtr<CefDictionaryValue> Bindings() {
    testing_support::BindingsBuilder bindings;
    fuzz::ValueBuilder values(data_, 12, 48);
    switch (data_.ConsumeIntegralInRange(0, 5)) {
      case 0:
        bindings.Omit(quillmoss::kBindToFramesKey);
        break;
      case 1:
        bindings.SetInt(quillmoss::kBindToFramesKey, 1);
        break;
      default:
        bindings.BindToFrames(data_.ConsumeBool());
        break;
    }
    if (data_.ConsumeIntegralInRange(0, 7) != 0) {
      const int count = data_.ConsumeIntegralInRange(0, 4);
      for (int i = 0; i < count; ++i)
        bindings.Function(BindingName());
    } else {
      bindings.SetString(quillmoss::kFunctionsKey, "not a dictionary");
    }
    if (data_.ConsumeIntegralInRange(0, 7) != 0) {
      CefRefPtr<CefDictionaryValue> properties = CefDictionaryValue::Create();
      values.FillDictionary(properties, 2);
      bindings.Properties(properties);
    } else {
      bindings.Omit(quillmoss::kPropertiesKey);
    }
    if (data_.ConsumeIntegralInRange(0, 7) != 0) {
      const int count = data_.ConsumeIntegralInRange(0, 3);
      for (int i = 0; i < count; ++i) {
        const std::string object = BindingName();
        if (data_.ConsumeIntegralInRange(0, 5) == 0) {
          bindings.ObjectInt(object, 1);
          continue;
        }
        std::vector<std::string> methods;
        const int method_count = data_.ConsumeIntegralInRange(0, 3);
        for (int m = 0; m < method_count; ++m)
          methods.push_back(BindingName());
        bindings.Object(object, methods);
      }
    } else {
      bindings.Omit(quillmoss::kObjectsKey);
    }
    return bindings.Build();
  }

  void SendMessage() {
    WithFrame([this](Browser& b, int64 frame) {
      const std::string name = MessageName();
      CefRefPtr<CefProcessMessage> message;
      {
        // The message as it arrives: an empty name or key, which CEF's
        // wrapper would refuse to set, comes from a host using the C API.
        standin::ScopedWrapperChecksOff checks_off;
        message = CefProcessMessage::Create(name);
        CefRefPtr<CefListValue> args = message->GetArgumentList();
        fuzz::ValueBuilder values(data_, 12, 64);
        if (name == quillmoss::kDoJavascriptBindingsMessage &&
            data_.ConsumeIntegralInRange(0, 3) != 0) {
          args->SetDictionary(0, Bindings());
          if (data_.ConsumeIntegralInRange(0, 7) == 0)
            values.FillList(args, 1, 2);  // extra arguments
        } else if (name == quillmoss::kExecuteJavascriptCallbackMessage &&
                   data_.ConsumeIntegralInRange(0, 3) != 0) {
          args->SetInt(0, CallbackId());
          values.FillList(args, 1);
        } else {
          values.FillList(args, 1);
        }
      }
      renderer_.DeliverMessage(b.id, frame, message);
    });
  }

  // Mostly an id that is or was in the registry.
  int CallbackId() {
    if (data_.ConsumeIntegralInRange(0, 5) == 0)
      return data_.ConsumeIntegral<int>();
    const int last_id = app_.javascript_callbacks_for_testing()
                            .GetLastJavascriptCallbackIdForTesting();
    return data_.ConsumeIntegralInRange(0, last_id + 1);
  }

  // The frames of |browser| an action of the calling |frame|'s page may
  // remove: its own, its parent, a sibling, a child.
  static fuzz::FrameRoles RolesOf(const Browser& browser, int64 frame) {
    const auto parent_of = [&browser](int64 f) {
      const auto it = browser.parents.find(f);
      return it == browser.parents.end() ? int64{0} : it->second;
    };
    int64 sibling = 0;
    int64 child = 0;
    for (const int64 other : browser.frames) {
      if (other == frame)
        continue;
      if (!sibling && parent_of(other) == parent_of(frame))
        sibling = other;
      if (!child && parent_of(other) == frame)
        child = other;
    }
    return {std::to_string(frame), std::to_string(parent_of(frame)),
            std::to_string(sibling), std::to_string(child)};
  }

  void CallFromPage() {
    WithFrame([this](Browser& b, int64 frame) {
      std::string script = kPagePrelude;
      script += fuzz::kPageValuesPrelude;
      const size_t prelude_length = script.size();
      script += "const t = pick(" +
                std::to_string(data_.ConsumeIntegral<uint16_t>()) + ");";
      script += "if (!t) return 'nothing to call';";
      script += "return t(";
      const int count = data_.ConsumeIntegralInRange(0, 4);
      fuzz::PageValueGrammar grammar(data_, RolesOf(b, frame));
      bool removes_frames = false;
      for (int i = 0; i < count; ++i) {
        if (i > 0)
          script += ", ";
        // One byte: a template's index, or the grammar.
        const size_t choice = data_.ConsumeIntegralInRange<size_t>(0, 255);
        if (choice >=
            sizeof(kArgumentTemplates) / sizeof(kArgumentTemplates[0])) {
          script += grammar.Value();
          continue;
        }
        std::string argument = kArgumentTemplates[choice];
        const size_t at = argument.find("FRAME");
        if (at != std::string::npos) {
          removes_frames = true;
          argument.replace(at, 5, std::to_string(PickFrame(b)));
        }
        script += argument;
      }
      script += ");})()";
      // Made only when needed: defining it makes the page's V8 context.
      if (removes_frames || grammar.removes_frames())
        renderer_.DefineFrameRemover(b.id, frame, "removeFrame");
      // Throwing is fine (an unbound name, a refused frame): the renderer
      // must go on.
      const standin::ScriptResult result = renderer_.Eval(b.id, frame, script);
      if (fuzz::Verbose()) {
        std::fprintf(stderr, "  page call: %s\n  -> %s%s\n",
                     script.c_str() + prelude_length, result.value.c_str(),
                     result.exception.c_str());
      }
    });
  }

  void ExecuteCallbackDirectly() {
    CefRefPtr<CefListValue> args = CefListValue::Create();
    {
      standin::ScopedWrapperChecksOff checks_off;  // as from the host
      fuzz::ValueBuilder values(data_, 12, 32);
      values.FillList(args, 1);
    }
    const int id = CallbackId();
    // Any live browser, the stored function's or another: the registry
    // must refuse the other's.
    const Browser* browser = PickBrowser();
    CefRefPtr<CefBrowser> through =
        browser ? renderer_.GetBrowser(browser->id) : nullptr;
    quillmoss::QuillmossApp* const app = &app_;
    renderer_.RunAsTask([app, through, id, args] {
      app->javascript_callbacks_for_testing().ExecuteJavascriptCallback(
          *app, through, id, args);
    });
  }

  FuzzedDataProvider& data_;
  standin::Renderer& renderer_;
  quillmoss::QuillmossApp& app_;
  std::vector<Browser> browsers_;
  int contexts_made_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::InitV8();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
  FuzzedDataProvider data(bytes, size);
  fuzz::Session session;
  Driver(data, session).Run();
  return 0;
}
