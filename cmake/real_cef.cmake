# Builds the executable against a real CEF binary distribution, following the
# distribution's own CMake conventions. The stand-in is not used at all.
list(APPEND CMAKE_MODULE_PATH "${CEF_ROOT}/cmake")
find_package(CEF REQUIRED)

add_subdirectory(${CEF_LIBCEF_DLL_WRAPPER_PATH} libcef_dll_wrapper)

set(QUILLMOSS_TARGET quillmoss_subprocess)
add_executable(${QUILLMOSS_TARGET} WIN32
  ${QUILLMOSS_APP_SOURCES} ${QUILLMOSS_ENTRY_SOURCES})
SET_EXECUTABLE_TARGET_PROPERTIES(${QUILLMOSS_TARGET})
target_include_directories(${QUILLMOSS_TARGET} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
add_dependencies(${QUILLMOSS_TARGET} libcef_dll_wrapper)
target_link_libraries(${QUILLMOSS_TARGET} libcef_lib libcef_dll_wrapper ${CEF_STANDARD_LIBS})
if(OS_WINDOWS)
  # The manifest is compiled in through entry/quillmoss.rc.
  target_link_options(${QUILLMOSS_TARGET} PRIVATE /MANIFEST:NO)
endif()
