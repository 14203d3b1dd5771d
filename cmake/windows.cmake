# The Windows build of the child-process executable: a GUI-subsystem program
# that never opens a window, linked fully static so that it imports system
# DLLs only and runs wherever CEF's own binaries do.

# CEF's own Windows builds define these for everything that sees CEF's
# headers; windows.h reaches the stand-in's headers, so its min/max macros
# must not.
target_compile_definitions(cef_standin_headers INTERFACE
  NOMINMAX WIN32_LEAN_AND_MEAN UNICODE _UNICODE WINVER=0x0601 _WIN32_WINNT=0x0601)

# -mwindows (GUI subsystem) comes with WIN32_EXECUTABLE; -municode makes the
# CRT call wWinMain (the entry point is quillmoss_main's object).
set_target_properties(quillmoss_subprocess PROPERTIES WIN32_EXECUTABLE ON)
target_compile_options(quillmoss_main PRIVATE -municode)
target_link_options(quillmoss_subprocess PRIVATE
  -municode -static -static-libgcc -static-libstdc++
  $<$<NOT:$<CONFIG:Debug>>:-s>)

# The manifest in entry/quillmoss.rc must be the only resource. Some MinGW
# installs link a default-manifest.o of their own into every executable; GCC
# looks for it on its start-file path, where -B puts an empty one first.
set(_quillmoss_no_manifest_dir "${CMAKE_CURRENT_BINARY_DIR}/no-default-manifest")
file(MAKE_DIRECTORY "${_quillmoss_no_manifest_dir}")
file(WRITE "${_quillmoss_no_manifest_dir}/empty.cc" "")
execute_process(
  COMMAND "${CMAKE_CXX_COMPILER}" -c empty.cc -o default-manifest.o
  WORKING_DIRECTORY "${_quillmoss_no_manifest_dir}"
  RESULT_VARIABLE _quillmoss_no_manifest_result)
if(NOT _quillmoss_no_manifest_result EQUAL 0)
  message(FATAL_ERROR "Could not build an empty default-manifest.o with ${CMAKE_CXX_COMPILER}")
endif()
target_link_options(quillmoss_subprocess PRIVATE "-B${_quillmoss_no_manifest_dir}/")
