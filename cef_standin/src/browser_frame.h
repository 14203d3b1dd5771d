// CefBrowser and CefFrame as the renderer process sees them.
#ifndef CEF_STANDIN_SRC_BROWSER_FRAME_H_
#define CEF_STANDIN_SRC_BROWSER_FRAME_H_

#include <string>
#include <vector>

#include "cef_standin/src/live_objects.h"
#include "cef_standin/src/logging_internal.h"
#include "cef_standin/src/standin_core.h"
#include "include/cef_browser.h"
#include "include/cef_frame.h"
#include "include/cef_v8.h"

namespace standin {
namespace internal {

class FrameImpl;

// The renderer's browser (standin_core.h).
class BrowserImpl : public RendererBrowser {
 public:
  BrowserImpl(int identifier, RendererLink* link);
  BrowserImpl(const BrowserImpl&) = delete;
  BrowserImpl& operator=(const BrowserImpl&) = delete;

  // Null once detached.
  RendererLink* link() const { return link_; }

  // RendererBrowser methods:
  CefRefPtr<RendererFrame> AddFrame(const std::string& name,
                                    CefRefPtr<RendererFrame> parent,
                                    bool remote) override;
  CefRefPtr<RendererFrame> FindFrame(int64 identifier) const override;
  std::vector<CefRefPtr<RendererFrame>> Frames() const override;
  std::vector<CefRefPtr<RendererFrame>> Subtree(
      CefRefPtr<RendererFrame> frame) const override;
  void RemoveFrames(
      const std::vector<CefRefPtr<RendererFrame>>& frames) override;
  CefRefPtr<RendererFrame> SwapFrame(CefRefPtr<RendererFrame> frame,
                                     bool remote) override;
  void Detach() override;

  // CefBrowser methods:
  CefRefPtr<CefBrowserHost> GetHost() override {
    NotImplemented("CefBrowser::GetHost");
  }
  bool CanGoBack() override { return false; }
  void GoBack() override { NotImplemented("CefBrowser::GoBack"); }
  bool CanGoForward() override { return false; }
  void GoForward() override { NotImplemented("CefBrowser::GoForward"); }
  bool IsLoading() override { return false; }
  void Reload() override { NotImplemented("CefBrowser::Reload"); }
  void ReloadIgnoreCache() override {
    NotImplemented("CefBrowser::ReloadIgnoreCache");
  }
  void StopLoad() override { NotImplemented("CefBrowser::StopLoad"); }
  int GetIdentifier() override { return identifier_; }
  bool IsSame(CefRefPtr<CefBrowser> that) override;
  bool IsPopup() override { return false; }
  bool HasDocument() override { return !frames_.empty(); }
  // Local frames only, but for GetFrameCount() (fact 26).
  CefRefPtr<CefFrame> GetMainFrame() override;
  CefRefPtr<CefFrame> GetFocusedFrame() override;
  CefRefPtr<CefFrame> GetFrame(int64 identifier) override;
  CefRefPtr<CefFrame> GetFrame(const CefString& name) override;
  size_t GetFrameCount() override { return frames_.size(); }
  void GetFrameIdentifiers(std::vector<int64>& identifiers) override;
  void GetFrameNames(std::vector<CefString>& names) override;

 private:
  bool UniqueNameTaken(const std::string& unique_name) const;
  std::vector<CefRefPtr<FrameImpl>> LocalFrames() const;
  // |frame| as this browser holds it; null when it is not one of its frames.
  CefRefPtr<FrameImpl> OwnFrame(CefRefPtr<RendererFrame> frame) const;

  const int identifier_;
  RendererLink* link_;  // not owned; cleared by Detach()
  std::vector<CefRefPtr<FrameImpl>> frames_;
  LiveObject live_;
  IMPLEMENT_REFCOUNTING(BrowserImpl);
};

class FrameImpl : public RendererFrame {
 public:
  FrameImpl(CefRefPtr<BrowserImpl> browser,
            CefRefPtr<FrameImpl> parent,
            int64 identifier,
            const std::string& name,
            const std::string& unique_name,
            const std::string& path,
            bool remote);
  FrameImpl(const FrameImpl&) = delete;
  FrameImpl& operator=(const FrameImpl&) = delete;

  const std::string& assigned_name() const { return name_; }
  const std::string& unique_name() const { return unique_name_; }
  // The position in the tree that generated unique names are built from.
  const std::string& path() const { return path_; }
  int TakeChildIndex() { return next_child_index_++; }
  // The parent also when it is remote, which GetParent() does not give.
  CefRefPtr<FrameImpl> parent_impl() const { return parent_; }

  // Drops every reference to the browser, the parent and the context.
  void Detach();

  // RendererFrame methods:
  CefRefPtr<CefV8Context> context() const override { return context_; }
  void set_context(CefRefPtr<CefV8Context> context) override {
    context_ = context;
  }
  bool remote() const override { return remote_; }

  // CefFrame methods:
  bool IsValid() override { return browser_ != nullptr; }
  // Editing, navigation, the DOM and URL requests are not played.
  void Undo() override { NotImplemented("CefFrame::Undo"); }
  void Redo() override { NotImplemented("CefFrame::Redo"); }
  void Cut() override { NotImplemented("CefFrame::Cut"); }
  void Copy() override { NotImplemented("CefFrame::Copy"); }
  void Paste() override { NotImplemented("CefFrame::Paste"); }
  void Delete() override { NotImplemented("CefFrame::Delete"); }
  void SelectAll() override { NotImplemented("CefFrame::SelectAll"); }
  void ViewSource() override { NotImplemented("CefFrame::ViewSource"); }
  void GetSource(CefRefPtr<CefStringVisitor>) override {
    NotImplemented("CefFrame::GetSource");
  }
  void GetText(CefRefPtr<CefStringVisitor>) override {
    NotImplemented("CefFrame::GetText");
  }
  void LoadRequest(CefRefPtr<CefRequest>) override {
    NotImplemented("CefFrame::LoadRequest");
  }
  void LoadURL(const CefString&) override {
    NotImplemented("CefFrame::LoadURL");
  }
  void ExecuteJavaScript(const CefString& code,
                         const CefString& script_url,
                         int start_line) override;
  bool IsMain() override { return is_main_; }
  bool IsFocused() override { return is_main_ && IsValid(); }
  CefString GetName() override;
  int64 GetIdentifier() override { return identifier_; }
  // CEF hands out local frames only: a parent in another process is none.
  CefRefPtr<CefFrame> GetParent() override {
    return parent_ && !parent_->remote() ? parent_.get() : nullptr;
  }
  CefString GetURL() override { return "about:blank"; }
  CefRefPtr<CefBrowser> GetBrowser() override { return browser_.get(); }
  CefRefPtr<CefV8Context> GetV8Context() override;
  void SendProcessMessage(CefProcessId target_process,
                          CefRefPtr<CefProcessMessage> message) override;
  void VisitDOM(CefRefPtr<CefDOMVisitor>) override {
    NotImplemented("CefFrame::VisitDOM");
  }
  CefRefPtr<CefURLRequest> CreateURLRequest(
      CefRefPtr<CefRequest>,
      CefRefPtr<CefURLRequestClient>) override {
    NotImplemented("CefFrame::CreateURLRequest");
  }

  // Hands a console call of the frame's page script to the renderer; dropped
  // once the frame is detached.
  void ReportConsoleMessage(ConsoleMessage message);

 private:
  CefRefPtr<BrowserImpl> browser_;
  CefRefPtr<FrameImpl> parent_;
  const bool is_main_;
  const int64 identifier_;
  const std::string name_;
  const std::string unique_name_;
  const std::string path_;
  const bool remote_;
  int next_child_index_ = 0;
  CefRefPtr<CefV8Context> context_;
  LiveObject live_;
  IMPLEMENT_REFCOUNTING(FrameImpl);
};

}  // namespace internal
}  // namespace standin

#endif  // CEF_STANDIN_SRC_BROWSER_FRAME_H_
