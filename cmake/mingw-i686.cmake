# Cross-compiles for 32-bit x86 Windows with Debian's MinGW-w64, the variant
# with POSIX threads (std::thread and std::mutex need it; the win32 variant
# has neither in GCC 12).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(QUILLMOSS_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${QUILLMOSS_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUILLMOSS_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${QUILLMOSS_MINGW_TRIPLE}-windres)

# Libraries and headers come from the MinGW sysroot only, never the host's.
set(CMAKE_FIND_ROOT_PATH /usr/${QUILLMOSS_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
