# Builds for 32-bit x86 Linux with the host's gcc (g++-multilib), so that the
# test suite runs in the data model of the 32-bit Windows target: 4-byte
# pointers and size_t. Debian's gcc is multiarch-aware, so under -m32 it finds
# the :i386 packages' headers and libraries (/usr/lib/i386-linux-gnu).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)

set(CMAKE_C_COMPILER gcc)
set(CMAKE_CXX_COMPILER g++)
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
