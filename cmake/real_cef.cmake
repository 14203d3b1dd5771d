# Builds the executable against a real CEF binary distribution, following the
# distribution's own CMake conventions as CEF's samples do. The system's
# sources see CEF's headers alone and build with CEF's own (strict,
# warnings-as-errors) flags. With QUILLMOSS_CEF_GLUE, a libcef made of the
# stand-in is built beside it to run it on (cmake/standin_libcef.cmake; on
# Windows, cmake/standin_libcef_dll.cmake).

# CEF's cef_variables.cmake probes C compiler flags on Linux.
enable_language(C)

if(WIN32 AND NOT MSVC)
  # MinGW: CEF's files with GCC's flags in place of cl.exe's.
  include(${PROJECT_SOURCE_DIR}/cmake/cef_mingw.cmake)
else()
  list(APPEND CMAKE_MODULE_PATH "${CEF_ROOT}/cmake")
  find_package(CEF REQUIRED)
endif()

option(QUILLMOSS_CEF_DCHECK "CEF's DCHECKs on (DCHECK_ALWAYS_ON), as in a debug renderer" OFF)
if(QUILLMOSS_CEF_DCHECK)
  # For every target: the wrapper, the system and the stand-in's libcef.
  add_compile_definitions(DCHECK_ALWAYS_ON)
endif()

add_subdirectory(${CEF_LIBCEF_DLL_WRAPPER_PATH} libcef_dll_wrapper)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND
   NOT CMAKE_CXX_COMPILER_VERSION VERSION_LESS 12)
  # GCC 12 reports false -Warray-bounds warnings in four of CEF 81's own
  # wrapper sources (server_handler_cpptoc.cc and three views delegates),
  # which CEF's -Werror makes fatal; clang builds them cleanly. The wrapper
  # is CEF's code, so the warning is silenced there and nowhere else.
  target_compile_options(libcef_dll_wrapper PRIVATE -Wno-array-bounds)
endif()

# CEF's cmake files define no target for libcef itself; its samples make this
# logical one after find_package(CEF).
ADD_LOGICAL_TARGET("libcef_lib" "${CEF_LIB_DEBUG}" "${CEF_LIB_RELEASE}")

# The system in the same layers as against the stand-in (cmake/system.cmake),
# each object library with CEF's flags and include path (the distribution's
# root) and its own layer root: the system's sources see CEF's headers alone.
# The wrapper comes before libcef, which it calls: on Windows with MinGW
# libcef.lib is an archive, searched once, in order.
quillmoss_add_system(CEF SET_LIBRARY_TARGET_PROPERTIES
  LINK libcef_dll_wrapper libcef_lib ${CEF_STANDARD_LIBS})

set(QUILLMOSS_TARGET quillmoss_subprocess)
# WIN32: the GUI subsystem on Windows (wWinMain); ignored elsewhere.
add_executable(${QUILLMOSS_TARGET} WIN32
  $<TARGET_OBJECTS:quillmoss_main> ${QUILLMOSS_RESOURCE_SOURCES})
set_target_properties(${QUILLMOSS_TARGET} PROPERTIES LINKER_LANGUAGE CXX)
# CEF's compiler and linker flags (/MT, /W4 /WX, -Werror, -fno-rtti, ...),
# definitions and include path; on Windows also /MANIFEST:NO, which is why
# the manifest is compiled in as a resource through entry/quillmoss.rc rather
# than merged by mt.exe.
SET_EXECUTABLE_TARGET_PROPERTIES(${QUILLMOSS_TARGET})
add_dependencies(${QUILLMOSS_TARGET} libcef_dll_wrapper)
target_link_libraries(${QUILLMOSS_TARGET} PRIVATE quillmoss_system quillmoss_platform_shell)
if(WIN32 AND NOT MSVC)
  include(${PROJECT_SOURCE_DIR}/cmake/windows.cmake)
  quillmoss_mingw_executable(${QUILLMOSS_TARGET} quillmoss_main)
endif()

if(QUILLMOSS_CEF_GLUE)
  if(WIN32)
    # libcef.dll: a Winelib DLL, built by its own toolchain.
    include(${PROJECT_SOURCE_DIR}/cmake/standin_libcef_dll.cmake)
  else()
    include(${PROJECT_SOURCE_DIR}/cmake/standin_libcef.cmake)
  endif()
endif()
