// UTF-8, UTF-16 and wide-string conversions behind CefString and the C
// string API. As Chromium's converters (and so CEF's) do, each bad piece of
// the input becomes U+FFFD in the output, and the result says whether there
// was any.
#include <algorithm>
#include <cstdint>
#include <string>

#include "cef_standin/src/string_conversions.h"

namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
// What the readers return for an ill-formed piece: no code point is this.
constexpr char32_t kInvalid = 0xFFFFFFFF;

bool IsSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDFFF;
}

[[maybe_unused]] bool IsValidCodePoint(char32_t c) {
  return c <= 0x10FFFF && !IsSurrogate(c);
}

bool InRange(unsigned char byte, unsigned char low, unsigned char high) {
  return byte >= low && byte <= high;
}

// Decodes one code point at |*index|. An ill-formed sequence yields kInvalid
// and consumes only its maximal well-formed prefix (Unicode's "maximal
// subpart" practice), so the byte that broke it starts the next read.
char32_t ReadUtf8(const unsigned char* src, size_t length, size_t* index) {
  const unsigned char lead = src[(*index)++];
  if (lead < 0x80)
    return lead;

  int trail_count = 0;
  // The first trail byte has a narrower range for some leads: that is what
  // rules out overlong forms, surrogates and values above U+10FFFF.
  unsigned char first_low = 0x80;
  unsigned char first_high = 0xBF;
  char32_t code_point = 0;
  if (InRange(lead, 0xC2, 0xDF)) {
    trail_count = 1;
    code_point = lead & 0x1F;
  } else if (InRange(lead, 0xE0, 0xEF)) {
    trail_count = 2;
    code_point = lead & 0x0F;
    if (lead == 0xE0)
      first_low = 0xA0;
    else if (lead == 0xED)
      first_high = 0x9F;
  } else if (InRange(lead, 0xF0, 0xF4)) {
    trail_count = 3;
    code_point = lead & 0x07;
    if (lead == 0xF0)
      first_low = 0x90;
    else if (lead == 0xF4)
      first_high = 0x8F;
  } else {
    return kInvalid;
  }

  for (int i = 0; i < trail_count; ++i) {
    if (*index >= length)
      return kInvalid;
    const unsigned char trail = src[*index];
    const unsigned char low = i == 0 ? first_low : 0x80;
    const unsigned char high = i == 0 ? first_high : 0xBF;
    if (!InRange(trail, low, high))
      return kInvalid;
    code_point = (code_point << 6) | (trail & 0x3F);
    ++*index;
  }
  return code_point;
}

// Decodes one code point of UTF-16 at |*index|; a lone surrogate yields
// kInvalid and consumes one unit.
template <typename Unit>
char32_t ReadUtf16(const Unit* src, size_t length, size_t* index) {
  const char32_t unit = static_cast<uint16_t>(src[(*index)++]);
  if (!IsSurrogate(unit))
    return unit;
  if (unit >= 0xDC00 || *index >= length)
    return kInvalid;
  const char32_t next = static_cast<uint16_t>(src[*index]);
  if (next < 0xDC00 || next > 0xDFFF)
    return kInvalid;
  ++*index;
  return 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00);
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    out->push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out->push_back(static_cast<char>(0xC0 | (c >> 6)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out->push_back(static_cast<char>(0xE0 | (c >> 12)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out->push_back(static_cast<char>(0xF0 | (c >> 18)));
    out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

template <typename String>
void AppendUtf16(char32_t c, String* out) {
  using Unit = typename String::value_type;
  if (c < 0x10000) {
    out->push_back(static_cast<Unit>(c));
    return;
  }
  c -= 0x10000;
  out->push_back(static_cast<Unit>(0xD800 + (c >> 10)));
  out->push_back(static_cast<Unit>(0xDC00 + (c & 0x3FF)));
}

template <typename Unit>
size_t AsciiPrefixLength(const Unit* src, size_t length) {
  size_t i = 0;
  while (i < length && static_cast<uint32_t>(src[i]) < 0x80)
    ++i;
  return i;
}

// Starts a conversion: false when there is no output; otherwise clears it
// and sets |*valid| to whether the input is usable (a null |src| converts as
// empty, and is valid only with a zero length).
template <typename Unit, typename Output>
bool Begin(const Unit* src, size_t src_len, Output* output, bool* valid) {
  if (!output) {
    *valid = false;
    return false;
  }
  output->clear();
  *valid = src || src_len == 0;
  return src && src_len > 0;
}

// Appends |c| through |append|, or U+FFFD for a piece that was not valid.
template <typename Output, typename Append>
void Put(char32_t c, Output* output, Append append, bool* valid) {
  if (c == kInvalid) {
    *valid = false;
    c = kReplacementCharacter;
  }
  append(c, output);
}

// Nearly every string the renderer converts (names, keys, log text) is ASCII:
// that prefix is copied in one go, the rest decoded code point by code point.
template <typename Unit, typename Output, typename Read, typename Append>
bool Transcode(const Unit* src,
               size_t src_len,
               Output* output,
               Read read,
               Append append) {
  bool valid = false;
  if (!Begin(src, src_len, output, &valid))
    return valid;
  const size_t ascii = AsciiPrefixLength(src, src_len);
  output->resize(ascii);
  std::copy(src, src + ascii, output->begin());
  if (ascii == src_len)
    return true;
  output->reserve(src_len);
  for (size_t i = ascii; i < src_len;)
    Put(read(src, src_len, &i), output, append, &valid);
  return valid;
}

}  // namespace

namespace standin {

bool cef_string_utf8_to_utf16_std(const char* src,
                                  size_t src_len,
                                  base::string16* output) {
  return Transcode(
      reinterpret_cast<const unsigned char*>(src), src_len, output,
      [](const unsigned char* bytes, size_t length, size_t* i) {
        return ReadUtf8(bytes, length, i);
      },
      [](char32_t c, base::string16* out) { AppendUtf16(c, out); });
}

bool cef_string_utf16_to_utf8_std(const char16* src,
                                  size_t src_len,
                                  std::string* output) {
  return Transcode(
      src, src_len, output,
      [](const char16* units, size_t length, size_t* i) {
        return ReadUtf16(units, length, i);
      },
      [](char32_t c, std::string* out) { AppendUtf8(c, out); });
}

// Where wchar_t is UTF-16 (Windows) these two copy the units as they are, as
// Chromium's do: lone surrogates pass unchanged and the result is true.
bool cef_string_wide_to_utf16_std(const wchar_t* src,
                                  size_t src_len,
                                  base::string16* output) {
  bool valid = false;
  if (!Begin(src, src_len, output, &valid))
    return valid;
#if defined(_WIN32)
  output->assign(src, src_len);
#else
  output->reserve(src_len);
  for (size_t i = 0; i < src_len; ++i) {
    const auto c = static_cast<char32_t>(src[i]);
    Put(
        IsValidCodePoint(c) ? c : kInvalid, output,
        [](char32_t code_point, base::string16* out) {
          AppendUtf16(code_point, out);
        },
        &valid);
  }
#endif
  return valid;
}

bool cef_string_utf16_to_wide_std(const char16* src,
                                  size_t src_len,
                                  std::wstring* output) {
  bool valid = false;
  if (!Begin(src, src_len, output, &valid))
    return valid;
#if defined(_WIN32)
  output->assign(src, src_len);
#else
  output->reserve(src_len);
  for (size_t i = 0; i < src_len;) {
    Put(
        ReadUtf16(src, src_len, &i), output,
        [](char32_t code_point, std::wstring* out) {
          out->push_back(static_cast<wchar_t>(code_point));
        },
        &valid);
  }
#endif
  return valid;
}

}  // namespace standin
