# The stand-in's core, driver and simulator compiled against a CEF root's
# genuine headers, position-independent, for the libcef made of them: the
# Linux libcef.so (cmake/standin_libcef.cmake) and the Windows libcef.dll
# (cmake/standin_libcef_winelib.cmake).
include(${PROJECT_SOURCE_DIR}/cmake/warnings.cmake)
set(STANDIN_CEF_HEADERS "${CEF_ROOT}")
include(${PROJECT_SOURCE_DIR}/cmake/standin.cmake)
foreach(_target cef_standin cef_standin_driver cef_standin_simulator
                cef_standin_simulator_process)
  set_target_properties(${_target} PROPERTIES POSITION_INDEPENDENT_CODE ON)
endforeach()
