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

# The page with WebAssembly threads: a shared memory needs atomics in every
# object, so the page's sources are compiled once more with -pthread (the
# one-thread page stays as it is: a threaded module cannot even start where
# the page is not cross-origin isolated). page.js sets
# Module.scanvaneHelperThreads before loading it, so the workers for the
# bands are ready before the frame cycle starts and the browser's main
# thread never waits for one to come up.
scanvane_sources_of(scanvane_threaded_page_sources
  scanvane-web scanvane_web scanvane_app scanvane_app_bands scanvane_bands scanvane_render scanvane_crt_trig)
add_executable(scanvane-web-threads ${scanvane_threaded_page_sources})
target_include_directories(scanvane-web-threads PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(scanvane-web-threads PRIVATE
  "$<TARGET_PROPERTY:scanvane_app,INTERFACE_COMPILE_DEFINITIONS>")
target_compile_options(scanvane-web-threads PRIVATE -pthread)
get_target_property(scanvane_page_link_options scanvane-web LINK_OPTIONS)
list(FILTER scanvane_page_link_options EXCLUDE REGEX "^-sENVIRONMENT=")
target_link_options(scanvane-web-threads PRIVATE ${scanvane_page_link_options}
  -pthread -sENVIRONMENT=web,worker -sPTHREAD_POOL_SIZE=Module.scanvaneHelperThreads)
# The model loader, on assimp built with atomics (scanvane::assimp_threads).
# Only the loader's own sources are compiled with exceptions, as in the
# one-thread page; the module is linked with catching on.
if(TARGET scanvane_model)
  scanvane_sources_of(scanvane_threaded_model_sources scanvane_model)
  target_sources(scanvane-web-threads PRIVATE ${scanvane_threaded_model_sources})
  set_source_files_properties(${scanvane_threaded_model_sources} PROPERTIES COMPILE_OPTIONS "${scanvane_wasm_exceptions}")
  target_compile_definitions(scanvane-web-threads PRIVATE
    "$<TARGET_PROPERTY:scanvane_model,INTERFACE_COMPILE_DEFINITIONS>")
  target_include_directories(scanvane-web-threads PRIVATE
    "$<TARGET_PROPERTY:scanvane::assimp_threads,INTERFACE_INCLUDE_DIRECTORIES>")
  target_link_libraries(scanvane-web-threads PRIVATE "$<LINK_ONLY:scanvane::assimp_threads>")
  target_link_options(scanvane-web-threads PRIVATE ${scanvane_wasm_exceptions})
  add_dependencies(scanvane-web-threads assimp-threads)
endif()
set_target_properties(scanvane-web-threads PROPERTIES
  OUTPUT_NAME scanvane-threads
  RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/platform/web)

# The sample models the page ships (?model=NAME), beside it.
if(TARGET scanvane_model AND TARGET scanvane_samples)
  set(scanvane_page_bunny ${PROJECT_BINARY_DIR}/platform/web/bunny.ply)
  add_custom_command(OUTPUT ${scanvane_page_bunny}
    COMMAND ${CMAKE_COMMAND} -E copy ${SCANVANE_BUNNY} ${scanvane_page_bunny}
    DEPENDS ${SCANVANE_BUNNY}
    COMMENT "The page's sample models")
  add_custom_target(scanvane_page_samples ALL DEPENDS ${scanvane_page_bunny})
  # The bunny is made in samples/: a file another folder's rule makes is only
  # waited for through its target.
  add_dependencies(scanvane_page_samples scanvane_samples)
endif()

# Checks that only mean something in the wasm build.
add_subdirectory(tests/web)
