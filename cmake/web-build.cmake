# The pieces only the WebAssembly build has. Included from the top-level
# CMakeLists.txt after every target exists.

# Emscripten's sin and cos agree with ours after the conversion to float on
# every angle tried, but their doubles differ in the last bit for a few per
# cent of angles; the Windows build's correctly rounded ones take their place
# at link time, so no platform depends on a C library's last bit.
add_library(scanvane_crt_trig STATIC
  platform/mingw/trig.cpp
  platform/mingw/crt_trig.cpp)
target_include_directories(scanvane_crt_trig PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(scanvane_app PUBLIC scanvane_crt_trig)

# Node runs the command-line tools straight on the host's files. Emscripten
# 3.1.6 loads the .wasm with fetch() under node 18 and later, which cannot
# read a file path: --no-experimental-fetch makes it read the file instead.
set(SCANVANE_NODE node --no-experimental-fetch CACHE STRING "How to run the node builds of the tools")
# node_environment.js hands them the host's environment variables.
set(scanvane_node_environment ${PROJECT_SOURCE_DIR}/tools/node_environment.js)
foreach(tool scanvane-render)
  target_link_options(${tool} PRIVATE -sNODERAWFS=1 -sENVIRONMENT=node -sEXIT_RUNTIME=1
    "SHELL:--pre-js ${scanvane_node_environment}")
  set_property(TARGET ${tool} APPEND PROPERTY LINK_DEPENDS ${scanvane_node_environment})
endforeach()

# Checks that only mean something in the wasm build.
add_subdirectory(tests/web)
