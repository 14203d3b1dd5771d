# The Windows executable's shape with MinGW, for the stand-in's build and the
# genuine one alike: a GUI-subsystem program that never opens a window,
# linked fully static so that it imports system DLLs (and, against a CEF
# distribution, libcef.dll) only.

# quillmoss_mingw_executable(<target> <entry object target>)
function(quillmoss_mingw_executable target entry)
  # -mwindows (GUI subsystem) comes with WIN32_EXECUTABLE; -municode makes
  # the CRT call wWinMain.
  set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
  target_compile_options(${entry} PRIVATE -municode)
  target_link_options(${target} PRIVATE
    -municode -static -static-libgcc -static-libstdc++)

  # The manifest in entry/quillmoss.rc must be the only resource. Some MinGW
  # installs link a default-manifest.o of their own into every executable;
  # GCC looks for it on its start-file path, where -B puts an empty one
  # first.
  set(no_manifest_dir "${CMAKE_CURRENT_BINARY_DIR}/no-default-manifest")
  file(MAKE_DIRECTORY "${no_manifest_dir}")
  file(WRITE "${no_manifest_dir}/empty.cc" "")
  execute_process(
    COMMAND "${CMAKE_CXX_COMPILER}" -c empty.cc -o default-manifest.o
    WORKING_DIRECTORY "${no_manifest_dir}"
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "Could not build an empty default-manifest.o with ${CMAKE_CXX_COMPILER}")
  endif()
  target_link_options(${target} PRIVATE "-B${no_manifest_dir}/")
endfunction()
