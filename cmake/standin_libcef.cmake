# A libcef.so made of the stand-in, for running the genuine executable (the
# system built against a CEF root with CEF's wrapper) on this machine, where
# no real CEF binary can run. Included by cmake/real_cef.cmake when
# QUILLMOSS_CEF_GLUE names the archive of CEF's library-side glue
# (scripts/build-cef-glue.sh builds and caches it; cef_standin/libcef/glue).
#
#   libcef.so = CEF's glue (its C API over C++ classes, whole)
#             + the stand-in's core, driver and simulator, compiled against
#               the root's genuine headers
#             + a generated definition, ending the process with a FATAL
#               line, of each C++ factory and free function the glue calls
#               and the stand-in does not play (browser-process features)
#
# It exports CEF's cef_* functions alone (cef_standin/libcef/exports.map);
# scripts/check-cef-build.sh checks that they are the distribution's. The
# genuine executable's DT_RPATH is "." and the root's Release/, as CEF's
# link flags make it, so build/quillmoss_subprocess is a launcher that
# preloads this library (matched by soname) and starts the executable in
# build/genuine/.

set(QUILLMOSS_CEF_GLUE "" CACHE FILEPATH "CEF's library-side glue, built by scripts/build-cef-glue.sh")
if(NOT EXISTS "${QUILLMOSS_CEF_GLUE}")
  message(FATAL_ERROR "QUILLMOSS_CEF_GLUE: no glue archive at '${QUILLMOSS_CEF_GLUE}'")
endif()

include(${PROJECT_SOURCE_DIR}/cmake/standin_for_libcef.cmake)

add_library(cef_glue STATIC IMPORTED)
set_target_properties(cef_glue PROPERTIES IMPORTED_LOCATION "${QUILLMOSS_CEF_GLUE}")

# The same objects and libraries link a trial library, whose undefined
# symbols say what the generated definitions must hold, and the real one.
function(quillmoss_libcef_link target)
  target_sources(${target} PRIVATE
    $<TARGET_OBJECTS:cef_standin_simulator_process>)
  target_link_libraries(${target} PRIVATE
    "$<LINK_LIBRARY:WHOLE_ARCHIVE,cef_glue>"
    cef_standin_simulator cef_standin_driver cef_standin)
  # Whole, as the glue: the core's C functions (time, trace, the X display)
  # are exported and called by nothing inside the library.
  set_target_properties(${target} PROPERTIES LINKER_LANGUAGE CXX
    LINK_LIBRARY_OVERRIDE_cef_standin WHOLE_ARCHIVE)
endfunction()

add_library(standin_libcef_trial SHARED)
quillmoss_libcef_link(standin_libcef_trial)
set_target_properties(standin_libcef_trial PROPERTIES
  LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/standin-libcef/trial")

set(_libcef_gen "${CMAKE_BINARY_DIR}/standin-libcef/gen")
set(_clang_args "")
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_clang_args --clang-arg=-m32)
endif()
add_custom_command(
  OUTPUT "${_libcef_gen}/not_implemented.cc"
  COMMAND ${CMAKE_COMMAND} -E make_directory "${_libcef_gen}"
  COMMAND sh -c "nm -D --undefined-only '$<TARGET_FILE:standin_libcef_trial>' | awk '{ print $2 }' | sed 's/@.*//' > '${_libcef_gen}/undefined.txt'"
  COMMAND python3 "${PROJECT_SOURCE_DIR}/cef_standin/libcef/gen_not_implemented.py"
          --root "${CEF_ROOT}" --undefined "${_libcef_gen}/undefined.txt"
          --out "${_libcef_gen}/not_implemented.cc" ${_clang_args}
  DEPENDS standin_libcef_trial
          "${PROJECT_SOURCE_DIR}/cef_standin/libcef/gen_not_implemented.py"
  COMMENT "Defining what CEF's glue needs and the stand-in does not play"
  VERBATIM)

add_library(standin_libcef SHARED "${_libcef_gen}/not_implemented.cc")
quillmoss_libcef_link(standin_libcef)
# The generated definitions use the core's NotImplemented().
target_include_directories(standin_libcef PRIVATE "${_src_root}")
target_link_libraries(standin_libcef PRIVATE cef_standin_headers)
# The generated file includes CEF's test headers, as the glue does.
target_compile_definitions(standin_libcef PRIVATE UNIT_TEST)
set_target_properties(standin_libcef PROPERTIES
  OUTPUT_NAME cef
  NO_SONAME OFF
  LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/standin-libcef")
target_link_options(standin_libcef PRIVATE
  -Wl,-soname,libcef.so
  -Wl,--version-script,${PROJECT_SOURCE_DIR}/cef_standin/libcef/exports.map
  # Nothing left for the loader to find: what CEF binds at load (-z now in
  # the executable) is all here.
  -Wl,-z,defs)
set_property(TARGET standin_libcef APPEND PROPERTY
  LINK_DEPENDS "${PROJECT_SOURCE_DIR}/cef_standin/libcef/exports.map")

# The genuine executable moves to genuine/; its old place gets the launcher.
set_target_properties(${QUILLMOSS_TARGET} PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/genuine")
configure_file("${PROJECT_SOURCE_DIR}/cef_standin/libcef/launcher.sh.in"
  "${CMAKE_BINARY_DIR}/quillmoss_subprocess" @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
                   GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
add_custom_target(standin_libcef_run ALL DEPENDS standin_libcef ${QUILLMOSS_TARGET})
