// The bindings dictionary the host sends: its keys as CEF strings and the
// reading of its layout, shared by the store, frame choice and installation.
#ifndef QUILLMOSS_APP_BINDINGS_DICTIONARY_H_
#define QUILLMOSS_APP_BINDINGS_DICTIONARY_H_

#include "include/cef_values.h"

namespace quillmoss {

// Converted once: the functions and objects keys are read on every bound
// call.
const CefString& BindToFramesKey();
const CefString& FunctionsKey();
const CefString& PropertiesKey();
const CefString& ObjectsKey();

// "bindToFrames" missing or not a bool reads as false.
bool ReadBindToFrames(const CefRefPtr<CefDictionaryValue>& bindings);

// The three dictionaries and the flag, each of its type.
bool HasBindingsLayout(const CefRefPtr<CefDictionaryValue>& bindings);

}  // namespace quillmoss

#endif  // QUILLMOSS_APP_BINDINGS_DICTIONARY_H_
