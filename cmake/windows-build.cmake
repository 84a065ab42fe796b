# The pieces only the Windows build has: the manifest resource and the
# release zip (both from packaging/windows/). Included from the top-level
# CMakeLists.txt after every target exists.

# One resource, the manifest, in both executables. scanvane.exe is a GUI
# program entered through WinMain; scanvane-render.exe stays a console one.
set(scanvane_manifest_rc ${PROJECT_SOURCE_DIR}/packaging/windows/manifest.rc)
set_property(SOURCE ${scanvane_manifest_rc} APPEND PROPERTY OBJECT_DEPENDS
  ${PROJECT_SOURCE_DIR}/packaging/windows/scanvane.exe.manifest)
foreach(exe scanvane scanvane-render)
  target_sources(${exe} PRIVATE ${scanvane_manifest_rc})
endforeach()
set_target_properties(scanvane PROPERTIES WIN32_EXECUTABLE ON)

# scanvane-<version>-win32.zip or -win64.zip: both executables and how to
# run them.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(SCANVANE_WINDOWS_BITS 64)
  set(SCANVANE_WINDOWS_NEEDS "any 64-bit Windows, or Wine's 64-bit loader")
else()
  set(SCANVANE_WINDOWS_BITS 32)
  set(SCANVANE_WINDOWS_NEEDS "any Windows from XP on, or Wine")
endif()
set(scanvane_windows_arch win${SCANVANE_WINDOWS_BITS})
set(scanvane_zip_name scanvane-${PROJECT_VERSION}-${scanvane_windows_arch})
set(scanvane_zip ${PROJECT_BINARY_DIR}/${scanvane_zip_name}.zip)
set(scanvane_zip_dir ${PROJECT_BINARY_DIR}/${scanvane_zip_name})
set(scanvane_zip_readme README-${scanvane_windows_arch}.txt)
set(SCANVANE_VERSION ${PROJECT_VERSION})
configure_file(packaging/windows/README-windows.txt ${scanvane_zip_dir}/${scanvane_zip_readme}
  @ONLY NEWLINE_STYLE CRLF)
add_custom_command(OUTPUT ${scanvane_zip}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:scanvane> $<TARGET_FILE:scanvane-render> ${scanvane_zip_dir}
  COMMAND ${CMAKE_COMMAND} -E rm -f ${scanvane_zip}
  COMMAND ${CMAKE_COMMAND} -E tar cf ${scanvane_zip} --format=zip --mtime=2000-01-01
          ${scanvane_zip_name}/scanvane.exe ${scanvane_zip_name}/scanvane-render.exe
          ${scanvane_zip_name}/${scanvane_zip_readme}
  WORKING_DIRECTORY ${PROJECT_BINARY_DIR}
  DEPENDS scanvane scanvane-render ${scanvane_zip_dir}/${scanvane_zip_readme}
  COMMENT "Packing ${scanvane_zip_name}.zip"
  VERBATIM)
add_custom_target(windows-zip ALL DEPENDS ${scanvane_zip})

# A helper for the tests under Wine (tests/ci/40-wine.sh); not shipped.
add_executable(wine-box-text tests/wine/box_text.cpp)
target_link_libraries(wine-box-text PRIVATE user32)
