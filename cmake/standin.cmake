# The CEF stand-in: CEF-shaped headers under cef_standin/include, their
# implementation backed by Debian's libnode (V8 10.2), and the renderer driver.

if(NOT WIN32)
  set(LIBNODE_PREFIX "${CMAKE_SOURCE_DIR}/third_party/libnode/usr" CACHE PATH
      "Where Debian's libnode-dev, libnode108 and libuv1-dev are unpacked")
  set(LIBNODE_INCLUDE_DIR "${LIBNODE_PREFIX}/include/node")
  find_library(LIBNODE_LIBRARY NAMES libnode.so.108 node
               PATHS "${LIBNODE_PREFIX}/lib/x86_64-linux-gnu" NO_DEFAULT_PATH)
  if(NOT EXISTS "${LIBNODE_INCLUDE_DIR}/node_version.h" OR NOT LIBNODE_LIBRARY)
    message(FATAL_ERROR "libnode not found under ${LIBNODE_PREFIX}; run scripts/install-deps.sh")
  endif()
  # Headers of another Node (the image's Node 20 in /usr/include/node) build
  # fine and crash at run time against libnode.so.108.
  file(STRINGS "${LIBNODE_INCLUDE_DIR}/node_version.h" _node_module_version
       REGEX "^#define NODE_MODULE_VERSION [0-9]+")
  if(NOT _node_module_version MATCHES "NODE_MODULE_VERSION 108$")
    message(FATAL_ERROR "${LIBNODE_INCLUDE_DIR} is not Node 18's (NODE_MODULE_VERSION 108): ${_node_module_version}")
  endif()
  add_library(libnode_v8 SHARED IMPORTED)
  set_target_properties(libnode_v8 PROPERTIES
    IMPORTED_LOCATION "${LIBNODE_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${LIBNODE_INCLUDE_DIR}")
endif()

file(GLOB STANDIN_SOURCES CONFIGURE_DEPENDS
     ${CMAKE_SOURCE_DIR}/cef_standin/src/*.cc
     ${CMAKE_SOURCE_DIR}/cef_standin/driver/*.cc)
if(WIN32)
  # No JavaScript engine on Windows: the V8 part is replaced by one that
  # says so in the log.
  list(FILTER STANDIN_SOURCES EXCLUDE REGEX "/v8_engine[^/]*\\.cc$")
else()
  list(FILTER STANDIN_SOURCES EXCLUDE REGEX "/v8_unavailable[^/]*\\.cc$")
  file(GLOB STANDIN_SIM_SOURCES CONFIGURE_DEPENDS
       ${CMAKE_SOURCE_DIR}/cef_standin/simulator/*.cc)
  list(APPEND STANDIN_SOURCES ${STANDIN_SIM_SOURCES})
endif()

add_library(cef_standin STATIC ${STANDIN_SOURCES})
target_include_directories(cef_standin
  PUBLIC ${CMAKE_SOURCE_DIR}/cef_standin ${CMAKE_SOURCE_DIR}/cef_standin/driver
  PRIVATE ${CMAKE_SOURCE_DIR}/cef_standin/src)
if(WIN32)
  target_compile_definitions(cef_standin PRIVATE STANDIN_NO_V8=1)
else()
  find_package(nlohmann_json 3 REQUIRED)
  find_package(Threads REQUIRED)
  target_link_libraries(cef_standin PRIVATE libnode_v8 nlohmann_json::nlohmann_json
                        PUBLIC Threads::Threads)
  # libnode is built without RTTI; files that subclass V8 classes must match.
  file(GLOB STANDIN_V8_SOURCES ${CMAKE_SOURCE_DIR}/cef_standin/src/v8_engine*.cc)
  set_source_files_properties(${STANDIN_V8_SOURCES} PROPERTIES COMPILE_OPTIONS -fno-rtti)
  set_target_properties(cef_standin PROPERTIES
    INTERFACE_LINK_OPTIONS "-Wl,-rpath,${LIBNODE_PREFIX}/lib/x86_64-linux-gnu")
endif()
