// CEF's string type: UTF-16. For C, cef_string_t and the cef_string_*
// names of the C string API (cef_string_types.h) for it; for C++, CefString,
// CefStringBase over the UTF-16 traits.
#ifndef CEF_INCLUDE_INTERNAL_CEF_STRING_H_
#define CEF_INCLUDE_INTERNAL_CEF_STRING_H_

#include "include/base/cef_basictypes.h"
#include "include/internal/cef_string_types.h"

#define CEF_STRING_TYPE_UTF16 1

typedef char16 cef_char_t;
typedef cef_string_userfree_utf16_t cef_string_userfree_t;
typedef cef_string_utf16_t cef_string_t;

#define cef_string_set cef_string_utf16_set
#define cef_string_copy cef_string_utf16_copy
#define cef_string_clear cef_string_utf16_clear
#define cef_string_userfree_alloc cef_string_userfree_utf16_alloc
#define cef_string_userfree_free cef_string_userfree_utf16_free
#define cef_string_from_ascii cef_string_ascii_to_utf16
#define cef_string_to_utf8 cef_string_utf16_to_utf8
#define cef_string_from_utf8 cef_string_utf8_to_utf16
#define cef_string_to_utf16 cef_string_utf16_copy
#define cef_string_from_utf16 cef_string_utf16_copy
#define cef_string_to_wide cef_string_utf16_to_wide
#define cef_string_from_wide cef_string_wide_to_utf16

#ifdef __cplusplus

#include <stdint.h>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>

// base::string16 as CEF defines it: std::wstring where wchar_t is UTF-16,
// otherwise a basic_string of 16-bit units with its own character traits.
#if defined(_WIN32)
namespace base {
typedef wchar_t char16;
typedef std::wstring string16;
typedef std::char_traits<wchar_t> string16_char_traits;
}  // namespace base
#else
namespace cef {
namespace base {

typedef uint16_t char16;

struct string16_char_traits {
  typedef char16 char_type;
  typedef int int_type;
  typedef std::streamoff off_type;
  typedef mbstate_t state_type;
  typedef std::fpos<state_type> pos_type;

  static void assign(char_type& c1, const char_type& c2) { c1 = c2; }
  static bool eq(const char_type& c1, const char_type& c2) { return c1 == c2; }
  static bool lt(const char_type& c1, const char_type& c2) { return c1 < c2; }
  static int compare(const char_type* s1, const char_type* s2, size_t n) {
    for (size_t i = 0; i < n; ++i) {
      if (s1[i] != s2[i])
        return s1[i] < s2[i] ? -1 : 1;
    }
    return 0;
  }
  static size_t length(const char_type* s) {
    size_t n = 0;
    while (s[n])
      ++n;
    return n;
  }
  static const char_type* find(const char_type* s,
                               size_t n,
                               const char_type& a) {
    for (size_t i = 0; i < n; ++i) {
      if (s[i] == a)
        return s + i;
    }
    return nullptr;
  }
  // CEF declares the count as int_type here; strings never get that long.
  static char_type* move(char_type* s1, const char_type* s2, int_type n) {
    if (n > 0)
      memmove(s1, s2, static_cast<size_t>(n) * sizeof(char_type));
    return s1;
  }
  static char_type* copy(char_type* s1, const char_type* s2, size_t n) {
    if (n > 0)
      memcpy(s1, s2, n * sizeof(char_type));
    return s1;
  }
  static char_type* assign(char_type* s, size_t n, char_type a) {
    for (size_t i = 0; i < n; ++i)
      s[i] = a;
    return s;
  }
  static int_type not_eof(const int_type& c) {
    return eq_int_type(c, eof()) ? 0 : c;
  }
  static char_type to_char_type(const int_type& c) { return char_type(c); }
  static int_type to_int_type(const char_type& c) { return int_type(c); }
  static bool eq_int_type(const int_type& c1, const int_type& c2) {
    return c1 == c2;
  }
  static int_type eof() { return static_cast<int_type>(EOF); }
};

typedef std::basic_string<char16, string16_char_traits> string16;

}  // namespace base
}  // namespace cef

namespace base {
typedef cef::base::char16 char16;
typedef cef::base::string16 string16;
}  // namespace base
#endif

namespace standin {

// The conversions of the framework library (src/cef_string.cc), which also
// back its C string API: src/string_conversions.h declares them again for
// it. Invalid input (a broken UTF-8 sequence, a lone surrogate, a wide
// character that is no code point) becomes U+FFFD and makes the result
// false; the output is written either way.
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

struct CefStringTraitsUTF16 {
  typedef char16 char_type;
};

// Holds its own copy of the characters; unlike CEF's it never refers to a
// caller's buffer.
template <class traits>
class CefStringBase {
 public:
  typedef typename traits::char_type char_type;

  CefStringBase() {}
  CefStringBase(const CefStringBase& str) = default;
  CefStringBase(const std::string& src) { FromString(src); }
  CefStringBase(const char* src) {
    if (src)
      FromString(std::string(src));
  }
  CefStringBase(const std::wstring& src) { FromWString(src); }
  CefStringBase(const wchar_t* src) {
    if (src)
      FromWString(std::wstring(src));
  }
#if !defined(_WIN32)
  CefStringBase(const base::string16& src) : str_(src) {}
  CefStringBase(const char16* src) {
    if (src)
      str_ = base::string16(src);
  }
#endif
  // Copies whether or not |copy| asks for it.
  CefStringBase(const char_type* src, size_t src_len, bool copy) {
    if (src && src_len > 0)
      str_.assign(src, src_len);
  }
  CefStringBase& operator=(const CefStringBase& str) = default;

  // Null while the string is empty, as in CEF, whose string holds no
  // characters until it is set to some and again after clear().
  const char_type* c_str() const {
    return str_.empty() ? nullptr : str_.c_str();
  }
  size_t length() const {
    return str_.length();
  }
  size_t size() const {
    return str_.length();
  }
  bool empty() const {
    return str_.empty();
  }
  void clear() {
    str_.clear();
  }

  int compare(const CefStringBase& str) const {
    return str_.compare(str.str_);
  }

  std::string ToString() const {
    std::string out;
    standin::cef_string_utf16_to_utf8_std(str_.data(), str_.length(), &out);
    return out;
  }
  bool FromString(const std::string& str) {
    str_.clear();
    standin::cef_string_utf8_to_utf16_std(str.data(), str.length(), &str_);
    return true;
  }
  std::wstring ToWString() const {
    std::wstring out;
    standin::cef_string_utf16_to_wide_std(str_.data(), str_.length(), &out);
    return out;
  }
  bool FromWString(const std::wstring& str) {
    str_.clear();
    standin::cef_string_wide_to_utf16_std(str.data(), str.length(), &str_);
    return true;
  }
  base::string16 ToString16() const {
    return str_;
  }
  bool FromString16(const base::string16& str) {
    str_ = str;
    return true;
  }
  bool FromASCII(const char* str) {
    str_.clear();
    for (; str && *str; ++str)
      str_.push_back(static_cast<char16>(static_cast<unsigned char>(*str)));
    return true;
  }

  operator std::string() const {
    return ToString();
  }
  operator std::wstring() const {
    return ToWString();
  }

  bool operator<(const CefStringBase& str) const {
    return compare(str) < 0;
  }
  bool operator<=(const CefStringBase& str) const {
    return compare(str) <= 0;
  }
  bool operator>(const CefStringBase& str) const {
    return compare(str) > 0;
  }
  bool operator>=(const CefStringBase& str) const {
    return compare(str) >= 0;
  }
  bool operator==(const CefStringBase& str) const {
    return compare(str) == 0;
  }
  bool operator!=(const CefStringBase& str) const {
    return compare(str) != 0;
  }

 private:
  base::string16 str_;
};

typedef CefStringBase<CefStringTraitsUTF16> CefStringUTF16;

typedef CefStringUTF16 CefString;

#endif  // __cplusplus

#endif  // CEF_INCLUDE_INTERNAL_CEF_STRING_H_
