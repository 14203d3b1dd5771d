# CEF's cmake files for a Windows distribution, used with MinGW-w64 i686.
# They describe a Windows build for MSVC alone: their flags are cl.exe's and
# link.exe's. The distribution's own files still give the definitions, the
# paths, the libraries and the macros (SET_*_TARGET_PROPERTIES, the wrapper's
# source list); only the flags are replaced by GCC's spelling of each.

# The sandbox library is MSVC's, and its version check reads MSVC_VERSION. A
# child process that passes null sandbox information never needs it.
set(USE_SANDBOX OFF CACHE BOOL "CEF's sandbox (MSVC only)" FORCE)
# ATL's probe walks up from cl.exe's folder to a "VC" folder; from MinGW's it
# would never stop.
set(USE_ATL OFF CACHE BOOL "ATL (MSVC only)" FORCE)

list(APPEND CMAKE_MODULE_PATH "${CEF_ROOT}/cmake")
find_package(CEF REQUIRED)

# cl.exe's flags, in GCC's words (cef_variables.cmake has the originals):
# /Gy function-level linking, /GR- no RTTI, /W4 /WX warnings as errors, no
# exceptions, /O2, /MT the static runtime, /LARGEADDRESSAWARE. The warnings
# that /wd silences for cl.exe are silenced as CEF's own GCC flags (its
# Linux ones) silence them, with the 32-bit x86 code flags of those. CEF's
# headers carry MSVC's pragmas. MinGW's <memory.h>, which CEF's string
# wrappers include for memcpy, does not declare strlen as MSVC's does.
set(CEF_COMPILER_FLAGS
  -ffunction-sections -fdata-sections -fno-strict-aliasing
  -msse2 -mfpmath=sse -mmmx
  -Wall -Werror
  -Wno-missing-field-initializers -Wno-unused-parameter -Wno-comment
  -Wno-unknown-pragmas
  "SHELL:-include string.h")
set(CEF_CXX_COMPILER_FLAGS
  -fno-exceptions -fno-rtti -fno-threadsafe-statics
  -Wsign-compare -Wno-literal-suffix -Wno-narrowing
  # The cfi-icall attribute of CEF's headers is unknown to GCC.
  -Wno-attributes)
set(CEF_C_COMPILER_FLAGS -Wno-unused-local-typedefs)
set(CEF_COMPILER_FLAGS_DEBUG -O0 -g)
set(CEF_COMPILER_FLAGS_RELEASE -O2)
# CEF's SET_EXECUTABLE_TARGET_PROPERTIES replaces the common link flags with
# the executable's, so the runtime's go there.
set(CEF_LINKER_FLAGS "")
set(CEF_LINKER_FLAGS_DEBUG "")
set(CEF_LINKER_FLAGS_RELEASE "")
set(CEF_EXE_LINKER_FLAGS
  -static -static-libgcc -static-libstdc++ -Wl,--large-address-aware
  -Wl,--gc-sections)
set(CEF_SHARED_LINKER_FLAGS "")

# comctl32.lib and the like: MinGW links them by name.
list(TRANSFORM CEF_STANDARD_LIBS REPLACE "\\.lib$" "")
