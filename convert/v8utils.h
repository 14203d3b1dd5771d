// Conversion between V8 values and CEF list and dictionary values, in both
// directions, to a nesting level of 8.
#ifndef QUILLMOSS_CONVERT_V8UTILS_H_
#define QUILLMOSS_CONVERT_V8UTILS_H_

#include "convert/conversion_hooks.h"
#include "include/cef_v8.h"
#include "include/cef_values.h"

namespace quillmoss {

// Each function is a crossing of its own, with a fresh entry budget; its
// |hooks| store the functions met and make the host's callbacks, and are
// asked once for the calling context's Array.isArray.

// Page -> host. A JavaScript function met on the way is stored through
// |hooks| and travels as its descriptor string. Whole numbers from 2^31 to
// 2^32-1 travel as a 4-byte little-endian binary value, since a CEF integer
// is signed 32-bit. Never returns null.
CefRefPtr<CefListValue> V8ArgumentsToCefListValue(
    ConversionHooks& hooks,
    const CefV8ValueList& arguments);
// Appends at most one entry, at the list's current end.
void V8ValueAppendToCefListValue(ConversionHooks& hooks,
                                 CefRefPtr<CefV8Value> value,
                                 CefRefPtr<CefListValue> list,
                                 int nesting_level);
// Never returns null: a new empty dictionary on every failure.
CefRefPtr<CefDictionaryValue> V8ObjectToCefDictionaryValue(
    ConversionHooks& hooks,
    CefRefPtr<CefV8Value> value,
    int nesting_level);

// Host -> page. Must run inside an entered V8 context. A 20-byte binary value
// becomes a function that calls the host callback whose id it carries.
// Never returns null: a V8 null on failure.
CefRefPtr<CefV8Value> CefListValueToV8Value(ConversionHooks& hooks,
                                            CefRefPtr<CefListValue> list_value,
                                            int nesting_level);
CefRefPtr<CefV8Value> CefDictionaryValueToV8Value(
    ConversionHooks& hooks,
    CefRefPtr<CefDictionaryValue> dict_value,
    int nesting_level);
// Assigns each entry of |dict_value|, converted as a member of a dictionary
// at |nesting_level|, to the existing |object| under its key, in the
// dictionary's key order, with no intermediate object. Being assignments, a
// "__proto__" entry would replace |object|'s prototype: callers leave it
// out. False, with nothing set, when the dictionary cannot be listed.
bool CefDictionaryValueSetOnV8Object(ConversionHooks& hooks,
                                     CefRefPtr<CefDictionaryValue> dict_value,
                                     CefRefPtr<CefV8Value> object,
                                     int nesting_level);
// One V8 value per entry, in list order, made straight from the list; empty
// when the list is refused. It stops short when a page setter run by an
// assignment released the current context: the caller tests the context.
CefV8ValueList CefListValueToV8Arguments(ConversionHooks& hooks,
                                         CefRefPtr<CefListValue> list_value);

}  // namespace quillmoss

#endif  // QUILLMOSS_CONVERT_V8UTILS_H_
