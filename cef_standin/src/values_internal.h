// What the renderer half of the stand-in needs of the value half.
#ifndef CEF_STANDIN_SRC_VALUES_INTERNAL_H_
#define CEF_STANDIN_SRC_VALUES_INTERNAL_H_

#include "include/cef_process_message.h"
#include "include/cef_values.h"

namespace standin {
namespace internal {

// A deep copy of |message| as the receiving process gets it: the message, its
// argument list and every value reached through it are read-only.
CefRefPtr<CefProcessMessage> MakeReceivedMessage(
    CefRefPtr<CefProcessMessage> message);

// Makes the received message and every reference obtained through it
// invalid, as CEF does once OnProcessMessageReceived has returned.
void InvalidateReceivedMessage(CefRefPtr<CefProcessMessage> message);

// An empty dictionary that refuses every change: the |extra_info| of
// OnBrowserCreated when the browser side gave none.
CefRefPtr<CefDictionaryValue> CreateReadOnlyDictionary();

}  // namespace internal
}  // namespace standin

#endif  // CEF_STANDIN_SRC_VALUES_INTERNAL_H_
