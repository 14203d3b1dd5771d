// CEF's C string API: three string structures (UTF-8, UTF-16, wide) that
// carry their own release function, and the framework library's functions
// that set, clear, compare and convert them. Implemented in
// src/cef_string_c_api.cc.
#ifndef CEF_INCLUDE_INTERNAL_CEF_STRING_TYPES_H_
#define CEF_INCLUDE_INTERNAL_CEF_STRING_TYPES_H_

#include <stddef.h>

#include "include/base/cef_basictypes.h"

#ifdef __cplusplus
extern "C" {
#endif

// |str| holds |length| characters (no terminator counted). |dtor| releases
// |str| and is called by the clear functions; it is null when the structure
// only refers to characters someone else owns.
typedef struct _cef_string_wide_t {
  wchar_t* str;
  size_t length;
  void (*dtor)(wchar_t* str);
} cef_string_wide_t;

typedef struct _cef_string_utf8_t {
  char* str;
  size_t length;
  void (*dtor)(char* str);
} cef_string_utf8_t;

typedef struct _cef_string_utf16_t {
  char16* str;
  size_t length;
  void (*dtor)(char16* str);
} cef_string_utf16_t;

// Clear |output|, then make it hold |src_len| characters of |src|: a copy of
// its own (with a terminator and a dtor) when |copy| is 1, otherwise |src|
// itself, which the caller keeps alive. Return 1.
int cef_string_wide_set(const wchar_t* src,
                        size_t src_len,
                        cef_string_wide_t* output,
                        int copy);
int cef_string_utf8_set(const char* src,
                        size_t src_len,
                        cef_string_utf8_t* output,
                        int copy);
int cef_string_utf16_set(const char16* src,
                         size_t src_len,
                         cef_string_utf16_t* output,
                         int copy);

#define cef_string_wide_copy(src, src_len, output) \
  cef_string_wide_set(src, src_len, output, 1)
#define cef_string_utf8_copy(src, src_len, output) \
  cef_string_utf8_set(src, src_len, output, 1)
#define cef_string_utf16_copy(src, src_len, output) \
  cef_string_utf16_set(src, src_len, output, 1)

// Release the characters through |dtor| (when there is one) and leave the
// structure empty: null |str|, zero |length|, null |dtor|.
void cef_string_wide_clear(cef_string_wide_t* str);
void cef_string_utf8_clear(cef_string_utf8_t* str);
void cef_string_utf16_clear(cef_string_utf16_t* str);

// Order two strings as strcmp() does: negative, zero or positive.
int cef_string_wide_cmp(const cef_string_wide_t* str1,
                        const cef_string_wide_t* str2);
int cef_string_utf8_cmp(const cef_string_utf8_t* str1,
                        const cef_string_utf8_t* str2);
int cef_string_utf16_cmp(const cef_string_utf16_t* str1,
                         const cef_string_utf16_t* str2);

// Convert between the encodings into |output| (replacing what it held). The
// result is always written; invalid input becomes U+FFFD, and the return
// value is 1 only when the input was entirely valid.
int cef_string_wide_to_utf8(const wchar_t* src,
                            size_t src_len,
                            cef_string_utf8_t* output);
int cef_string_utf8_to_wide(const char* src,
                            size_t src_len,
                            cef_string_wide_t* output);
int cef_string_wide_to_utf16(const wchar_t* src,
                             size_t src_len,
                             cef_string_utf16_t* output);
int cef_string_utf16_to_wide(const char16* src,
                             size_t src_len,
                             cef_string_wide_t* output);
int cef_string_utf8_to_utf16(const char* src,
                             size_t src_len,
                             cef_string_utf16_t* output);
int cef_string_utf16_to_utf8(const char16* src,
                             size_t src_len,
                             cef_string_utf8_t* output);

// For text known to be ASCII (a constant, say): each byte one character.
int cef_string_ascii_to_wide(const char* src,
                             size_t src_len,
                             cef_string_wide_t* output);
int cef_string_ascii_to_utf16(const char* src,
                              size_t src_len,
                              cef_string_utf16_t* output);

// A string structure allocated by the library that the caller frees.
typedef cef_string_wide_t* cef_string_userfree_wide_t;
typedef cef_string_utf8_t* cef_string_userfree_utf8_t;
typedef cef_string_utf16_t* cef_string_userfree_utf16_t;

// A new empty structure, to be given back to the matching free function.
cef_string_userfree_wide_t cef_string_userfree_wide_alloc();
cef_string_userfree_utf8_t cef_string_userfree_utf8_alloc();
cef_string_userfree_utf16_t cef_string_userfree_utf16_alloc();

// Clear the structure's string, then free the structure.
void cef_string_userfree_wide_free(cef_string_userfree_wide_t str);
void cef_string_userfree_utf8_free(cef_string_userfree_utf8_t str);
void cef_string_userfree_utf16_free(cef_string_userfree_utf16_t str);

// Lower or upper case of |src| into |output|; the length may change.
int cef_string_utf16_to_lower(const char16* src,
                              size_t src_len,
                              cef_string_utf16_t* output);
int cef_string_utf16_to_upper(const char16* src,
                              size_t src_len,
                              cef_string_utf16_t* output);

#ifdef __cplusplus
}
#endif

#endif  // CEF_INCLUDE_INTERNAL_CEF_STRING_TYPES_H_
