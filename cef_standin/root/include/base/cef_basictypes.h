// CEF's own fixed-width integer typedefs and character type.
#ifndef CEF_INCLUDE_BASE_CEF_BASICTYPES_H_
#define CEF_INCLUDE_BASE_CEF_BASICTYPES_H_

#include <stddef.h>
#include <stdint.h>

typedef int16_t int16;
typedef uint16_t uint16;
typedef int32_t int32;
typedef uint32_t uint32;
typedef int64_t int64;
typedef uint64_t uint64;

// UTF-16 code unit, as CEF defines it: wchar_t where that is 16 bits wide.
#if defined(_WIN32)
typedef wchar_t char16;
#else
typedef unsigned short char16;
#endif

#endif  // CEF_INCLUDE_BASE_CEF_BASICTYPES_H_
