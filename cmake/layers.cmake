# Layer roots: what a target may include, by construction.
#
# A layer root is a directory in the build tree that holds nothing but one
# symbolic link per folder the layer may see. On a target's include path in
# place of the folders' parent, it resolves "folder/x.h" for those folders
# and for no other: an include across a line the layer may not cross fails
# to compile ("No such file or directory"), wherever it is written. A link
# may also be to one header, the only one of its folder that the layer sees
# ("x.h").

# quillmoss_layer_root(<out-var> <name> <folder>...)
#
# Makes ${PROJECT_BINARY_DIR}/layers/<name> with a link per <folder> (a path
# relative to the project root, of a folder or a header; they must be
# siblings), named as its last component, and sets <out-var> to it.
#
# Where symbolic links cannot be made (Windows without developer mode or
# elevation, some file systems), <out-var> falls back to the folders' parent,
# with a warning: the build still works, but the layer's include lines are
# not checked there. They are checked by every build on Linux, where CI and
# scripts/check-cef-build.sh run.
function(quillmoss_layer_root out name)
  set(root "${PROJECT_BINARY_DIR}/layers/${name}")
  set(leaves "")
  set(parent "")
  foreach(folder IN LISTS ARGN)
    get_filename_component(leaf "${folder}" NAME)
    get_filename_component(folder_parent "${PROJECT_SOURCE_DIR}/${folder}" DIRECTORY)
    if(parent AND NOT parent STREQUAL folder_parent)
      message(FATAL_ERROR "layer ${name}: ${ARGN} are not siblings")
    endif()
    set(parent "${folder_parent}")
    list(APPEND leaves "${leaf}")
  endforeach()

  # A link that an earlier configuration made and this one no longer allows
  # must go, or the include it allowed would still compile. file(REMOVE)
  # removes the link itself, never the folder it points to.
  set(record "${root}.links")
  if(EXISTS "${record}")
    file(STRINGS "${record}" previous)
    foreach(leaf IN LISTS previous)
      if(NOT leaf IN_LIST leaves)
        file(REMOVE "${root}/${leaf}")
      endif()
    endforeach()
  endif()

  file(MAKE_DIRECTORY "${root}")
  foreach(folder IN LISTS ARGN)
    get_filename_component(leaf "${folder}" NAME)
    set(link "${root}/${leaf}")
    set(target "${PROJECT_SOURCE_DIR}/${folder}")
    set(current "")
    if(IS_SYMLINK "${link}")
      file(READ_SYMLINK "${link}" current)
    endif()
    if(NOT current STREQUAL target)
      file(CREATE_LINK "${target}" "${link}" RESULT result SYMBOLIC)
      if(NOT result STREQUAL "0")
        message(WARNING
          "Cannot make the symbolic link ${link} (${result}): layer ${name} "
          "includes from ${parent}, and its include lines are not checked "
          "in this build.")
        set(${out} "${parent}" PARENT_SCOPE)
        return()
      endif()
    endif()
  endforeach()
  string(REPLACE ";" "\n" record_text "${leaves}")
  file(WRITE "${record}" "${record_text}\n")
  set(${out} "${root}" PARENT_SCOPE)
endfunction()
