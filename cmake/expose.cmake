# Each library exposes its own folder and nothing else. Sources include
# headers by their path from the top ("render/raster.h"); the include root
# a library hands its users is a folder in the build tree holding one link,
# to that library's own source folder. So a file can include a header only
# from libraries its target links: render/ cannot reach app/, app/ cannot
# reach platform/ or tools/, platform/ cannot reach tools/, and a wrong
# include fails to compile.
function(scanvane_expose target folder)
  set(root ${PROJECT_BINARY_DIR}/include/${target})
  get_filename_component(parent ${root}/${folder} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  if(NOT EXISTS ${root}/${folder})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${root}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${target} PUBLIC ${root})
endfunction()
