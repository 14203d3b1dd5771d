// Hand-made browsers and frames for the cases the stand-in's renderer never
// produces: no main frame, frames without a context, odd identifiers.
#ifndef QUILLMOSS_TESTS_APP_FAKE_CEF_H_
#define QUILLMOSS_TESTS_APP_FAKE_CEF_H_

#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "include/cef_browser.h"
#include "include/cef_v8.h"

class FakeFrame : public CefFrame {
 public:
  FakeFrame(int64 identifier, const std::string& name, bool is_main)
      : identifier_(identifier), name_(name), is_main_(is_main) {}

  void set_context(CefRefPtr<CefV8Context> context) { context_ = context; }

  bool IsValid() override { return true; }
  void ExecuteJavaScript(const CefString&, const CefString&, int) override {}
  // Editing, navigation, the DOM and requests: never used by the system.
  void Undo() override {}
  void Redo() override {}
  void Cut() override {}
  void Copy() override {}
  void Paste() override {}
  void Delete() override {}
  void SelectAll() override {}
  void ViewSource() override {}
  void GetSource(CefRefPtr<CefStringVisitor>) override {}
  void GetText(CefRefPtr<CefStringVisitor>) override {}
  void LoadRequest(CefRefPtr<CefRequest>) override {}
  void LoadURL(const CefString&) override {}
  void VisitDOM(CefRefPtr<CefDOMVisitor>) override {}
  CefRefPtr<CefURLRequest> CreateURLRequest(
      CefRefPtr<CefRequest>,
      CefRefPtr<CefURLRequestClient>) override {
    std::abort();
  }
  bool IsMain() override { return is_main_; }
  bool IsFocused() override { return false; }
  CefString GetName() override { return name_; }
  int64 GetIdentifier() override { return identifier_; }
  CefRefPtr<CefFrame> GetParent() override { return nullptr; }
  CefString GetURL() override { return CefString(); }
  CefRefPtr<CefBrowser> GetBrowser() override { return nullptr; }
  CefRefPtr<CefV8Context> GetV8Context() override { return context_; }
  void SendProcessMessage(CefProcessId, CefRefPtr<CefProcessMessage>) override {
  }

 private:
  const int64 identifier_;
  const std::string name_;
  const bool is_main_;
  CefRefPtr<CefV8Context> context_;

  IMPLEMENT_REFCOUNTING(FakeFrame);
};

class FakeBrowser : public CefBrowser {
 public:
  explicit FakeBrowser(int identifier) : identifier_(identifier) {}

  // |findable_by_id| false: GetFrame(identifier) does not find it.
  void AddFrame(CefRefPtr<FakeFrame> frame, bool findable_by_id = true) {
    frames_.push_back(frame);
    if (frame->IsMain())
      main_frame_ = frame;
    if (findable_by_id)
      by_id_[frame->GetIdentifier()] = frame;
  }

  CefRefPtr<CefBrowserHost> GetHost() override { std::abort(); }
  bool CanGoBack() override { return false; }
  void GoBack() override {}
  bool CanGoForward() override { return false; }
  void GoForward() override {}
  bool IsLoading() override { return false; }
  void Reload() override {}
  void ReloadIgnoreCache() override {}
  void StopLoad() override {}
  int GetIdentifier() override { return identifier_; }
  bool IsSame(CefRefPtr<CefBrowser> that) override {
    return that.get() == this;
  }
  bool IsPopup() override { return false; }
  bool HasDocument() override { return true; }
  CefRefPtr<CefFrame> GetMainFrame() override { return main_frame_.get(); }
  CefRefPtr<CefFrame> GetFocusedFrame() override { return nullptr; }
  CefRefPtr<CefFrame> GetFrame(int64 identifier) override {
    const auto it = by_id_.find(identifier);
    return it == by_id_.end() ? nullptr : it->second.get();
  }
  CefRefPtr<CefFrame> GetFrame(const CefString& name) override {
    for (const CefRefPtr<FakeFrame>& frame : frames_) {
      if (frame->GetName() == name)
        return frame.get();
    }
    return nullptr;
  }
  size_t GetFrameCount() override { return frames_.size(); }
  void GetFrameIdentifiers(std::vector<int64>& identifiers) override {
    for (const CefRefPtr<FakeFrame>& frame : frames_)
      identifiers.push_back(frame->GetIdentifier());
  }
  void GetFrameNames(std::vector<CefString>& names) override {
    for (const CefRefPtr<FakeFrame>& frame : frames_)
      names.push_back(frame->GetName());
  }

 private:
  const int identifier_;
  std::vector<CefRefPtr<FakeFrame>> frames_;
  std::map<int64, CefRefPtr<FakeFrame>> by_id_;
  CefRefPtr<FakeFrame> main_frame_;

  IMPLEMENT_REFCOUNTING(FakeBrowser);
};

#endif  // QUILLMOSS_TESTS_APP_FAKE_CEF_H_
