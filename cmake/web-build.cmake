# The pieces only the WebAssembly build has. Included from the top-level
# CMakeLists.txt after every target exists.

# Node runs the command-line tools straight on the host's files. Emscripten
# 3.1.6 loads the .wasm with fetch() under node 18 and later, which cannot
# read a file path: --no-experimental-fetch makes it read the file instead.
set(SCANVANE_NODE node --no-experimental-fetch CACHE STRING "How to run the node builds of the tools")
# node_environment.js hands them the host's environment variables.
set(scanvane_node_environment ${PROJECT_SOURCE_DIR}/tools/node_environment.js)
foreach(tool scanvane-render)
  # Memory grows with the frame size asked for (16 MB would not even hold
  # a 1920 x 1080 frame's buffers and outputs); a size beyond what can be
  # had is refused with a message.
  target_link_options(${tool} PRIVATE -sNODERAWFS=1 -sENVIRONMENT=node -sEXIT_RUNTIME=1
    -sALLOW_MEMORY_GROWTH=1 "SHELL:--pre-js ${scanvane_node_environment}")
  set_property(TARGET ${tool} APPEND PROPERTY LINK_DEPENDS ${scanvane_node_environment})
  # A command that works as written, beside the .js: node with that flag.
  # Without it node prints the whole minified loader before its error.
  list(JOIN SCANVANE_NODE " " node_command)
  file(GENERATE OUTPUT $<TARGET_FILE_DIR:${tool}>/${tool}-node
    CONTENT "#!/bin/sh
# Runs ${tool}.js (the WebAssembly build) under node.
js=\"$(dirname \"$0\")/${tool}.js\"
if [ ! -f \"$js\" ]; then
    echo \"${tool}-node: $js is not built: cmake --build --preset web --target ${tool}\" >&2
    exit 2
fi
exec ${node_command} \"$js\" \"$@\"
"
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
endforeach()

# Checks that only mean something in the wasm build.
add_subdirectory(tests/web)
