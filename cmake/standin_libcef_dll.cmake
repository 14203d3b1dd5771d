# The stand-in's libcef.dll beside the genuine Windows executable, for
# running it under wine on this machine (no real CEF binary can run here).
# Included by cmake/real_cef.cmake for a MinGW build with
# QUILLMOSS_CEF_GLUE (the glue built by scripts/build-cef-glue.sh
# --windows32). The DLL is Winelib code, built by its own toolchain in a
# build of its own (cmake/standin_libcef_winelib.cmake).
#
#   BUILD/genuine/quillmoss_subprocess.exe   the genuine executable
#   BUILD/genuine/libcef.dll                 the stand-in's DLL
#   BUILD/quillmoss_subprocess               the launcher (wine)

set(QUILLMOSS_CEF_GLUE "" CACHE FILEPATH "CEF's library-side glue, built by scripts/build-cef-glue.sh --windows32")
if(NOT EXISTS "${QUILLMOSS_CEF_GLUE}")
  message(FATAL_ERROR "QUILLMOSS_CEF_GLUE: no glue archive at '${QUILLMOSS_CEF_GLUE}'")
endif()

set(_genuine_dir "${CMAKE_BINARY_DIR}/genuine")
set_target_properties(${QUILLMOSS_TARGET} PROPERTIES RUNTIME_OUTPUT_DIRECTORY "${_genuine_dir}")

include(ExternalProject)
set(_dll_build "${CMAKE_BINARY_DIR}/standin-libcef")
ExternalProject_Add(standin_libcef_dll
  SOURCE_DIR "${PROJECT_SOURCE_DIR}"
  BINARY_DIR "${_dll_build}"
  PREFIX "${CMAKE_BINARY_DIR}/standin-libcef-ep"
  CMAKE_ARGS
    -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/winelib-i386.cmake
    -DCMAKE_BUILD_TYPE=Release
    -DQUILLMOSS_STANDIN_LIBCEF_DLL=ON
    -DCEF_ROOT=${CEF_ROOT}
    -DQUILLMOSS_CEF_GLUE=${QUILLMOSS_CEF_GLUE}
    -DQUILLMOSS_CEF_DCHECK=${QUILLMOSS_CEF_DCHECK}
    -DQUILLMOSS_WARNINGS_AS_ERRORS=${QUILLMOSS_WARNINGS_AS_ERRORS}
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS "${_dll_build}/libcef.dll.so")

# Wine loads the DLL when the ELF file itself is named libcef.dll and lies
# beside the executable.
add_custom_command(
  OUTPUT "${_genuine_dir}/libcef.dll"
  COMMAND ${CMAKE_COMMAND} -E copy "${_dll_build}/libcef.dll.so" "${_genuine_dir}/libcef.dll"
  DEPENDS standin_libcef_dll "${_dll_build}/libcef.dll.so"
  VERBATIM)

set(QUILLMOSS_GENUINE_EXE "${_genuine_dir}/${QUILLMOSS_TARGET}.exe")
configure_file("${PROJECT_SOURCE_DIR}/cef_standin/libcef/windows/wine_launcher.sh.in"
  "${CMAKE_BINARY_DIR}/quillmoss_subprocess" @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                   GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
add_custom_target(standin_libcef_run ALL
  DEPENDS "${_genuine_dir}/libcef.dll" ${QUILLMOSS_TARGET})
