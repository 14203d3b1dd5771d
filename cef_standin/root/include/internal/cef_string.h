// CefString: CEF's UTF-16 string class.
#ifndef CEF_INCLUDE_INTERNAL_CEF_STRING_H_
#define CEF_INCLUDE_INTERNAL_CEF_STRING_H_

#include <cstring>
#include <ostream>
#include <string>

#include "include/base/cef_basictypes.h"

typedef std::basic_string<char16> cef_string16_storage;

// Conversions exported by the framework library. Invalid input (a broken
// UTF-8 sequence, a lone surrogate) becomes U+FFFD; they never fail.
void cef_string_utf8_to_utf16_std(const char* src,
                                  size_t src_len,
                                  cef_string16_storage* output);
void cef_string_utf16_to_utf8_std(const char16* src,
                                  size_t src_len,
                                  std::string* output);
void cef_string_wide_to_utf16_std(const wchar_t* src,
                                  size_t src_len,
                                  cef_string16_storage* output);
void cef_string_utf16_to_wide_std(const char16* src,
                                  size_t src_len,
                                  std::wstring* output);

class CefStringUTF16 {
 public:
  typedef char16 char_type;

  CefStringUTF16() {}
  CefStringUTF16(const CefStringUTF16& str) = default;
  CefStringUTF16(const std::string& src) { FromString(src); }
  CefStringUTF16(const char* src) {
    if (src)
      FromString(std::string(src));
  }
  CefStringUTF16(const std::wstring& src) { FromWString(src); }
#if !defined(_WIN32)
  CefStringUTF16(const wchar_t* src) {
    if (src)
      FromWString(std::wstring(src));
  }
#endif
  CefStringUTF16(const char16* src) {
    if (src)
      str_ = cef_string16_storage(src);
  }
  CefStringUTF16(const char16* src, size_t length) : str_(src, length) {}
#if !defined(_WIN32)
  CefStringUTF16(const cef_string16_storage& src) : str_(src) {}
#endif
  CefStringUTF16& operator=(const CefStringUTF16& str) = default;

  const char_type* c_str() const { return str_.c_str(); }
  size_t length() const { return str_.length(); }
  size_t size() const { return str_.length(); }
  bool empty() const { return str_.empty(); }
  void clear() { str_.clear(); }

  int compare(const CefStringUTF16& str) const { return str_.compare(str.str_); }

  std::string ToString() const {
    std::string out;
    cef_string_utf16_to_utf8_std(str_.data(), str_.length(), &out);
    return out;
  }
  bool FromString(const std::string& str) {
    str_.clear();
    cef_string_utf8_to_utf16_std(str.data(), str.length(), &str_);
    return true;
  }
  std::wstring ToWString() const {
    std::wstring out;
    cef_string_utf16_to_wide_std(str_.data(), str_.length(), &out);
    return out;
  }
  bool FromWString(const std::wstring& str) {
    str_.clear();
    cef_string_wide_to_utf16_std(str.data(), str.length(), &str_);
    return true;
  }
  cef_string16_storage ToString16() const { return str_; }
  bool FromString16(const cef_string16_storage& str) {
    str_ = str;
    return true;
  }
  bool FromASCII(const char* str) {
    str_.clear();
    for (; str && *str; ++str)
      str_.push_back(static_cast<char16>(static_cast<unsigned char>(*str)));
    return true;
  }

  operator std::string() const { return ToString(); }
  operator std::wstring() const { return ToWString(); }

  bool operator<(const CefStringUTF16& str) const { return compare(str) < 0; }
  bool operator<=(const CefStringUTF16& str) const {
    return compare(str) <= 0;
  }
  bool operator>(const CefStringUTF16& str) const { return compare(str) > 0; }
  bool operator>=(const CefStringUTF16& str) const {
    return compare(str) >= 0;
  }
  bool operator==(const CefStringUTF16& str) const {
    return compare(str) == 0;
  }
  bool operator!=(const CefStringUTF16& str) const {
    return compare(str) != 0;
  }

 private:
  cef_string16_storage str_;
};

inline std::ostream& operator<<(std::ostream& s, const CefStringUTF16& str) {
  return s << str.ToString();
}

typedef CefStringUTF16 CefString;

#endif  // CEF_INCLUDE_INTERNAL_CEF_STRING_H_
