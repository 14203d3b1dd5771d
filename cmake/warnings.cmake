# quillmoss_warnings: the warnings of the project's own code, as an INTERFACE
# target that each of its targets links PRIVATE. Third-party headers (V8 of
# libnode, GoogleTest, Benchmark, nlohmann-json) come from imported targets,
# whose include directories are SYSTEM, so their warnings do not count.
# The build against a real CEF uses CEF's own flags instead (-Werror there).

option(QUILLMOSS_WARNINGS_AS_ERRORS "Treat warnings in the project's own code as errors" OFF)

add_library(quillmoss_warnings INTERFACE)
if(MSVC)
  target_compile_options(quillmoss_warnings INTERFACE /W4
    $<$<BOOL:${QUILLMOSS_WARNINGS_AS_ERRORS}>:/WX>)
else()
  target_compile_options(quillmoss_warnings INTERFACE
    -Wall -Wextra
    # As in CEF's own flags: overrides of CEF's interfaces leave parameters
    # unused all the time.
    -Wno-unused-parameter
    -Wnon-virtual-dtor -Woverloaded-virtual -Wcast-qual -Wformat=2 -Wundef
    # Not -Wpedantic: CEF's logging macros (and so the stand-in's) rely on
    # GNU's ", ##__VA_ARGS__". Not -Wshadow: GCC's flags every constructor
    # parameter named after its member.
    $<$<BOOL:${QUILLMOSS_WARNINGS_AS_ERRORS}>:-Werror>)
endif()
