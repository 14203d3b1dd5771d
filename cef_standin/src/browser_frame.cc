#include "cef_standin/src/browser_frame.h"

#include <algorithm>
#include <atomic>

#include "cef_standin/src/renderer_internal.h"
#include "cef_standin/src/verify_param.h"

namespace standin {
namespace internal {

namespace {

// Real frame identifiers put the render process's client id in the upper 32
// bits, so they never fit an int: code that truncates them fails here too.
std::atomic<int> g_client_id{4};

int64 NextFrameIdentifier() {
  static std::atomic<int64> next_routing_id{1};
  return (static_cast<int64>(g_client_id.load()) << 32) | next_routing_id++;
}

// Chromium's unique names of unnamed frames look like this.
std::string GeneratedUniqueName(const std::string& path) {
  return "<!--framePath //" + path + "-->";
}

}  // namespace

BrowserImpl::BrowserImpl(int identifier, RendererLink* link)
    : identifier_(identifier), link_(link) {}

CefRefPtr<RendererFrame> BrowserImpl::AddFrame(
    const std::string& name,
    CefRefPtr<RendererFrame> parent_frame,
    bool remote) {
  if (!link_) {
    RendererError("a frame cannot be added to a closed browser");
    return nullptr;
  }
  CefRefPtr<FrameImpl> parent;
  if (parent_frame) {
    parent = OwnFrame(parent_frame);
    if (!parent) {
      RendererError("the parent frame belongs to another browser");
      return nullptr;
    }
  } else if (!frames_.empty()) {
    parent = frames_.front();
  }

  std::string path;
  if (parent) {
    const std::string segment =
        "<!--frame" + std::to_string(parent->TakeChildIndex()) + "-->";
    path = parent->path().empty() ? segment : parent->path() + "/" + segment;
  }
  std::string unique_name = name;
  if (unique_name.empty() || UniqueNameTaken(unique_name))
    unique_name = GeneratedUniqueName(path);

  CefRefPtr<FrameImpl> frame = new FrameImpl(
      this, parent, NextFrameIdentifier(), name, unique_name, path, remote);

  // Tree order: after the parent's last descendant.
  auto position = frames_.end();
  if (parent) {
    auto it = std::find(frames_.begin(), frames_.end(), parent);
    for (++it; it != frames_.end(); ++it) {
      bool below_parent = false;
      for (CefRefPtr<FrameImpl> up = (*it)->parent_impl(); up;
           up = up->parent_impl()) {
        if (up == parent) {
          below_parent = true;
          break;
        }
      }
      if (!below_parent)
        break;
    }
    position = it;
  }
  frames_.insert(position, frame);
  return frame;
}

CefRefPtr<RendererFrame> BrowserImpl::FindFrame(int64 identifier) const {
  for (const auto& frame : frames_) {
    if (frame->GetIdentifier() == identifier)
      return frame.get();
  }
  return nullptr;
}

std::vector<CefRefPtr<RendererFrame>> BrowserImpl::Frames() const {
  return std::vector<CefRefPtr<RendererFrame>>(frames_.begin(), frames_.end());
}

std::vector<CefRefPtr<RendererFrame>> BrowserImpl::Subtree(
    CefRefPtr<RendererFrame> frame) const {
  std::vector<CefRefPtr<RendererFrame>> subtree;
  for (const auto& candidate : frames_) {
    for (CefRefPtr<FrameImpl> up = candidate; up; up = up->parent_impl()) {
      if (static_cast<RendererFrame*>(up.get()) == frame.get()) {
        subtree.push_back(candidate.get());
        break;
      }
    }
  }
  return subtree;
}

void BrowserImpl::RemoveFrames(
    const std::vector<CefRefPtr<RendererFrame>>& frames) {
  for (const auto& frame : frames) {
    CefRefPtr<FrameImpl> removed = OwnFrame(frame);
    if (!removed)
      continue;
    frames_.erase(std::remove(frames_.begin(), frames_.end(), removed),
                  frames_.end());
    removed->Detach();
  }
}

CefRefPtr<RendererFrame> BrowserImpl::SwapFrame(CefRefPtr<RendererFrame> frame,
                                                bool remote) {
  CefRefPtr<FrameImpl> old = OwnFrame(frame);
  if (!old || Subtree(frame).size() != 1) {
    RendererError("SwapFrame: not a frame of this browser without children");
    return nullptr;
  }
  CefRefPtr<FrameImpl> swapped = new FrameImpl(
      this, old->parent_impl(), NextFrameIdentifier(), old->assigned_name(),
      old->unique_name(), old->path(), remote);
  std::replace(frames_.begin(), frames_.end(), old, swapped);
  old->Detach();
  return swapped;
}

void BrowserImpl::Detach() {
  link_ = nullptr;
  std::vector<CefRefPtr<FrameImpl>> frames;
  frames.swap(frames_);
  for (const auto& frame : frames)
    frame->Detach();
}

bool BrowserImpl::IsSame(CefRefPtr<CefBrowser> that) {
  return that && that.get() == static_cast<CefBrowser*>(this);
}

// Fact 26: where the main frame is remote there is none to give.
CefRefPtr<CefFrame> BrowserImpl::GetMainFrame() {
  if (frames_.empty() || frames_.front()->remote())
    return nullptr;
  return frames_.front().get();
}

CefRefPtr<CefFrame> BrowserImpl::GetFocusedFrame() {
  return GetMainFrame();
}

CefRefPtr<CefFrame> BrowserImpl::GetFrame(int64 identifier) {
  CefRefPtr<RendererFrame> frame = FindFrame(identifier);
  if (!frame || frame->remote())
    return nullptr;
  return frame.get();
}

CefRefPtr<CefFrame> BrowserImpl::GetFrame(const CefString& name) {
  const std::string wanted = name.ToString();
  if (wanted.empty())
    return nullptr;
  const auto local = LocalFrames();
  for (const auto& frame : local) {
    if (frame->assigned_name() == wanted)
      return frame.get();
  }
  for (const auto& frame : local) {
    if (frame->unique_name() == wanted)
      return frame.get();
  }
  return nullptr;
}

void BrowserImpl::GetFrameIdentifiers(std::vector<int64>& identifiers) {
  identifiers.clear();
  for (const auto& frame : LocalFrames())
    identifiers.push_back(frame->GetIdentifier());
}

void BrowserImpl::GetFrameNames(std::vector<CefString>& names) {
  names.clear();
  for (const auto& frame : LocalFrames())
    names.push_back(frame->GetName());
}

std::vector<CefRefPtr<FrameImpl>> BrowserImpl::LocalFrames() const {
  std::vector<CefRefPtr<FrameImpl>> local;
  for (const auto& frame : frames_) {
    if (!frame->remote())
      local.push_back(frame);
  }
  return local;
}

CefRefPtr<FrameImpl> BrowserImpl::OwnFrame(
    CefRefPtr<RendererFrame> frame) const {
  for (const auto& own : frames_) {
    if (static_cast<RendererFrame*>(own.get()) == frame.get())
      return own;
  }
  return nullptr;
}

bool BrowserImpl::UniqueNameTaken(const std::string& unique_name) const {
  return std::any_of(frames_.begin(), frames_.end(),
                     [&](const CefRefPtr<FrameImpl>& frame) {
                       return frame->unique_name() == unique_name;
                     });
}

FrameImpl::FrameImpl(CefRefPtr<BrowserImpl> browser,
                     CefRefPtr<FrameImpl> parent,
                     int64 identifier,
                     const std::string& name,
                     const std::string& unique_name,
                     const std::string& path,
                     bool remote)
    : browser_(browser),
      parent_(parent),
      is_main_(!parent),
      identifier_(identifier),
      name_(name),
      unique_name_(unique_name),
      path_(path),
      remote_(remote) {}

void FrameImpl::Detach() {
  context_ = nullptr;
  parent_ = nullptr;
  browser_ = nullptr;
}

void FrameImpl::ExecuteJavaScript(const CefString& code,
                                  const CefString& script_url,
                                  int start_line) {
  if (!context_) {
    RendererError("CefFrame::ExecuteJavaScript: the frame has no context");
    return;
  }
  const ScriptResult result = RunPageScript(context_, code.ToString(),
                                            script_url.ToString(), start_line);
  if (!result.ok)
    RendererError("uncaught exception in page script: " + result.exception);
}

CefString FrameImpl::GetName() {
  // As CEF does: the assigned name, else the unique name Chromium made up.
  return name_.empty() ? unique_name_ : name_;
}

// A new object each time, as in CEF: Enter() and Exit() count per object.
CefRefPtr<CefV8Context> FrameImpl::GetV8Context() {
  if (context_)
    return NewContextWrapper(context_);
  return CreateInvalidContext();
}

void FrameImpl::SendProcessMessage(CefProcessId target_process,
                                   CefRefPtr<CefProcessMessage> message) {
  if (!VerifyParam(message != nullptr, "CefFrame::SendProcessMessage",
                   "message.get()")) {
    return;
  }
  if (!message->IsValid()) {
    RendererError("CefFrame::SendProcessMessage: no valid message");
    return;
  }
  if (target_process != PID_BROWSER) {
    RendererError(
        "CefFrame::SendProcessMessage: a renderer sends to the browser only");
    return;
  }
  RendererLink* link = browser_ ? browser_->link() : nullptr;
  if (!link) {
    RendererError("CefFrame::SendProcessMessage: the frame is gone");
    return;
  }
  link->RecordSentMessage(browser_->GetIdentifier(), identifier_,
                          target_process, message->Copy());
}

void FrameImpl::ReportConsoleMessage(ConsoleMessage message) {
  RendererLink* link = browser_ ? browser_->link() : nullptr;
  if (!link)
    return;
  message.browser_id = browser_->GetIdentifier();
  message.frame_id = identifier_;
  link->RecordConsoleMessage(message);
}

void ReportConsoleMessage(CefRefPtr<CefFrame> frame, ConsoleMessage message) {
  // Every frame the stand-in hands out is a FrameImpl.
  if (frame)
    static_cast<FrameImpl*>(frame.get())->ReportConsoleMessage(message);
}

}  // namespace internal

void SetRenderProcessClientId(int client_id) {
  internal::g_client_id = client_id;
}

int RenderProcessClientId() {
  return internal::g_client_id;
}

// static
CefRefPtr<RendererBrowser> RendererBrowser::Create(int identifier,
                                                   RendererLink* link) {
  return new internal::BrowserImpl(identifier, link);
}

}  // namespace standin
