# Cross-compiles the 32-bit Windows program with Debian's MinGW-w64
# (g++-mingw-w64-i686, mingw-w64-i686-dev).
set(SCANVANE_MINGW_PREFIX i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)

# Exact single-precision floats need SSE rather than x87 on 32-bit x86.
# Windows only promises a 4-byte aligned stack when it calls into us (the
# window procedure, WinMain), so functions that keep SSE values on the
# stack realign it themselves.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-toolchain.cmake)
