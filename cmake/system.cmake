# The system: common/, convert/, app/ and entry/, built the same way against
# the stand-in and against a real CEF distribution.
#
# Each folder is an OBJECT library, quillmoss_<folder>, whose include path
# holds CEF's headers and a layer root (cmake/layers.cmake) with the system
# folders it may see, lower ones only:
#
#   common   sees common
#   convert  sees common, convert
#   app      sees common, convert, app
#   entry    sees common, convert, app, entry
#
# Their objects make one static library, quillmoss_system. Each folder
# refers only to itself and the folders below it (convert/ gets what it needs
# of app/ as an interface its callers implement, convert/conversion_hooks.h),
# so the order of the members does not matter either way.
# The system library holds no Windows shell implementation: the executable
# links quillmoss_platform_shell (the real one), the tests a fake.

include(${CMAKE_CURRENT_LIST_DIR}/layers.cmake)

set(QUILLMOSS_SYSTEM_FOLDERS common convert app entry)

set(QUILLMOSS_common_SOURCES
  common/log_line.cc
)
set(QUILLMOSS_common_SEES common)

set(QUILLMOSS_convert_SOURCES
  convert/v8utils.cc
)
set(QUILLMOSS_convert_SEES common convert)

set(QUILLMOSS_app_SOURCES
  app/binding_installation.cc
  app/bindings_dictionary.cc
  app/bindings_store.cc
  app/context_builtins.cc
  app/frame_choice.cc
  app/javascript_callback.cc
  app/message_dispatch.cc
  app/quillmoss_app.cc
  app/v8function_handler.cc
)
set(QUILLMOSS_app_SEES common convert app)

set(QUILLMOSS_entry_SOURCES
  entry/child_process.cc
)
set(QUILLMOSS_entry_SEES common convert app entry)

# The process entry point, outside the system library so that tests can link
# the library and bring their own main.
set(QUILLMOSS_MAIN_SOURCES entry/quillmoss_main.cc)

# The Windows shell seam (app/platform_shell.h): the real one on Windows, no
# shell elsewhere (reports success); the tests link a fake instead
# (tests/support/fake_shell.cc).
if(WIN32)
  set(QUILLMOSS_PLATFORM_SHELL_SOURCES app/platform_shell_win.cc)
else()
  set(QUILLMOSS_PLATFORM_SHELL_SOURCES app/platform_shell_posix.cc)
endif()

# quillmoss_add_system(CEF <command> LINK <items>...)
#
# Makes the targets of the system: quillmoss_<folder> for every system
# folder, quillmoss_system, quillmoss_platform_shell and quillmoss_main (the
# entry point's object). <command> is called with each target that compiles
# system sources and gives it CEF's headers and flags (and nothing else of
# the stand-in). quillmoss_system passes <items> on to whatever links it:
# CEF's headers for its users to compile with and the CEF implementation to
# link, which comes after the system library on the link line.
# Sets QUILLMOSS_SYSTEM_OBJECT_TARGETS to the targets that compile sources
# and QUILLMOSS_<folder>_ROOT to each folder's layer root.
function(quillmoss_add_system)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "CEF" "LINK")
  set(object_targets "")
  set(objects "")
  foreach(folder IN LISTS QUILLMOSS_SYSTEM_FOLDERS)
    quillmoss_layer_root(root ${folder} ${QUILLMOSS_${folder}_SEES})
    set(QUILLMOSS_${folder}_ROOT "${root}" PARENT_SCOPE)
    set(QUILLMOSS_${folder}_ROOT "${root}")
    set(target quillmoss_${folder})
    add_library(${target} OBJECT ${QUILLMOSS_${folder}_SOURCES})
    target_include_directories(${target} PRIVATE "${root}")
    cmake_language(CALL ${arg_CEF} ${target})
    list(APPEND object_targets ${target})
    list(APPEND objects $<TARGET_OBJECTS:${target}>)
  endforeach()

  add_library(quillmoss_system STATIC ${objects})
  set_target_properties(quillmoss_system PROPERTIES LINKER_LANGUAGE CXX)
  # What uses the system sees it whole, as entry/ does.
  target_include_directories(quillmoss_system INTERFACE "${QUILLMOSS_entry_ROOT}")
  target_link_libraries(quillmoss_system INTERFACE ${arg_LINK})

  # Linked as objects, not from an archive: nothing but the system library
  # refers to the shell, and a linker that met the archive first would have
  # dropped it.
  add_library(quillmoss_platform_shell OBJECT ${QUILLMOSS_PLATFORM_SHELL_SOURCES})
  target_include_directories(quillmoss_platform_shell PRIVATE "${QUILLMOSS_app_ROOT}")
  cmake_language(CALL ${arg_CEF} quillmoss_platform_shell)
  list(APPEND object_targets quillmoss_platform_shell)

  add_library(quillmoss_main OBJECT ${QUILLMOSS_MAIN_SOURCES})
  target_include_directories(quillmoss_main PRIVATE "${QUILLMOSS_entry_ROOT}")
  cmake_language(CALL ${arg_CEF} quillmoss_main)
  list(APPEND object_targets quillmoss_main)

  set(QUILLMOSS_SYSTEM_OBJECT_TARGETS ${object_targets} PARENT_SCOPE)
endfunction()
