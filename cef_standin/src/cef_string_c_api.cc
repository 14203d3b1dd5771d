// CEF's C string API (include/internal/cef_string_types.h, cef_string_list.h,
// cef_string_map.h, cef_string_multimap.h) as CEF 81.3's framework library
// implements it: what genuine CefString, CEF's wrapper and its C API glue
// build on. The stand-in's own CefString does not use it.
//
// The UTF conversions are those of cef_string.cc (string_conversions.h), so
// they are written once. What CEF only DCHECKs (a null handle or output, an
// index past the end, non-ASCII text given as ASCII) is a misuse line here,
// as the stand-in reports NOTREACHED(), and the call then answers as CEF's
// release build does, or with 0 where CEF's would crash on a null pointer.
//
// This file compiles against the stand-in's headers and against CEF's
// genuine ones (where it gives a libcef its C string API); it uses nothing
// of CefString.
#include <algorithm>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <windows.h>
#else
#include <locale.h>
#include <wctype.h>
#endif

#include "cef_standin/src/renderer_internal.h"
#include "cef_standin/src/string_conversions.h"
#include "include/internal/cef_string.h"
#include "include/internal/cef_string_list.h"
#include "include/internal/cef_string_map.h"
#include "include/internal/cef_string_multimap.h"
#include "include/internal/cef_string_types.h"

namespace {

void Misuse(const char* function, const std::string& what) {
  standin::internal::RendererMisuse(std::string(function) + ": " + what);
}

// --------------------------------------------------------------------------
// The three string structures, handled alike.

void DeleteWide(wchar_t* str) {
  delete[] str;
}
void DeleteUtf8(char* str) {
  delete[] str;
}
void DeleteUtf16(char16* str) {
  delete[] str;
}

template <typename Struct>
void ClearString(const char* function, Struct* str) {
  if (!str) {
    Misuse(function, "the string is null");
    return;
  }
  if (str->dtor && str->str)
    str->dtor(str->str);
  str->str = nullptr;
  str->length = 0;
  str->dtor = nullptr;
}

// CEF clears |output| first and then copies, which reads freed memory when
// |src| is |output|'s own text; the copy is made first here, the rest alike.
template <typename Char, typename Struct>
int SetString(const char* function,
              const Char* src,
              size_t src_len,
              Struct* output,
              int copy,
              void (*dtor)(Char*)) {
  if (!output) {
    Misuse(function, "the output is null");
    return 0;
  }
  Char* str = const_cast<Char*>(src);
  size_t length = src_len;
  void (*str_dtor)(Char*) = nullptr;
  if (copy) {
    if (src && src_len > 0) {
      str = new Char[src_len + 1];
      std::memcpy(str, src, src_len * sizeof(Char));
      str[src_len] = 0;
      str_dtor = dtor;
    } else {
      str = nullptr;
      length = 0;
    }
  }
  ClearString(function, output);
  output->str = str;
  output->length = length;
  output->dtor = str_dtor;
  return 1;
}

// strcmp()'s order over the common length, through |compare_n| (CEF's: the C
// library's strncmp or wcsncmp, which stop at a NUL both strings share),
// then the shorter first.
template <typename Struct, typename CompareN>
int CompareStrings(const char* function,
                   const Struct* str1,
                   const Struct* str2,
                   CompareN compare_n) {
  if (!str1 || !str2) {
    Misuse(function, "a string is null");
    const Struct empty = {};
    return CompareStrings(function, str1 ? str1 : &empty, str2 ? str2 : &empty,
                          compare_n);
  }
  if (str1->length == 0 && str2->length == 0)
    return 0;
  const size_t common = std::min(str1->length, str2->length);
  const int order = common > 0 ? compare_n(str1->str, str2->str, common) : 0;
  if (order == 0 && str1->length != str2->length)
    return str1->length > str2->length ? 1 : -1;
  return order;
}

#if !defined(_WIN32)
// UTF-16 units as unsigned numbers, all of them (CEF's c16memcmp).
int CompareUtf16Units(const char16* a, const char16* b, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    if (a[i] != b[i])
      return a[i] < b[i] ? -1 : 1;
  }
  return 0;
}
#endif

// --------------------------------------------------------------------------
// Conversions: the result of string_conversions.h, copied into |output|.

bool CheckConversion(const char* function,
                     const void* src,
                     size_t src_len,
                     const void* output) {
  if (!output) {
    Misuse(function, "the output is null");
    return false;
  }
  if (!src && src_len > 0)
    Misuse(function, "the source is null but not its length");
  return true;
}

int Deliver(const std::string& text, bool valid, cef_string_utf8_t* output) {
  return cef_string_utf8_set(text.data(), text.size(), output, 1) && valid;
}
int Deliver(const std::wstring& text, bool valid, cef_string_wide_t* output) {
  return cef_string_wide_set(text.data(), text.size(), output, 1) && valid;
}
int Deliver(const base::string16& text,
            bool valid,
            cef_string_utf16_t* output) {
  return cef_string_utf16_set(text.data(), text.size(), output, 1) && valid;
}

// CEF widens each char as it is (a byte above 0x7F, already a DCHECK
// failure, becomes a negative char's value), then copies.
template <typename Unit, typename Struct>
int AsciiTo(const char* function,
            const char* src,
            size_t src_len,
            Struct* output,
            int (*set)(const Unit*, size_t, Struct*, int)) {
  if (!CheckConversion(function, src, src_len, output))
    return 0;
  if (!src) {
    ClearString(function, output);
    return src_len == 0;
  }
  std::vector<Unit> units(src_len);
  bool ascii = true;
  for (size_t i = 0; i < src_len; ++i) {
    ascii = ascii && static_cast<unsigned char>(src[i]) < 0x80;
    units[i] = static_cast<Unit>(src[i]);
  }
  if (!ascii)
    Misuse(function, "the text is not ASCII");
  return set(units.data(), units.size(), output, 1);
}

// --------------------------------------------------------------------------
// Case mapping. CEF asks ICU for the full mapping of the current locale;
// the stand-in has no ICU and maps each code point alone (Unicode's simple
// mapping, from the C library's C.UTF-8 locale, or Windows' invariant
// table), so a mapping that changes the length (upper-case "ß" is "SS" in
// CEF, "ß" here) or depends on the neighbours (a final sigma) does not
// happen. Unpaired surrogates pass unchanged, as in ICU.

#if !defined(_WIN32)
locale_t CaseLocale() {
  // Made once, kept for the process. Without it only ASCII changes case.
  static const locale_t locale =
      newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
  return locale;
}

char32_t MapCodePoint(char32_t c, bool upper) {
  const locale_t locale = CaseLocale();
  if (!locale) {
    if (upper && c >= 'a' && c <= 'z')
      return c - ('a' - 'A');
    if (!upper && c >= 'A' && c <= 'Z')
      return c + ('a' - 'A');
    return c;
  }
  const wint_t wc = static_cast<wint_t>(c);
  return static_cast<char32_t>(upper ? towupper_l(wc, locale)
                                     : towlower_l(wc, locale));
}
#endif

base::string16 MapCase(const char16* src, size_t src_len, bool upper) {
  base::string16 out;
  if (!src || src_len == 0)
    return out;
#if defined(_WIN32)
  const DWORD flags = upper ? LCMAP_UPPERCASE : LCMAP_LOWERCASE;
  const int length = static_cast<int>(src_len);
  const int needed =
      LCMapStringW(LOCALE_INVARIANT, flags, src, length, nullptr, 0);
  if (needed <= 0)
    return base::string16(src, src_len);
  out.resize(static_cast<size_t>(needed));
  LCMapStringW(LOCALE_INVARIANT, flags, src, length, &out[0], needed);
#else
  out.reserve(src_len);
  for (size_t i = 0; i < src_len; ++i) {
    char32_t c = src[i];
    const bool pair = c >= 0xD800 && c <= 0xDBFF && i + 1 < src_len &&
                      src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF;
    if (pair) {
      c = 0x10000 + ((c - 0xD800) << 10) + (src[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      out.push_back(static_cast<char16>(c));
      continue;
    }
    const char32_t mapped = MapCodePoint(c, upper);
    if (mapped < 0x10000) {
      out.push_back(static_cast<char16>(mapped));
    } else {
      out.push_back(static_cast<char16>(0xD800 + ((mapped - 0x10000) >> 10)));
      out.push_back(static_cast<char16>(0xDC00 + ((mapped - 0x10000) & 0x3FF)));
    }
  }
#endif
  return out;
}

int MapCaseInto(const char* function,
                const char16* src,
                size_t src_len,
                cef_string_utf16_t* output,
                bool upper) {
  if (!CheckConversion(function, src, src_len, output))
    return 0;
  const base::string16 mapped = MapCase(src, src_len, upper);
  return cef_string_utf16_set(mapped.data(), mapped.size(), output, 1);
}

// --------------------------------------------------------------------------
// Lists, maps and multimaps: CEF keeps CefStrings in a vector, a std::map
// and a std::multimap, so a pair's index follows the keys' order
// (cef_string_utf16_cmp's, the empty key first; a key's values in the order
// they came), and what goes in or comes out is a copy.

class StoredString {
 public:
  // Null, or a null |str|, is the empty string.
  explicit StoredString(const cef_string_t* from) {
    if (from && from->str && from->length > 0)
      units_.assign(from->str, from->str + from->length);
  }

  cef_string_t View() const {
    cef_string_t view = {const_cast<char16*>(units_.data()), units_.size(),
                         nullptr};
    return view;
  }

  int CopyTo(cef_string_t* output) const {
    return cef_string_utf16_set(units_.data(), units_.size(), output, 1);
  }

 private:
  std::vector<char16> units_;
};

struct StoredLess {
  bool operator()(const StoredString& a, const StoredString& b) const {
    const cef_string_t view_a = a.View();
    const cef_string_t view_b = b.View();
    return cef_string_utf16_cmp(&view_a, &view_b) < 0;
  }
};

using StringList = std::vector<StoredString>;
using StringMap = std::map<StoredString, StoredString, StoredLess>;
using StringMultimap = std::multimap<StoredString, StoredString, StoredLess>;

template <typename Container>
Container* Open(const char* function, void* handle) {
  if (!handle)
    Misuse(function, "the handle is null");
  return static_cast<Container*>(handle);
}

// The checks before copying an entry out: a handle, an output, an index in
// range.
bool CheckRead(const char* function,
               const void* handle,
               const void* output,
               size_t index,
               size_t size) {
  if (!handle || !output) {
    Misuse(function, handle ? "the output is null" : "the handle is null");
    return false;
  }
  if (index >= size) {
    Misuse(function, "index " + std::to_string(index) +
                         " is past the end (size " + std::to_string(size) +
                         ")");
    return false;
  }
  return true;
}

template <typename Map>
int MapEntry(const char* function,
             void* handle,
             size_t index,
             cef_string_t* output,
             bool key) {
  const Map* map = static_cast<const Map*>(handle);
  if (!CheckRead(function, handle, output, index, map ? map->size() : 0))
    return 0;
  const auto entry = std::next(
      map->begin(), static_cast<typename Map::difference_type>(index));
  return (key ? entry->first : entry->second).CopyTo(output);
}

}  // namespace

// ----------------------------------------------------------------------------
// Strings

int cef_string_wide_set(const wchar_t* src,
                        size_t src_len,
                        cef_string_wide_t* output,
                        int copy) {
  return SetString("cef_string_wide_set", src, src_len, output, copy,
                   DeleteWide);
}

int cef_string_utf8_set(const char* src,
                        size_t src_len,
                        cef_string_utf8_t* output,
                        int copy) {
  return SetString("cef_string_utf8_set", src, src_len, output, copy,
                   DeleteUtf8);
}

int cef_string_utf16_set(const char16* src,
                         size_t src_len,
                         cef_string_utf16_t* output,
                         int copy) {
  return SetString("cef_string_utf16_set", src, src_len, output, copy,
                   DeleteUtf16);
}

void cef_string_wide_clear(cef_string_wide_t* str) {
  ClearString("cef_string_wide_clear", str);
}

void cef_string_utf8_clear(cef_string_utf8_t* str) {
  ClearString("cef_string_utf8_clear", str);
}

void cef_string_utf16_clear(cef_string_utf16_t* str) {
  ClearString("cef_string_utf16_clear", str);
}

int cef_string_wide_cmp(const cef_string_wide_t* str1,
                        const cef_string_wide_t* str2) {
  return CompareStrings("cef_string_wide_cmp", str1, str2,
                        [](const wchar_t* a, const wchar_t* b, size_t n) {
                          return std::wcsncmp(a, b, n);
                        });
}

int cef_string_utf8_cmp(const cef_string_utf8_t* str1,
                        const cef_string_utf8_t* str2) {
  return CompareStrings("cef_string_utf8_cmp", str1, str2,
                        [](const char* a, const char* b, size_t n) {
                          return std::strncmp(a, b, n);
                        });
}

// Where char16 is wchar_t (Windows) CEF compares with wcsncmp; elsewhere
// every unit counts, NULs too.
int cef_string_utf16_cmp(const cef_string_utf16_t* str1,
                         const cef_string_utf16_t* str2) {
  return CompareStrings("cef_string_utf16_cmp", str1, str2,
                        [](const char16* a, const char16* b, size_t n) {
#if defined(_WIN32)
                          return std::wcsncmp(a, b, n);
#else
                          return CompareUtf16Units(a, b, n);
#endif
                        });
}

int cef_string_wide_to_utf8(const wchar_t* src,
                            size_t src_len,
                            cef_string_utf8_t* output) {
  if (!CheckConversion("cef_string_wide_to_utf8", src, src_len, output))
    return 0;
  // Through UTF-16: on Linux the first step finds what is invalid, on Windows
  // (a copy first) the second.
  base::string16 utf16;
  std::string utf8;
  const bool wide_valid =
      standin::cef_string_wide_to_utf16_std(src, src_len, &utf16);
  const bool utf16_valid =
      standin::cef_string_utf16_to_utf8_std(utf16.data(), utf16.size(), &utf8);
  return Deliver(utf8, wide_valid && utf16_valid, output);
}

int cef_string_utf8_to_wide(const char* src,
                            size_t src_len,
                            cef_string_wide_t* output) {
  if (!CheckConversion("cef_string_utf8_to_wide", src, src_len, output))
    return 0;
  // Through UTF-16, whose every unit is then valid.
  base::string16 utf16;
  std::wstring wide;
  const bool valid =
      standin::cef_string_utf8_to_utf16_std(src, src_len, &utf16);
  standin::cef_string_utf16_to_wide_std(utf16.data(), utf16.size(), &wide);
  return Deliver(wide, valid, output);
}

int cef_string_wide_to_utf16(const wchar_t* src,
                             size_t src_len,
                             cef_string_utf16_t* output) {
  if (!CheckConversion("cef_string_wide_to_utf16", src, src_len, output))
    return 0;
  base::string16 utf16;
  const bool valid =
      standin::cef_string_wide_to_utf16_std(src, src_len, &utf16);
  return Deliver(utf16, valid, output);
}

int cef_string_utf16_to_wide(const char16* src,
                             size_t src_len,
                             cef_string_wide_t* output) {
  if (!CheckConversion("cef_string_utf16_to_wide", src, src_len, output))
    return 0;
  std::wstring wide;
  const bool valid = standin::cef_string_utf16_to_wide_std(src, src_len, &wide);
  return Deliver(wide, valid, output);
}

int cef_string_utf8_to_utf16(const char* src,
                             size_t src_len,
                             cef_string_utf16_t* output) {
  if (!CheckConversion("cef_string_utf8_to_utf16", src, src_len, output))
    return 0;
  base::string16 utf16;
  const bool valid =
      standin::cef_string_utf8_to_utf16_std(src, src_len, &utf16);
  return Deliver(utf16, valid, output);
}

int cef_string_utf16_to_utf8(const char16* src,
                             size_t src_len,
                             cef_string_utf8_t* output) {
  if (!CheckConversion("cef_string_utf16_to_utf8", src, src_len, output))
    return 0;
  std::string utf8;
  const bool valid = standin::cef_string_utf16_to_utf8_std(src, src_len, &utf8);
  return Deliver(utf8, valid, output);
}

int cef_string_ascii_to_wide(const char* src,
                             size_t src_len,
                             cef_string_wide_t* output) {
  return AsciiTo<wchar_t>("cef_string_ascii_to_wide", src, src_len, output,
                          cef_string_wide_set);
}

int cef_string_ascii_to_utf16(const char* src,
                              size_t src_len,
                              cef_string_utf16_t* output) {
  return AsciiTo<char16>("cef_string_ascii_to_utf16", src, src_len, output,
                         cef_string_utf16_set);
}

cef_string_userfree_wide_t cef_string_userfree_wide_alloc() {
  return new cef_string_wide_t();
}

cef_string_userfree_utf8_t cef_string_userfree_utf8_alloc() {
  return new cef_string_utf8_t();
}

cef_string_userfree_utf16_t cef_string_userfree_utf16_alloc() {
  return new cef_string_utf16_t();
}

void cef_string_userfree_wide_free(cef_string_userfree_wide_t str) {
  ClearString("cef_string_userfree_wide_free", str);
  delete str;
}

void cef_string_userfree_utf8_free(cef_string_userfree_utf8_t str) {
  ClearString("cef_string_userfree_utf8_free", str);
  delete str;
}

void cef_string_userfree_utf16_free(cef_string_userfree_utf16_t str) {
  ClearString("cef_string_userfree_utf16_free", str);
  delete str;
}

int cef_string_utf16_to_lower(const char16* src,
                              size_t src_len,
                              cef_string_utf16_t* output) {
  return MapCaseInto("cef_string_utf16_to_lower", src, src_len, output,
                     /*upper=*/false);
}

int cef_string_utf16_to_upper(const char16* src,
                              size_t src_len,
                              cef_string_utf16_t* output) {
  return MapCaseInto("cef_string_utf16_to_upper", src, src_len, output,
                     /*upper=*/true);
}

// ----------------------------------------------------------------------------
// Lists

cef_string_list_t cef_string_list_alloc() {
  return new StringList();
}

size_t cef_string_list_size(cef_string_list_t list) {
  const StringList* impl = Open<StringList>("cef_string_list_size", list);
  return impl ? impl->size() : 0;
}

int cef_string_list_value(cef_string_list_t list,
                          size_t index,
                          cef_string_t* value) {
  const StringList* impl = static_cast<const StringList*>(list);
  if (!CheckRead("cef_string_list_value", list, value, index,
                 impl ? impl->size() : 0))
    return 0;
  return (*impl)[index].CopyTo(value);
}

void cef_string_list_append(cef_string_list_t list, const cef_string_t* value) {
  if (StringList* impl = Open<StringList>("cef_string_list_append", list))
    impl->emplace_back(value);
}

void cef_string_list_clear(cef_string_list_t list) {
  if (StringList* impl = Open<StringList>("cef_string_list_clear", list))
    impl->clear();
}

void cef_string_list_free(cef_string_list_t list) {
  delete Open<StringList>("cef_string_list_free", list);
}

cef_string_list_t cef_string_list_copy(cef_string_list_t list) {
  const StringList* impl = Open<StringList>("cef_string_list_copy", list);
  return impl ? new StringList(*impl) : nullptr;
}

// ----------------------------------------------------------------------------
// Maps

cef_string_map_t cef_string_map_alloc() {
  return new StringMap();
}

size_t cef_string_map_size(cef_string_map_t map) {
  const StringMap* impl = Open<StringMap>("cef_string_map_size", map);
  return impl ? impl->size() : 0;
}

int cef_string_map_find(cef_string_map_t map,
                        const cef_string_t* key,
                        cef_string_t* value) {
  const StringMap* impl = Open<StringMap>("cef_string_map_find", map);
  if (!impl)
    return 0;
  if (!value) {
    Misuse("cef_string_map_find", "the output is null");
    return 0;
  }
  const auto found = impl->find(StoredString(key));
  if (found == impl->end())
    return 0;
  return found->second.CopyTo(value);
}

int cef_string_map_key(cef_string_map_t map, size_t index, cef_string_t* key) {
  return MapEntry<StringMap>("cef_string_map_key", map, index, key,
                             /*key=*/true);
}

int cef_string_map_value(cef_string_map_t map,
                         size_t index,
                         cef_string_t* value) {
  return MapEntry<StringMap>("cef_string_map_value", map, index, value,
                             /*key=*/false);
}

int cef_string_map_append(cef_string_map_t map,
                          const cef_string_t* key,
                          const cef_string_t* value) {
  StringMap* impl = Open<StringMap>("cef_string_map_append", map);
  if (!impl)
    return 0;
  impl->emplace(StoredString(key), StoredString(value));
  return 1;
}

void cef_string_map_clear(cef_string_map_t map) {
  if (StringMap* impl = Open<StringMap>("cef_string_map_clear", map))
    impl->clear();
}

void cef_string_map_free(cef_string_map_t map) {
  delete Open<StringMap>("cef_string_map_free", map);
}

// ----------------------------------------------------------------------------
// Multimaps

cef_string_multimap_t cef_string_multimap_alloc() {
  return new StringMultimap();
}

size_t cef_string_multimap_size(cef_string_multimap_t map) {
  const StringMultimap* impl =
      Open<StringMultimap>("cef_string_multimap_size", map);
  return impl ? impl->size() : 0;
}

size_t cef_string_multimap_find_count(cef_string_multimap_t map,
                                      const cef_string_t* key) {
  const StringMultimap* impl =
      Open<StringMultimap>("cef_string_multimap_find_count", map);
  return impl ? impl->count(StoredString(key)) : 0;
}

int cef_string_multimap_enumerate(cef_string_multimap_t map,
                                  const cef_string_t* key,
                                  size_t value_index,
                                  cef_string_t* value) {
  const StringMultimap* impl = static_cast<const StringMultimap*>(map);
  const auto range = impl ? impl->equal_range(StoredString(key))
                          : std::make_pair(StringMultimap::const_iterator(),
                                           StringMultimap::const_iterator());
  const size_t count =
      impl ? static_cast<size_t>(std::distance(range.first, range.second)) : 0;
  if (!CheckRead("cef_string_multimap_enumerate", map, value, value_index,
                 count))
    return 0;
  return std::next(range.first,
                   static_cast<StringMultimap::difference_type>(value_index))
      ->second.CopyTo(value);
}

int cef_string_multimap_key(cef_string_multimap_t map,
                            size_t index,
                            cef_string_t* key) {
  return MapEntry<StringMultimap>("cef_string_multimap_key", map, index, key,
                                  /*key=*/true);
}

int cef_string_multimap_value(cef_string_multimap_t map,
                              size_t index,
                              cef_string_t* value) {
  return MapEntry<StringMultimap>("cef_string_multimap_value", map, index,
                                  value, /*key=*/false);
}

int cef_string_multimap_append(cef_string_multimap_t map,
                               const cef_string_t* key,
                               const cef_string_t* value) {
  StringMultimap* impl =
      Open<StringMultimap>("cef_string_multimap_append", map);
  if (!impl)
    return 0;
  impl->emplace(StoredString(key), StoredString(value));
  return 1;
}

void cef_string_multimap_clear(cef_string_multimap_t map) {
  if (StringMultimap* impl =
          Open<StringMultimap>("cef_string_multimap_clear", map))
    impl->clear();
}

void cef_string_multimap_free(cef_string_multimap_t map) {
  delete Open<StringMultimap>("cef_string_multimap_free", map);
}
