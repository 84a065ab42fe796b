# The sources of a set of libraries, as absolute paths, for a program that
# compiles them once more with other flags (the bench's counting build, the
# page's threaded build): the libraries themselves stay as they are.
function(scanvane_sources_of out)
  set(all)
  foreach(lib IN LISTS ARGN)
    get_target_property(dir ${lib} SOURCE_DIR)
    get_target_property(sources ${lib} SOURCES)
    foreach(source IN LISTS sources)
      if(IS_ABSOLUTE "${source}")
        list(APPEND all "${source}")
      else()
        list(APPEND all "${dir}/${source}")
      endif()
    endforeach()
  endforeach()
  set(${out} ${all} PARENT_SCOPE)
endfunction()
