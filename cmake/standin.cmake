# The CEF stand-in, in layers; each sees what is below it and nothing above:
#
#   cef_standin_headers   cef_standin/root: CEF's header paths
#                         ("include/cef_app.h"), nothing else of the stand-in.
#                         All the system sees of it.
#   cef_standin           cef_standin/src: CEF's implementation, on Debian's
#                         libnode (V8 10.2); sees its headers and src/. The
#                         layers above see src/standin_core.h alone.
#   cef_standin_internals src/ whole, for the core's own tests.
#   cef_standin_driver    cef_standin/driver: plays CEF's renderer and the
#                         browser process for tests
#                         ("cef_standin/driver/renderer_driver.h"); sees the
#                         above.
#   cef_standin_simulator cef_standin/simulator: the scenario runner
#                         ("cef_standin/simulator/x.h"); sees the above.
#   cef_standin_simulator_process
#                         the object that registers the simulator as the
#                         renderer process of CefExecuteProcess(); linked into
#                         the executable.
#
# It is built for Linux only (64-bit, i386 and Winelib, whose DLL the genuine
# Windows executable runs on): V8 comes from Debian's libnode.

# The 32-bit build (cmake/i386-linux.cmake) has its own unpack, of the
# :i386 packages (scripts/install-deps.sh --i386), and Debian's multiarch
# directory of its target.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_libnode_unpack libnode-i386)
  set(_libnode_multiarch i386-linux-gnu)
  set(_libnode_deps_flag " --i386")
else()
  set(_libnode_unpack libnode)
  set(_libnode_multiarch x86_64-linux-gnu)
  set(_libnode_deps_flag "")
endif()
set(LIBNODE_PREFIX "${PROJECT_SOURCE_DIR}/third_party/${_libnode_unpack}/usr" CACHE PATH
    "Where Debian's libnode-dev, libnode108 and libuv1-dev are unpacked")
set(LIBNODE_INCLUDE_DIR "${LIBNODE_PREFIX}/include/node")
set(LIBNODE_LIBRARY_DIR "${LIBNODE_PREFIX}/lib/${_libnode_multiarch}")
find_library(LIBNODE_LIBRARY NAMES libnode.so.108 node
             PATHS "${LIBNODE_LIBRARY_DIR}" NO_DEFAULT_PATH)
if(NOT EXISTS "${LIBNODE_INCLUDE_DIR}/node_version.h" OR NOT LIBNODE_LIBRARY)
  message(FATAL_ERROR "libnode not found under ${LIBNODE_LIBRARY_DIR}; run scripts/install-deps.sh${_libnode_deps_flag}")
endif()
# Headers of another Node (the image's Node 20 in /usr/include/node) build
# fine and crash at run time against libnode.so.108.
file(STRINGS "${LIBNODE_INCLUDE_DIR}/node_version.h" _node_module_version
     REGEX "^#define NODE_MODULE_VERSION [0-9]+")
if(NOT _node_module_version MATCHES "NODE_MODULE_VERSION 108$")
  message(FATAL_ERROR "${LIBNODE_INCLUDE_DIR} is not Node 18's (NODE_MODULE_VERSION 108): ${_node_module_version}")
endif()
# An imported target: its include directory is a SYSTEM one, so V8's own
# warnings do not count as the project's.
add_library(libnode_v8 SHARED IMPORTED)
set_target_properties(libnode_v8 PROPERTIES
  IMPORTED_LOCATION "${LIBNODE_LIBRARY}"
  INTERFACE_INCLUDE_DIRECTORIES "${LIBNODE_INCLUDE_DIR}")
find_package(nlohmann_json 3 REQUIRED)
find_package(Threads REQUIRED)

set(_standin "${PROJECT_SOURCE_DIR}/cef_standin")

# The stand-in's sources also build against a real CEF root's headers, into
# a libcef (cmake/standin_libcef.cmake sets STANDIN_CEF_HEADERS); there the
# root's include path is a SYSTEM one, as CEF's warnings are not ours.
add_library(cef_standin_headers INTERFACE)
if(STANDIN_CEF_HEADERS)
  target_include_directories(cef_standin_headers SYSTEM INTERFACE "${STANDIN_CEF_HEADERS}")
else()
  target_include_directories(cef_standin_headers INTERFACE "${_standin}/root")
endif()

set(STANDIN_SOURCES
  cef_standin/src/browser_frame.cc
  cef_standin/src/cef_string.cc
  cef_standin/src/cef_string_c_api.cc
  cef_standin/src/cef_time.cc
  cef_standin/src/closure_task.cc
  cef_standin/src/command_line.cc
  cef_standin/src/execute_process.cc
  cef_standin/src/live_objects.cc
  cef_standin/src/logging.cc
  cef_standin/src/platform.cc
  cef_standin/src/process_message.cc
  cef_standin/src/render_process_calls.cc
  cef_standin/src/renderer_internal.cc
  cef_standin/src/task_runner.cc
  cef_standin/src/trace_event.cc
  cef_standin/src/values.cc
  cef_standin/src/verify_param.cc
)
# libnode is built without RTTI; the files that subclass V8 classes must match.
set(STANDIN_V8_SOURCES
  cef_standin/src/v8_engine.cc
  cef_standin/src/v8_engine_console.cc
  cef_standin/src/v8_engine_value.cc
)
list(APPEND STANDIN_SOURCES ${STANDIN_V8_SOURCES})
set_source_files_properties(${STANDIN_V8_SOURCES} PROPERTIES COMPILE_OPTIONS -fno-rtti)

add_library(cef_standin STATIC ${STANDIN_SOURCES})
# src/ includes its own headers root-relative, as the system does
# ("cef_standin/src/browser_frame.h"), through a layer root that holds src/
# alone: the layers above the core stay out of its reach.
quillmoss_layer_root(_src_layer standin_src/cef_standin cef_standin/src)
get_filename_component(_src_root "${_src_layer}" DIRECTORY)
# Of src/, the layers above see standin_core.h alone, through a layer root
# that holds a link to it: an internal header of the core does not compile
# there.
quillmoss_layer_root(_core_root standin_core cef_standin/src/standin_core.h)
target_include_directories(cef_standin
  PRIVATE "${_src_root}"
  PUBLIC "${_core_root}")
target_link_libraries(cef_standin PUBLIC cef_standin_headers PRIVATE quillmoss_warnings)
target_link_libraries(cef_standin PRIVATE libnode_v8 PUBLIC Threads::Threads)
set_target_properties(cef_standin PROPERTIES
  INTERFACE_LINK_OPTIONS "-Wl,-rpath,${LIBNODE_LIBRARY_DIR}")

# The core's own tests reach behind the door.
add_library(cef_standin_internals INTERFACE)
target_include_directories(cef_standin_internals INTERFACE "${_src_root}")
target_link_libraries(cef_standin_internals INTERFACE cef_standin)

# The driver and the simulator are included root-relative as well
# ("cef_standin/driver/...", "cef_standin/simulator/..."), each through a
# layer root of its own: what links the driver alone cannot reach the
# simulator. The simulator's root is not named standin_simulator, the name of
# an earlier root whose link "simulator" a configured build tree still holds.
add_library(cef_standin_driver STATIC cef_standin/driver/renderer_driver.cc)
quillmoss_layer_root(_driver_layer standin_driver/cef_standin cef_standin/driver)
get_filename_component(_driver_root "${_driver_layer}" DIRECTORY)
target_include_directories(cef_standin_driver PUBLIC "${_driver_root}")
target_link_libraries(cef_standin_driver PUBLIC cef_standin PRIVATE quillmoss_warnings)

quillmoss_layer_root(_simulator_layer standin_sim/cef_standin cef_standin/simulator)
get_filename_component(_simulator_root "${_simulator_layer}" DIRECTORY)
add_library(cef_standin_simulator STATIC
  cef_standin/simulator/cef_value_json.cc
  cef_standin/simulator/json_text.cc
  cef_standin/simulator/scenario.cc
  cef_standin/simulator/scenario_runner.cc
)
target_include_directories(cef_standin_simulator PUBLIC "${_simulator_root}")
target_link_libraries(cef_standin_simulator
  PUBLIC cef_standin_driver nlohmann_json::nlohmann_json
  PRIVATE quillmoss_warnings)

add_library(cef_standin_simulator_process OBJECT
  cef_standin/simulator/renderer_process.cc)
target_link_libraries(cef_standin_simulator_process
  PRIVATE cef_standin_simulator quillmoss_warnings)
