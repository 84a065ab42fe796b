# The model loader's library, assimp, in the cross builds (both MinGW-w64
# builds, both WebAssembly modules): Debian bookworm's own 5.2.5, the version
# the native build takes from libassimp-dev, built static from Debian's
# source package with the target's toolchain, limited to the importers the
# programs open. Everything lives in the build folder under third_party/:
# the sources are fetched once at configure time (apt-get source, which
# needs the deb-src entry scripts/install-deps.sh adds) and each variant is
# built once, as an external project of this build, then kept.
#
# Each variant is one imported target: scanvane::assimp (and, in the
# WebAssembly build, scanvane::assimp_threads for the -pthread page, since
# a shared memory needs atomics in every object), with zlib and minizip
# behind it. scanvane::zlib (scanvane::zlib_threads) is usable on its own.
include(ExternalProject)

set(SCANVANE_ASSIMP_VERSION 5.2.5)
set(scanvane_third_party ${PROJECT_BINARY_DIR}/third_party)
set(scanvane_debian_sources ${scanvane_third_party}/debian-src)
# The importers the programs open; glTF 1.0 shares assimp's glTF switch and
# is turned off by its own definition below.
set(SCANVANE_ASSIMP_IMPORTERS OBJ PLY STL OFF GLTF)

# apt-get source downloads both; zlib is unpacked as Debian builds it, and
# assimp with only the two of Debian's patches that a build needs (its
# source ships neither stb_image nor utf8cpp; utf8cpp comes from
# libutfcpp-dev): the others make the library need Draco and touch the
# Python bindings. The stamp is written only once all that succeeded, so
# an interrupted fetch is redone.
set(SCANVANE_ASSIMP_PATCHES use-system-stb_image.patch use-system-utf8cpp.patch)
function(scanvane_run_step what)
  execute_process(COMMAND ${ARGN}
    WORKING_DIRECTORY ${scanvane_debian_sources}
    RESULT_VARIABLE status
    OUTPUT_VARIABLE output ERROR_VARIABLE output)
  file(APPEND ${scanvane_debian_sources}/fetch.log "$ ${ARGN}\n${output}")
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${what} failed (${scanvane_debian_sources}/fetch.log): ${output}")
  endif()
endfunction()

function(scanvane_fetch_debian_sources)
  set(stamp ${scanvane_debian_sources}/fetched.stamp)
  if(NOT EXISTS ${stamp})
    file(REMOVE_RECURSE ${scanvane_debian_sources})
    file(MAKE_DIRECTORY ${scanvane_debian_sources})
    message(STATUS "Fetching Debian's assimp and zlib sources into ${scanvane_debian_sources}")
    scanvane_run_step("apt-get source (it needs a deb-src entry for bookworm: bash scripts/install-deps.sh)"
      apt-get source -q --download-only assimp zlib)
    file(GLOB assimp_dsc ${scanvane_debian_sources}/assimp_${SCANVANE_ASSIMP_VERSION}*.dsc)
    file(GLOB zlib_dsc ${scanvane_debian_sources}/zlib_*.dsc)
    if(NOT assimp_dsc OR NOT zlib_dsc)
      message(FATAL_ERROR "apt-get source brought no assimp ${SCANVANE_ASSIMP_VERSION} and zlib source "
        "into ${scanvane_debian_sources}: is Debian's assimp still ${SCANVANE_ASSIMP_VERSION}?")
    endif()
    scanvane_run_step("Unpacking zlib (dpkg-dev)" dpkg-source -x ${zlib_dsc})
    scanvane_run_step("Unpacking assimp (dpkg-dev)" dpkg-source -x --skip-patches ${assimp_dsc})
    file(GLOB assimp_dir LIST_DIRECTORIES true ${scanvane_debian_sources}/assimp-${SCANVANE_ASSIMP_VERSION}*)
    foreach(patch IN LISTS SCANVANE_ASSIMP_PATCHES)
      scanvane_run_step("Applying ${patch}" patch -d ${assimp_dir} -p1 -i ${assimp_dir}/debian/patches/${patch})
    endforeach()
    file(TOUCH ${stamp})
  endif()
  file(GLOB assimp_dir LIST_DIRECTORIES true ${scanvane_debian_sources}/assimp-${SCANVANE_ASSIMP_VERSION}*)
  file(GLOB zlib_dir LIST_DIRECTORIES true ${scanvane_debian_sources}/zlib-1.*)
  list(FILTER assimp_dir EXCLUDE REGEX "\\.(dsc|tar\\..*)$")
  list(FILTER zlib_dir EXCLUDE REGEX "\\.(dsc|tar\\..*)$")
  if(NOT EXISTS "${assimp_dir}/CMakeLists.txt" OR NOT EXISTS "${zlib_dir}/contrib/minizip/unzip.c")
    message(FATAL_ERROR "${scanvane_debian_sources} holds no unpacked assimp and zlib source: "
      "remove the folder to fetch again")
  endif()
  set(SCANVANE_ASSIMP_SOURCE_DIR ${assimp_dir} PARENT_SCOPE)
  set(SCANVANE_ZLIB_SOURCE_DIR ${zlib_dir} PARENT_SCOPE)
endfunction()

# One variant: scanvane::<assimp_target> and scanvane::<zlib_target>, built
# with this build's toolchain plus `flags`.
function(scanvane_add_assimp variant assimp_target zlib_target flags)
  set(dir ${scanvane_third_party}/${variant})
  set(prefix ${dir}/prefix)
  set(lib ${prefix}/lib)
  # The toolchain of this build with the variant's flags added, so that
  # its own code-generation flags (SSE on 32-bit x86) stay in force.
  # PKG_CONFIG_LIBDIR set here reaches assimp's configure: only the
  # target's minizip is found, never the host's.
  set(toolchain ${dir}/toolchain.cmake)
  # utf8cpp's header comes from libutfcpp-dev: the cross compilers do not
  # look in /usr/include. Like every Scanvane build, no fused multiply-adds
  # (assimp's arithmetic places the model's vertices).
  set(cxx_flags "-I/usr/include/utf8cpp -DASSIMP_BUILD_NO_GLTF1_IMPORTER")
  file(WRITE ${toolchain}.in "include(\"${CMAKE_TOOLCHAIN_FILE}\")
string(APPEND CMAKE_C_FLAGS_INIT \" -ffp-contract=off ${flags}\")
string(APPEND CMAKE_CXX_FLAGS_INIT \" -ffp-contract=off ${flags} ${cxx_flags}\")
set(ENV{PKG_CONFIG_LIBDIR} \"${lib}/pkgconfig\")
set(ENV{PKG_CONFIG_PATH} \"\")
list(APPEND CMAKE_FIND_ROOT_PATH \"${prefix}\")
")
  configure_file(${toolchain}.in ${toolchain} COPYONLY)
  set(common_args -DCMAKE_TOOLCHAIN_FILE=${toolchain} -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_INSTALL_PREFIX=${prefix})

  if(EMSCRIPTEN)
    set(own_zlib ON)
    set(zlib_library ${lib}/libz.a)
    set(zlib_include ${prefix}/include)
    set(deps_byproducts ${lib}/libminizip.a ${lib}/libz.a)
  else()
    # Debian's libz-mingw-w64-dev.
    set(own_zlib OFF)
    find_library(SCANVANE_TARGET_ZLIB NAMES libz.a z REQUIRED)
    find_path(SCANVANE_TARGET_ZLIB_INCLUDE zlib.h REQUIRED)
    set(zlib_library ${SCANVANE_TARGET_ZLIB})
    set(zlib_include ${SCANVANE_TARGET_ZLIB_INCLUDE})
    set(deps_byproducts ${lib}/libminizip.a)
  endif()

  ExternalProject_Add(${variant}-deps
    PREFIX ${dir}/deps
    SOURCE_DIR ${PROJECT_SOURCE_DIR}/cmake/assimp
    BINARY_DIR ${dir}/deps-build
    INSTALL_DIR ${prefix}
    CMAKE_ARGS ${common_args} -DZLIB_SOURCE_DIR=${SCANVANE_ZLIB_SOURCE_DIR}
      -DSCANVANE_OWN_ZLIB=${own_zlib} -DSCANVANE_ZLIB_INCLUDE_DIR=${zlib_include}
    BUILD_BYPRODUCTS ${deps_byproducts}
    EXCLUDE_FROM_ALL ON)

  set(importer_args)
  foreach(importer IN LISTS SCANVANE_ASSIMP_IMPORTERS)
    list(APPEND importer_args -DASSIMP_BUILD_${importer}_IMPORTER=ON)
  endforeach()
  ExternalProject_Add(${variant}
    PREFIX ${dir}
    SOURCE_DIR ${SCANVANE_ASSIMP_SOURCE_DIR}
    BINARY_DIR ${dir}/build
    INSTALL_DIR ${prefix}
    DEPENDS ${variant}-deps
    CMAKE_ARGS ${common_args}
      -DBUILD_SHARED_LIBS=OFF
      -DASSIMP_BUILD_ALL_IMPORTERS_BY_DEFAULT=OFF ${importer_args}
      -DASSIMP_NO_EXPORT=ON
      -DASSIMP_BUILD_ASSIMP_TOOLS=OFF -DASSIMP_BUILD_TESTS=OFF -DASSIMP_BUILD_SAMPLES=OFF
      -DASSIMP_BUILD_ZLIB=OFF -DZLIB_LIBRARY=${zlib_library} -DZLIB_INCLUDE_DIR=${zlib_include}
      -DASSIMP_BUILD_DRACO=OFF -DASSIMP_INSTALL_PDB=OFF -DASSIMP_WARNINGS_AS_ERRORS=OFF
      -DASSIMP_IGNORE_GIT_HASH=ON
    BUILD_BYPRODUCTS ${lib}/libassimp.a
    EXCLUDE_FROM_ALL ON)

  # The headers are installed at build time; the imported targets need the
  # folder to exist already.
  file(MAKE_DIRECTORY ${prefix}/include)
  add_library(scanvane::${zlib_target} STATIC IMPORTED GLOBAL)
  set_target_properties(scanvane::${zlib_target} PROPERTIES
    IMPORTED_LOCATION ${zlib_library} INTERFACE_INCLUDE_DIRECTORIES ${zlib_include})
  add_dependencies(scanvane::${zlib_target} ${variant}-deps)

  add_library(scanvane_${variant}_minizip STATIC IMPORTED)
  set_target_properties(scanvane_${variant}_minizip PROPERTIES
    IMPORTED_LOCATION ${lib}/libminizip.a INTERFACE_LINK_LIBRARIES scanvane::${zlib_target})

  add_library(scanvane::${assimp_target} STATIC IMPORTED GLOBAL)
  set_target_properties(scanvane::${assimp_target} PROPERTIES
    IMPORTED_LOCATION ${lib}/libassimp.a
    INTERFACE_INCLUDE_DIRECTORIES ${prefix}/include
    INTERFACE_LINK_LIBRARIES scanvane_${variant}_minizip)
  add_dependencies(scanvane::${assimp_target} ${variant})
endfunction()

scanvane_fetch_debian_sources()
if(EMSCRIPTEN)
  # assimp reports a bad file by throwing: with exception catching off a
  # throw aborts the module. Only assimp and the code that calls it are
  # compiled with exceptions; the module is linked with catching on.
  set(scanvane_wasm_exceptions -fexceptions)
  scanvane_add_assimp(assimp assimp zlib "${scanvane_wasm_exceptions}")
  scanvane_add_assimp(assimp-threads assimp_threads zlib_threads "${scanvane_wasm_exceptions} -pthread")
  foreach(target assimp assimp_threads)
    set_property(TARGET scanvane::${target} APPEND PROPERTY INTERFACE_COMPILE_OPTIONS ${scanvane_wasm_exceptions})
    set_property(TARGET scanvane::${target} APPEND PROPERTY INTERFACE_LINK_OPTIONS ${scanvane_wasm_exceptions})
  endforeach()
else()
  scanvane_add_assimp(assimp assimp zlib "")
endif()
