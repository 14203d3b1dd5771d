# The stand-in's libcef.dll for the genuine Windows executable: a Winelib DLL
# (an ELF library that wine loads as a Windows DLL), configured by
# cmake/standin_libcef_dll.cmake with cmake/winelib-i386.cmake as toolchain.
#
#   libcef.dll = CEF's glue (built by scripts/build-cef-glue.sh --windows32)
#              + the stand-in's core, driver and simulator, compiled against
#                the root's genuine Windows headers with V8 of Debian's i386
#                libnode
#              + a generated definition, ending the process with a FATAL
#                line, of each C++ function the glue calls and the stand-in
#                does not play (as for the Linux libcef.so)
#              + UTF-16 wide-character functions (windows/wide_chars.cc)
#
# It exports exactly the functions of the root's Release/libcef.def, which
# winegcc reads as the DLL's export list.

set(QUILLMOSS_CEF_GLUE "" CACHE FILEPATH "CEF's library-side glue, built by scripts/build-cef-glue.sh --windows32")
if(NOT EXISTS "${QUILLMOSS_CEF_GLUE}")
  message(FATAL_ERROR "QUILLMOSS_CEF_GLUE: no glue archive at '${QUILLMOSS_CEF_GLUE}'")
endif()
set(_libcef_def "${CEF_ROOT}/Release/libcef.def")
if(NOT EXISTS "${_libcef_def}")
  message(FATAL_ERROR "${_libcef_def} is missing: not a Windows root (make-root.sh DIR --windows32)")
endif()
option(QUILLMOSS_CEF_DCHECK "CEF's DCHECKs on (DCHECK_ALWAYS_ON), as in a debug renderer" OFF)
if(QUILLMOSS_CEF_DCHECK)
  add_compile_definitions(DCHECK_ALWAYS_ON)
endif()

# winegcc puts wine's headers first and does not report /usr/include as its
# own; named again as a SYSTEM directory (nlohmann-json's), it would break
# libstdc++'s #include_next.
list(APPEND CMAKE_CXX_IMPLICIT_INCLUDE_DIRECTORIES /usr/include)
# CMake cannot run its ABI probe through winegcc, so it knows no pointer
# size; the toolchain's -m32 decides it (the i386 libnode follows from it).
set(CMAKE_SIZEOF_VOID_P 4)

include(${PROJECT_SOURCE_DIR}/cmake/standin_for_libcef.cmake)

set(_dll_dir "${PROJECT_SOURCE_DIR}/cef_standin/libcef/windows")
set(_gen "${CMAKE_BINARY_DIR}/gen")
file(MAKE_DIRECTORY "${_gen}")

# CEF's glue and the stand-in's core go in whole: the glue is the C API the
# executable imports, the core's C functions are exported and called by
# nothing inside. winegcc links its objects in a step of its own (ld -r,
# to find the Windows imports) that drops --whole-archive, so each archive
# is made one relocatable object first.
function(quillmoss_whole_object name archive depends)
  add_custom_command(
    OUTPUT "${_gen}/${name}.o"
    COMMAND ld -m elf_i386 -r -o "${_gen}/${name}.o" --whole-archive "${archive}"
    DEPENDS ${depends}
    COMMENT "Linking ${name} whole"
    VERBATIM)
endfunction()
quillmoss_whole_object(cef_glue "${QUILLMOSS_CEF_GLUE}" "${QUILLMOSS_CEF_GLUE}")
quillmoss_whole_object(cef_standin "$<TARGET_FILE:cef_standin>" cef_standin)

# The DLL's objects and libraries.
function(quillmoss_libcef_dll_link target)
  target_sources(${target} PRIVATE
    $<TARGET_OBJECTS:cef_standin_simulator_process>
    "${_dll_dir}/wide_chars.cc" "${_gen}/cef_glue.o" "${_gen}/cef_standin.o")
  target_link_libraries(${target} PRIVATE
    cef_standin_simulator cef_standin_driver cef_standin)
  set_target_properties(${target} PROPERTIES LINKER_LANGUAGE CXX NO_SONAME ON)
  # winegcc takes the root's libcef.def as the DLL's export list as it is;
  # -Bsymbolic binds the DLL's own definitions (the wide functions above
  # among them) before any other.
  target_link_options(${target} PRIVATE "${_libcef_def}" -Wl,-Bsymbolic)
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${_libcef_def}")
endfunction()

# What the generated definitions must hold: the symbols that the same
# objects leave undefined, linked into one relocatable object (winegcc links
# a DLL with nothing undefined, so no trial DLL can say it). The generator
# parses the root's headers as wine's compiler sees them.
add_custom_command(
  OUTPUT "${_gen}/not_implemented.cc"
  COMMAND ld -m elf_i386 -r -o "${_gen}/trial.o"
          $<TARGET_OBJECTS:cef_standin_simulator_process>
          "${_gen}/cef_glue.o" "${_gen}/cef_standin.o"
          $<TARGET_FILE:cef_standin_simulator> $<TARGET_FILE:cef_standin_driver>
  COMMAND sh -c "nm --undefined-only '${_gen}/trial.o' | awk '{ print $2 }' > '${_gen}/undefined.txt'"
  COMMAND python3 "${PROJECT_SOURCE_DIR}/cef_standin/libcef/gen_not_implemented.py"
          --root "${CEF_ROOT}" --undefined "${_gen}/undefined.txt"
          --out "${_gen}/not_implemented.cc"
          "--as-compiler=${CMAKE_CXX_COMPILER} -m32"
  DEPENDS cef_standin_simulator_process cef_standin_simulator cef_standin_driver
          "${_gen}/cef_glue.o" "${_gen}/cef_standin.o"
          "${PROJECT_SOURCE_DIR}/cef_standin/libcef/gen_not_implemented.py"
  COMMENT "Defining what CEF's glue needs and the stand-in does not play"
  VERBATIM)

add_library(standin_libcef SHARED "${_gen}/not_implemented.cc")
quillmoss_libcef_dll_link(standin_libcef)
target_include_directories(standin_libcef PRIVATE "${_src_root}")
target_link_libraries(standin_libcef PRIVATE cef_standin_headers)
target_compile_definitions(standin_libcef PRIVATE UNIT_TEST)
# winegcc names what it links libcef.dll.so; wine loads it as libcef.dll
# when the file itself carries that name, beside the executable.
set_target_properties(standin_libcef PROPERTIES
  PREFIX "" OUTPUT_NAME libcef.dll SUFFIX ".so"
  LIBRARY_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}")
