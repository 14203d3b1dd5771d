// The UTF-8, UTF-16 and wide conversions of src/cef_string.cc, for the
// stand-in's sources. The stand-in's own include/internal/cef_string.h
// declares them too (its CefString uses them); this header declares them
// again so the C string API (cef_string_c_api.cc) also compiles against
// CEF's genuine headers, whose cef_string.h knows nothing of them. Where both
// are seen the compiler holds the two declarations to each other.
#ifndef CEF_STANDIN_SRC_STRING_CONVERSIONS_H_
#define CEF_STANDIN_SRC_STRING_CONVERSIONS_H_

#include <string>

#include "include/internal/cef_string.h"

namespace standin {

// Each writes the whole of |src| converted into |*output| (replacing what it
// held), every ill-formed piece of the input as one U+FFFD, and returns
// whether there was none. A null |src| converts as empty (valid only with a
// zero |src_len|); a null |output| gives false.
bool cef_string_utf8_to_utf16_std(const char* src,
                                  size_t src_len,
                                  base::string16* output);
bool cef_string_utf16_to_utf8_std(const char16* src,
                                  size_t src_len,
                                  std::string* output);
bool cef_string_wide_to_utf16_std(const wchar_t* src,
                                  size_t src_len,
                                  base::string16* output);
bool cef_string_utf16_to_wide_std(const char16* src,
                                  size_t src_len,
                                  std::wstring* output);

}  // namespace standin

#endif  // CEF_STANDIN_SRC_STRING_CONVERSIONS_H_
