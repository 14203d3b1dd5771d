# Cross-builds the 32-bit Windows executable from the same sources into
# ${PROJECT_BINARY_DIR}/windows, so that the host build's tests can check it.
# Sets QUILLMOSS_WINDOWS_EXE (empty when there is no Windows build).

set(QUILLMOSS_WINDOWS_EXE "")
if(WIN32 OR NOT QUILLMOSS_WINDOWS_BUILD)
  return()
endif()

find_program(QUILLMOSS_MINGW_CXX i686-w64-mingw32-g++-posix)
find_program(QUILLMOSS_MINGW_WINDRES i686-w64-mingw32-windres)
if(NOT QUILLMOSS_MINGW_CXX OR NOT QUILLMOSS_MINGW_WINDRES)
  message(WARNING
    "No MinGW-w64 i686 POSIX-thread compiler (i686-w64-mingw32-g++-posix, "
    "i686-w64-mingw32-windres): the Windows executable is not built and its "
    "tests are not registered. scripts/install-deps.sh installs it; "
    "-DQUILLMOSS_WINDOWS_BUILD=OFF silences this.")
  return()
endif()

include(ExternalProject)
set(QUILLMOSS_WINDOWS_BINARY_DIR "${PROJECT_BINARY_DIR}/windows")
set(QUILLMOSS_WINDOWS_EXE "${QUILLMOSS_WINDOWS_BINARY_DIR}/quillmoss_subprocess.exe")
ExternalProject_Add(quillmoss_windows
  SOURCE_DIR "${PROJECT_SOURCE_DIR}"
  BINARY_DIR "${QUILLMOSS_WINDOWS_BINARY_DIR}"
  PREFIX "${PROJECT_BINARY_DIR}/windows-ep"
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/mingw-i686.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DQUILLMOSS_BUILD_TESTS=OFF
    -DQUILLMOSS_BUILD_BENCH=OFF
    -DQUILLMOSS_WARNINGS_AS_ERRORS=${QUILLMOSS_WARNINGS_AS_ERRORS}
    # CXXFLAGS and LDFLAGS from the environment are for the host compiler
    # (a sanitizer, say), not for MinGW.
    -DCMAKE_CXX_FLAGS=
    -DCMAKE_EXE_LINKER_FLAGS=
  INSTALL_COMMAND ""
  # The sub-build tracks its own sources; the host build cannot see them.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS "${QUILLMOSS_WINDOWS_EXE}"
  USES_TERMINAL_BUILD ON)
