# The pieces only the WebAssembly build has. Included from the top-level
# CMakeLists.txt after every target exists.

# Node runs the command-line tools straight on the host's files. Emscripten
# 3.1.6 loads the .wasm with fetch() under node 18 and later, which cannot
# read a file path: --no-experimental-fetch makes it read the file instead.
set(SCANVANE_NODE node --no-experimental-fetch CACHE STRING "How to run the node builds of the tools")
# Memory grows with the frame size asked for (16 MB would not even hold a
# 1920 x 1080 frame's buffers and outputs); a size beyond what can be had is
# refused with a message.
foreach(tool scanvane-render)
  target_link_options(${tool} PRIVATE -sNODERAWFS=1 -sENVIRONMENT=node -sEXIT_RUNTIME=1
    -sALLOW_MEMORY_GROWTH=1)
endforeach()

# Checks that only mean something in the wasm build.
add_subdirectory(tests/web)
