// The C library's wide-character functions for the Winelib libcef.dll,
// where wchar_t is Windows's 2-byte UTF-16 unit (winegcc's -fshort-wchar).
// glibc's own take 4-byte units: bound to them, std::wstring and the string
// C API read and write twice the memory they own. These definitions are
// hidden and the DLL is linked -Bsymbolic, so every call inside it lands
// here; scripts/check-cef-build.sh fails if the DLL still binds any wide
// function from outside.
#include <cstddef>

#define HIDDEN __attribute__((visibility("hidden")))

extern "C" {

HIDDEN size_t wcslen(const wchar_t* s) {
  const wchar_t* end = s;
  while (*end)
    ++end;
  return static_cast<size_t>(end - s);
}

HIDDEN int wcsncmp(const wchar_t* a, const wchar_t* b, size_t n) {
  for (; n; --n, ++a, ++b) {
    if (*a != *b)
      return *a < *b ? -1 : 1;
    if (!*a)
      return 0;
  }
  return 0;
}

HIDDEN int wcscmp(const wchar_t* a, const wchar_t* b) {
  return wcsncmp(a, b, static_cast<size_t>(-1));
}

HIDDEN int wmemcmp(const wchar_t* a, const wchar_t* b, size_t n) {
  for (; n; --n, ++a, ++b) {
    if (*a != *b)
      return *a < *b ? -1 : 1;
  }
  return 0;
}

HIDDEN wchar_t* wmemcpy(wchar_t* to, const wchar_t* from, size_t n) {
  return static_cast<wchar_t*>(__builtin_memcpy(to, from, n * sizeof(wchar_t)));
}

HIDDEN wchar_t* wmemmove(wchar_t* to, const wchar_t* from, size_t n) {
  return static_cast<wchar_t*>(
      __builtin_memmove(to, from, n * sizeof(wchar_t)));
}

HIDDEN wchar_t* wmemset(wchar_t* to, wchar_t unit, size_t n) {
  for (size_t i = 0; i < n; ++i)
    to[i] = unit;
  return to;
}

HIDDEN wchar_t* wmemchr(const wchar_t* s, wchar_t unit, size_t n) {
  for (; n; --n, ++s) {
    if (*s == unit)
      return const_cast<wchar_t*>(s);
  }
  return nullptr;
}

}  // extern "C"
