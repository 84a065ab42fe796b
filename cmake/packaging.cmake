# What `cmake --install` puts under a prefix, and the packages CPack makes
# from it. Included from the top-level CMakeLists.txt after every target
# exists.
#
#   native build:  bin/ the window program, scanvane-render, scanvane-bench
#                  and its counting pass; share/doc/scanvane/ the README and
#                  docs/ (its pages and pictures). cpack: scanvane-<v>-Linux-<arch>.tar.gz and
#                  scanvane_<v>_<arch>.deb
#   web build:     share/scanvane/web/ the page, both modules. cpack: scanvane-<v>-web.zip,
#                  the page at the top of its folder for any static host
#   Windows:       the programs in bin/; the release zips stay those of
#                  cmake/windows-build.cmake
include(GNUInstallDirs)
# Lower case, as the package and the programs are named (GNUInstallDirs
# would take the project's name).
set(scanvane_docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/scanvane)

set(scanvane_doc_files README.md LICENSE CHANGELOG.md)
install(FILES ${scanvane_doc_files} DESTINATION ${scanvane_docdir})
# Every page and picture in docs/, which the README and the programs' help
# point to, so that their links resolve where the README is installed; a
# new page is installed by being there. tests/ci/15-package.sh follows
# every relative link of the installed README.
file(GLOB scanvane_doc_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/*.md
  ${PROJECT_SOURCE_DIR}/docs/*.png ${PROJECT_SOURCE_DIR}/docs/*.gif ${PROJECT_SOURCE_DIR}/docs/*.svg)
install(FILES ${scanvane_doc_pages} DESTINATION ${scanvane_docdir}/docs)

set(CPACK_PACKAGE_NAME scanvane)
set(CPACK_PACKAGE_VENDOR "the Scanvane authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Real-time 3D renderer that draws everything on the processor")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_RESOURCE_FILE_README ${PROJECT_SOURCE_DIR}/README.md)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)

if(EMSCRIPTEN)
  # The page's files, gathered in one folder: what is installed and what
  # the zip holds. The one-thread module, and the threaded one with its
  # worker that page.js loads where the page is cross-origin isolated.
  # serve.js stays behind, a static host needs no server of ours.
  set(scanvane_site ${PROJECT_BINARY_DIR}/site)
  set(scanvane_page_dir ${PROJECT_BINARY_DIR}/platform/web)
  set(scanvane_site_files index.html page.js scanvane.js scanvane.wasm
    scanvane-threads.js scanvane-threads.wasm scanvane-threads.worker.js)
  list(TRANSFORM scanvane_site_files PREPEND ${scanvane_page_dir}/ OUTPUT_VARIABLE scanvane_page_files)
  add_custom_target(scanvane-site ALL
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${scanvane_site}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${scanvane_site}
    COMMAND ${CMAKE_COMMAND} -E copy ${scanvane_page_files} ${scanvane_site}
    DEPENDS scanvane-web scanvane-web-threads
    COMMENT "Gathering the page in site/"
    VERBATIM)
  install(DIRECTORY ${scanvane_site}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/scanvane/web)

  # The zip is the site folder alone, at the top of scanvane-<v>-web/.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME scanvane-${PROJECT_VERSION}-web)
  set(CPACK_INSTALL_CMAKE_PROJECTS "")
  set(CPACK_INSTALLED_DIRECTORIES ${scanvane_site} .)
  include(CPack)
  return()
endif()

set(scanvane_programs scanvane scanvane-render)
if(TARGET scanvane-bench)
  # scanvane-bench runs scanvane-bench-counts from its own folder.
  list(APPEND scanvane_programs scanvane-bench scanvane-bench-counts)
endif()
install(TARGETS ${scanvane_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Packages are for Linux; Windows users get the release zips.
if(WIN32 OR CMAKE_CROSSCOMPILING OR NOT CMAKE_SYSTEM_NAME STREQUAL "Linux")
  return()
endif()

set(CPACK_GENERATOR TGZ DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the Scanvane authors")
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The summary is the synopsis line; CPack indents this below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "A built-in scene of 88 coloured triangles, transformed, clipped, projected
and scan-converted on the processor into a 512 x 384 buffer, walked through
with the arrow keys. With scanvane-render, the headless renderer, and
scanvane-bench, which times the frame cycle.")
# The libraries the programs link (SDL2, SDL2_ttf, OSMesa, the C and C++
# runtimes) come from dpkg-shlibdeps; the font is opened by path at run
# time (platform/sdl/gdi.cpp), so no linker knows of it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
# The archive unpacks into scanvane-<v>-Linux-<arch>/ with bin/ and share/.
set(CPACK_PACKAGE_FILE_NAME scanvane-${PROJECT_VERSION}-Linux-${CMAKE_SYSTEM_PROCESSOR})
include(CPack)
