# Builds Winelib code for 32-bit x86: ELF objects that wine loads as Windows
# DLLs, compiled with wine's Windows headers and calling conventions. The
# stand-in's libcef.dll is built this way, so that the genuine Windows
# executable runs on it under wine with V8 (Debian's i386 libnode) inside.
#
# winegcc passes -fshort-wchar: wchar_t is 2 bytes, as on Windows, where
# libstdc++ and glibc were built with 4. _GLIBCXX_ASSERTIONS turns off
# libstdc++'s extern templates, so std::wstring's members are compiled here
# with the 2-byte type instead of bound to the library's 4-byte ones; the
# C wide functions are given by the DLL itself (cef_standin/libcef/windows/).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

set(CMAKE_C_COMPILER winegcc)
set(CMAKE_CXX_COMPILER wineg++)
# CEF's Windows definitions, as for everything that sees its headers there.
set(_winelib_flags
    "-m32 -D_GLIBCXX_ASSERTIONS -DUNICODE -D_UNICODE -DNOMINMAX -DWIN32_LEAN_AND_MEAN -DWINVER=0x0601 -D_WIN32_WINNT=0x0601")
set(CMAKE_C_FLAGS_INIT "${_winelib_flags}")
set(CMAKE_CXX_FLAGS_INIT "${_winelib_flags}")
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
