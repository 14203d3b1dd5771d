#include "cef_standin/driver/renderer_driver.h"

#include <algorithm>
#include <map>
#include <utility>

#include "standin_core.h"

namespace standin {

class Renderer::Impl : public RendererLink {
 public:
  explicit Impl(CefRefPtr<CefApp> app)
      : app_(app), handler_(app ? app->GetRenderProcessHandler() : nullptr) {}

  // Browsers still open close as DestroyBrowser() closes them, hooks
  // included: the application gets its chance to drop what it holds of their
  // contexts, as it would when the browser window closes. The thread goes
  // after them.
  ~Impl() override {
    while (!browsers_.empty())
      DestroyBrowser(browsers_.begin()->first);
    destroyed_.clear();
  }

  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;

  int CreateBrowser(const std::string& main_frame_name,
                    int browser_id,
                    bool main_frame_remote) {
    const int id = browser_id > 0 ? browser_id : next_browser_id_;
    if (browsers_.count(id)) {
      RendererError("CreateBrowser: browser " + std::to_string(id) +
                    " is open already");
      return 0;
    }
    next_browser_id_ = std::max(next_browser_id_, id + 1);
    CefRefPtr<RendererBrowser> browser = RendererBrowser::Create(id, this);
    browser->AddFrame(main_frame_name, nullptr, main_frame_remote);
    browsers_[id] = browser;
    CallBrowserCreated(handler_, browser);
    return id;
  }

  int64 AddFrame(int browser_id,
                 const std::string& name,
                 int64 parent_id,
                 bool remote) {
    CefRefPtr<RendererBrowser> browser = FindBrowser(browser_id, "AddFrame");
    if (!browser)
      return 0;
    CefRefPtr<RendererFrame> parent;
    if (parent_id != 0) {
      parent = browser->FindFrame(parent_id);
      if (!parent) {
        RendererError("AddFrame: no frame " + std::to_string(parent_id) +
                      " in browser " + std::to_string(browser_id));
        return 0;
      }
    }
    CefRefPtr<RendererFrame> frame = browser->AddFrame(name, parent, remote);
    return frame ? frame->GetIdentifier() : 0;
  }

  int64 SwapFrame(int browser_id, int64 frame_id, bool remote) {
    CefRefPtr<RendererFrame> frame =
        FindFrame(browser_id, frame_id, "SwapFrame");
    if (!frame)
      return 0;
    CefRefPtr<RendererBrowser> browser = browsers_[browser_id];
    if (frame->IsMain() && remote) {
      RendererError(
          "SwapFrame: a main frame that leaves the process takes the browser "
          "with it (DestroyBrowser)");
      return 0;
    }
    auto below = browser->Subtree(frame);
    for (auto it = below.rbegin(); it != below.rend(); ++it) {
      if ((*it)->context())
        ReleaseFrameContext(browser, *it, /*keep_entered=*/true);
    }
    below.erase(below.begin());
    browser->RemoveFrames(below);
    CefRefPtr<RendererFrame> swapped = browser->SwapFrame(frame, remote);
    return swapped ? swapped->GetIdentifier() : 0;
  }

  void DestroyBrowser(int browser_id) {
    CefRefPtr<RendererBrowser> browser =
        FindBrowser(browser_id, "DestroyBrowser");
    if (!browser)
      return;
    // Children before their parents, as a closing page tears its frames down.
    const auto frames = browser->Frames();
    for (auto it = frames.rbegin(); it != frames.rend(); ++it) {
      if ((*it)->context())
        ReleaseFrameContext(browser, *it);
    }
    if (handler_)
      handler_->OnBrowserDestroyed(browser.get());
    browsers_.erase(browser_id);
    // Kept for hooks that come late (the *AfterDestroy calls).
    destroyed_[browser_id] = {browser, browser->Frames()};
    browser->Detach();
  }

  // The detached frame of a destroyed browser.
  CefRefPtr<RendererFrame> FindDestroyedFrame(int browser_id,
                                              int64 frame_id,
                                              const char* caller) {
    const auto it = destroyed_.find(browser_id);
    if (it == destroyed_.end()) {
      RendererError(std::string(caller) + ": no destroyed browser " +
                    std::to_string(browser_id));
      return nullptr;
    }
    for (const CefRefPtr<RendererFrame>& frame : it->second.frames) {
      if (frame->GetIdentifier() == frame_id)
        return frame;
    }
    RendererError(std::string(caller) + ": no frame " +
                  std::to_string(frame_id) + " in destroyed browser " +
                  std::to_string(browser_id));
    return nullptr;
  }

  void RunContextHookAfterDestroy(int browser_id,
                                  int64 frame_id,
                                  ContextHook hook) {
    CefRefPtr<RendererFrame> frame = FindDestroyedFrame(
        browser_id, frame_id,
        hook == ContextHook::kCreated ? "CreateContextAfterDestroy"
                                      : "ReleaseContextAfterDestroy");
    if (!frame)
      return;
    CefRefPtr<CefV8Context> context = thread_.CreateContext(frame);
    if (!context)
      return;
    CallContextHook(hook, handler_, destroyed_[browser_id].browser, frame,
                    context);
    // No page lives in a destroyed browser to use it.
    EndContext(context);
  }

  bool DeliverMessageAfterDestroy(int browser_id,
                                  int64 frame_id,
                                  CefRefPtr<CefProcessMessage> message) {
    CefRefPtr<RendererFrame> frame =
        FindDestroyedFrame(browser_id, frame_id, "DeliverMessageAfterDestroy");
    if (!frame)
      return false;
    return HandMessage(destroyed_[browser_id].browser, frame, message);
  }

  CefRefPtr<RendererBrowser> FindBrowser(int browser_id, const char* caller) {
    auto it = browsers_.find(browser_id);
    if (it == browsers_.end()) {
      RendererError(std::string(caller) + ": no browser " +
                    std::to_string(browser_id));
      return nullptr;
    }
    return it->second;
  }

  CefRefPtr<RendererFrame> FindFrame(int browser_id,
                                     int64 frame_id,
                                     const char* caller) {
    CefRefPtr<RendererBrowser> browser = FindBrowser(browser_id, caller);
    if (!browser)
      return nullptr;
    CefRefPtr<RendererFrame> frame = browser->FindFrame(frame_id);
    if (!frame) {
      RendererError(std::string(caller) + ": no frame " +
                    std::to_string(frame_id) + " in browser " +
                    std::to_string(browser_id));
    }
    return frame;
  }

  // A frame whose page is in this process.
  CefRefPtr<RendererFrame> FindLocalFrame(int browser_id,
                                          int64 frame_id,
                                          const char* caller) {
    CefRefPtr<RendererFrame> frame = FindFrame(browser_id, frame_id, caller);
    if (frame && frame->remote()) {
      RendererError(std::string(caller) + ": frame " +
                    std::to_string(frame_id) +
                    " is remote in this renderer process");
      return nullptr;
    }
    return frame;
  }

  void CreateContext(int browser_id, int64 frame_id) {
    CefRefPtr<RendererFrame> frame =
        FindLocalFrame(browser_id, frame_id, "CreateContext");
    if (!frame)
      return;
    CefRefPtr<RendererBrowser> browser = browsers_[browser_id];
    if (frame->context())
      ReleaseFrameContext(browser, frame);
    CefRefPtr<CefV8Context> context = thread_.CreateContext(frame);
    if (!context)
      return;
    frame->set_context(context);
    CallContextHook(ContextHook::kCreated, handler_, browser, frame, context);
  }

  void ReleaseContext(int browser_id, int64 frame_id) {
    CefRefPtr<RendererFrame> frame =
        FindLocalFrame(browser_id, frame_id, "ReleaseContext");
    if (!frame)
      return;
    if (!frame->context()) {
      RendererError("ReleaseContext: frame " + std::to_string(frame_id) +
                    " has no context");
      return;
    }
    ReleaseFrameContext(browsers_[browser_id], frame);
  }

  void ReleaseFrameContext(CefRefPtr<RendererBrowser> browser,
                           CefRefPtr<RendererFrame> frame,
                           bool keep_entered = false) {
    CefRefPtr<CefV8Context> context = frame->context();
    CallContextHook(ContextHook::kReleased, handler_, browser, frame, context);
    frame->set_context(nullptr);
    EndContext(context, keep_entered);
  }

  bool RemoveFrame(int browser_id, int64 frame_id) {
    CefRefPtr<RendererFrame> frame =
        FindFrame(browser_id, frame_id, "RemoveFrame");
    if (!frame)
      return false;
    if (frame->IsMain()) {
      RendererError("RemoveFrame: a page cannot remove the main frame");
      return false;
    }
    CefRefPtr<RendererBrowser> browser = browsers_[browser_id];
    const auto subtree = browser->Subtree(frame);
    for (auto it = subtree.rbegin(); it != subtree.rend(); ++it) {
      if ((*it)->context())
        ReleaseFrameContext(browser, *it, /*keep_entered=*/true);
    }
    browser->RemoveFrames(subtree);
    return true;
  }

  bool DefineFrameRemover(int browser_id,
                          int64 frame_id,
                          const std::string& name);

  bool DeliverMessage(int browser_id,
                      int64 frame_id,
                      CefRefPtr<CefProcessMessage> message) {
    CefRefPtr<RendererFrame> frame =
        FindLocalFrame(browser_id, frame_id, "DeliverMessage");
    if (!frame)
      return false;
    return HandMessage(browsers_[browser_id], frame, message);
  }

  bool HandMessage(CefRefPtr<RendererBrowser> browser,
                   CefRefPtr<RendererFrame> frame,
                   CefRefPtr<CefProcessMessage> message) {
    if (!message || !message->IsValid()) {
      RendererError("DeliverMessage: no valid message");
      return false;
    }
    return CallProcessMessageReceived(handler_, browser, frame, message);
  }

  ScriptResult Eval(int browser_id, int64 frame_id, const std::string& code) {
    CefRefPtr<RendererFrame> frame =
        FindLocalFrame(browser_id, frame_id, "Eval");
    if (!frame) {
      ScriptResult result;
      result.exception = "no frame " + std::to_string(frame_id) +
                         " in browser " + std::to_string(browser_id);
      return result;
    }
    if (!frame->context()) {
      ScriptResult result;
      result.exception = "frame " + std::to_string(frame_id) +
                         " has no JavaScript context (call CreateContext)";
      return result;
    }
    return RunScript(frame->context(), code);
  }

  bool KeepValue(int browser_id,
                 int64 from_frame_id,
                 const std::string& code,
                 int64 to_frame_id,
                 const std::string& name) {
    CefRefPtr<RendererFrame> from =
        FindLocalFrame(browser_id, from_frame_id, "KeepValue");
    CefRefPtr<RendererFrame> to =
        FindLocalFrame(browser_id, to_frame_id, "KeepValue");
    if (!from || !to)
      return false;
    const CefRefPtr<CefV8Context> source = from->context();
    const CefRefPtr<CefV8Context> target = to->context();
    if (!source || !target) {
      RendererError("KeepValue: both frames need a JavaScript context");
      return false;
    }
    CefRefPtr<CefV8Value> value;
    CefRefPtr<CefV8Exception> exception;
    if (!source->Eval(code, std::string(), 1, value, exception)) {
      RendererError("KeepValue: the code threw: " +
                    (exception ? exception->GetMessage().ToString()
                               : std::string("(no exception)")));
      return false;
    }
    if (!target->Enter())
      return false;
    const bool set =
        target->GetGlobal()->SetValue(name, value, V8_PROPERTY_ATTRIBUTE_NONE);
    target->Exit();
    return set;
  }

  size_t RunPendingTasks() { return thread_.RunPendingTasks(); }

  size_t PendingTaskCount() const { return thread_.PendingTaskCount(); }

  // RendererLink methods:
  void RecordSentMessage(int browser_id,
                         int64 frame_id,
                         CefProcessId target,
                         CefRefPtr<CefProcessMessage> message) override {
    SentMessage sent;
    sent.browser_id = browser_id;
    sent.frame_id = frame_id;
    sent.target = target;
    sent.message = message;
    sent_.push_back(sent);
  }

  void RecordConsoleMessage(const ConsoleMessage& message) override {
    if (console_listener_)
      console_listener_(message);
  }

  void SetConsoleListener(ConsoleListener listener) {
    console_listener_ = std::move(listener);
  }

  const std::vector<SentMessage>& sent() const { return sent_; }
  void ClearSent() { sent_.clear(); }
  CefRefPtr<CefRenderProcessHandler> handler() const { return handler_; }

 private:
  const CefRefPtr<CefApp> app_;
  const CefRefPtr<CefRenderProcessHandler> handler_;
  // Browser id -> the open browser; added by CreateBrowser(), removed by
  // DestroyBrowser().
  std::map<int, CefRefPtr<RendererBrowser>> browsers_;
  struct DestroyedBrowser {
    CefRefPtr<RendererBrowser> browser;
    std::vector<CefRefPtr<RendererFrame>> frames;  // detached
  };
  // Browser id -> what a destroyed browser left, for late hooks.
  std::map<int, DestroyedBrowser> destroyed_;
  int next_browser_id_ = 1;
  std::vector<SentMessage> sent_;
  ConsoleListener console_listener_;
  // Last: made after the application's handler was asked for, gone first,
  // once the destructor closed the browsers.
  RendererThread thread_;
};

namespace {

// The page's side of DefineFrameRemover(): removes a frame of its browser.
class FrameRemover : public CefV8Handler {
 public:
  FrameRemover(Renderer::Impl* renderer, CefRefPtr<RendererBrowser> browser)
      : renderer_(renderer), browser_(browser) {}
  FrameRemover(const FrameRemover&) = delete;
  FrameRemover& operator=(const FrameRemover&) = delete;

  // CefV8Handler methods:
  bool Execute(const CefString& name,
               CefRefPtr<CefV8Value> object,
               const CefV8ValueList& arguments,
               CefRefPtr<CefV8Value>& retval,
               CefString& exception) override;

 private:
  Renderer::Impl* const renderer_;  // outlives every page
  const CefRefPtr<RendererBrowser> browser_;
  IMPLEMENT_REFCOUNTING(FrameRemover);
};

}  // namespace

bool Renderer::Impl::DefineFrameRemover(int browser_id,
                                        int64 frame_id,
                                        const std::string& name) {
  CefRefPtr<RendererFrame> frame =
      FindLocalFrame(browser_id, frame_id, "DefineFrameRemover");
  if (!frame)
    return false;
  if (!frame->context()) {
    RendererError("DefineFrameRemover: frame " + std::to_string(frame_id) +
                  " has no context");
    return false;
  }
  CefRefPtr<CefV8Context> context = frame->GetV8Context();
  if (!context->Enter())
    return false;
  const bool set = context->GetGlobal()->SetValue(
      name,
      CefV8Value::CreateFunction(name,
                                 new FrameRemover(this, browsers_[browser_id])),
      V8_PROPERTY_ATTRIBUTE_DONTENUM);
  context->Exit();
  return set;
}

bool FrameRemover::Execute(const CefString& name,
                           CefRefPtr<CefV8Value> object,
                           const CefV8ValueList& arguments,
                           CefRefPtr<CefV8Value>& retval,
                           CefString& exception) {
  CefRefPtr<CefFrame> frame;
  if (!arguments.empty() && arguments[0]->IsString())
    frame = browser_->GetFrame(arguments[0]->GetStringValue());
  else if (!arguments.empty() && arguments[0]->IsDouble())
    frame =
        browser_->GetFrame(static_cast<int64>(arguments[0]->GetDoubleValue()));
  if (!frame) {
    RendererError(name.ToString() + ": no such frame in browser " +
                  std::to_string(browser_->GetIdentifier()));
    retval = CefV8Value::CreateBool(false);
    return true;
  }
  retval = CefV8Value::CreateBool(renderer_->RemoveFrame(
      browser_->GetIdentifier(), frame->GetIdentifier()));
  return true;
}

Renderer::Renderer(CefRefPtr<CefApp> app)
    : impl_(std::make_unique<Impl>(app)) {}

Renderer::~Renderer() = default;

int Renderer::CreateBrowser(const std::string& main_frame_name) {
  return impl_->CreateBrowser(main_frame_name, 0, false);
}

int Renderer::CreateBrowser(const std::string& main_frame_name,
                            int browser_id,
                            bool main_frame_remote) {
  return impl_->CreateBrowser(main_frame_name, browser_id, main_frame_remote);
}

int64 Renderer::AddFrame(int browser_id,
                         const std::string& name,
                         int64 parent_id,
                         bool remote) {
  return impl_->AddFrame(browser_id, name, parent_id, remote);
}

int64 Renderer::SwapFrame(int browser_id, int64 frame_id, bool remote) {
  return impl_->SwapFrame(browser_id, frame_id, remote);
}

void Renderer::DestroyBrowser(int browser_id) {
  impl_->DestroyBrowser(browser_id);
}

CefRefPtr<CefBrowser> Renderer::GetBrowser(int browser_id) {
  return impl_->FindBrowser(browser_id, "GetBrowser").get();
}

CefRefPtr<CefFrame> Renderer::GetFrame(int browser_id, int64 frame_id) {
  return impl_->FindFrame(browser_id, frame_id, "GetFrame").get();
}

int64 Renderer::MainFrameId(int browser_id) {
  CefRefPtr<RendererBrowser> browser =
      impl_->FindBrowser(browser_id, "MainFrameId");
  if (!browser || browser->Frames().empty())
    return 0;
  return browser->Frames().front()->GetIdentifier();
}

void Renderer::CreateContext(int browser_id, int64 frame_id) {
  impl_->CreateContext(browser_id, frame_id);
}

void Renderer::ReleaseContext(int browser_id, int64 frame_id) {
  impl_->ReleaseContext(browser_id, frame_id);
}

bool Renderer::DeliverMessage(int browser_id,
                              int64 frame_id,
                              CefRefPtr<CefProcessMessage> message) {
  return impl_->DeliverMessage(browser_id, frame_id, message);
}

ScriptResult Renderer::Eval(int browser_id,
                            int64 frame_id,
                            const std::string& code) {
  return impl_->Eval(browser_id, frame_id, code);
}

bool Renderer::KeepValue(int browser_id,
                         int64 from_frame_id,
                         const std::string& code,
                         int64 to_frame_id,
                         const std::string& name) {
  return impl_->KeepValue(browser_id, from_frame_id, code, to_frame_id, name);
}

bool Renderer::RemoveFrame(int browser_id, int64 frame_id) {
  return impl_->RemoveFrame(browser_id, frame_id);
}

bool Renderer::DefineFrameRemover(int browser_id,
                                  int64 frame_id,
                                  const std::string& name) {
  return impl_->DefineFrameRemover(browser_id, frame_id, name);
}

void Renderer::RunAsTask(const std::function<void()>& task) {
  RunAsRendererTask(task);
}

size_t Renderer::RunPendingTasks() {
  return impl_->RunPendingTasks();
}

size_t Renderer::PendingTaskCount() const {
  return impl_->PendingTaskCount();
}

const std::vector<SentMessage>& Renderer::SentMessages() const {
  return impl_->sent();
}

void Renderer::ClearSentMessages() {
  impl_->ClearSent();
}

void Renderer::SetConsoleListener(ConsoleListener listener) {
  impl_->SetConsoleListener(std::move(listener));
}

void Renderer::CreateContextAfterDestroy(int browser_id, int64 frame_id) {
  impl_->RunContextHookAfterDestroy(browser_id, frame_id,
                                    ContextHook::kCreated);
}

void Renderer::ReleaseContextAfterDestroy(int browser_id, int64 frame_id) {
  impl_->RunContextHookAfterDestroy(browser_id, frame_id,
                                    ContextHook::kReleased);
}

bool Renderer::DeliverMessageAfterDestroy(
    int browser_id,
    int64 frame_id,
    CefRefPtr<CefProcessMessage> message) {
  return impl_->DeliverMessageAfterDestroy(browser_id, frame_id, message);
}

CefRefPtr<CefRenderProcessHandler> Renderer::handler() const {
  return impl_->handler();
}

}  // namespace standin
