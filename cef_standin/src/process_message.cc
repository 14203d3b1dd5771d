// CefProcessMessage, and the received form of it that the renderer driver
// hands to OnProcessMessageReceived.
#include <memory>
#include <utility>

#include "cef_standin/src/live_objects.h"
#include "cef_standin/src/values_impl.h"
#include "cef_standin/src/values_internal.h"
#include "cef_standin/src/verify_param.h"
#include "include/cef_process_message.h"

namespace standin {
namespace internal {
namespace {

class ProcessMessageImpl : public CefProcessMessage {
 public:
  ProcessMessageImpl(const CefString& name,
                     ValueNodePtr arguments,
                     bool read_only)
      : name_(name),
        arguments_(std::move(arguments)),
        controller_(std::make_shared<ValueController>()),
        read_only_(read_only),
        // One list object for the message's life, as CEF hands out.
        argument_list_(WrapListValue(arguments_,
                                     controller_,
                                     ValueOwnership::kReference,
                                     read_only)) {}
  ~ProcessMessageImpl() override {
    // The message owns its arguments: references into them die with it.
    controller_->Invalidate();
  }
  ProcessMessageImpl(const ProcessMessageImpl&) = delete;
  ProcessMessageImpl& operator=(const ProcessMessageImpl&) = delete;

  CefRefPtr<CefProcessMessage> CopyAs(bool read_only) const {
    if (!controller_->valid())
      return nullptr;
    return new ProcessMessageImpl(name_, DeepCopyValueNode(*arguments_),
                                  read_only);
  }

  void Invalidate() { controller_->Invalidate(); }

  // CefProcessMessage methods:
  bool IsValid() override { return controller_->valid(); }
  bool IsReadOnly() override { return IsValid() && read_only_; }
  CefRefPtr<CefProcessMessage> Copy() override { return CopyAs(false); }
  CefString GetName() override { return IsValid() ? name_ : CefString(); }
  CefRefPtr<CefListValue> GetArgumentList() override {
    return IsValid() ? argument_list_ : nullptr;
  }

 private:
  LiveObject live_;
  const CefString name_;
  const ValueNodePtr arguments_;
  const ValueControllerPtr controller_;
  const bool read_only_;
  const CefRefPtr<CefListValue> argument_list_;

  IMPLEMENT_REFCOUNTING(ProcessMessageImpl);
};

ProcessMessageImpl* AsImpl(const CefRefPtr<CefProcessMessage>& message) {
  return dynamic_cast<ProcessMessageImpl*>(message.get());
}

}  // namespace

CefRefPtr<CefProcessMessage> MakeReceivedMessage(
    CefRefPtr<CefProcessMessage> message) {
  ProcessMessageImpl* impl = AsImpl(message);
  return impl ? impl->CopyAs(true) : nullptr;
}

void InvalidateReceivedMessage(CefRefPtr<CefProcessMessage> message) {
  if (ProcessMessageImpl* impl = AsImpl(message))
    impl->Invalidate();
}

}  // namespace internal
}  // namespace standin

CefRefPtr<CefProcessMessage> CefProcessMessage::Create(const CefString& name) {
  if (!standin::internal::VerifyParam(
          !name.empty(), "CefProcessMessage::Create", "!name.empty()")) {
    return nullptr;
  }
  using standin::internal::ValueNode;
  return new standin::internal::ProcessMessageImpl(
      name, std::make_shared<ValueNode>(VTYPE_LIST), false);
}
