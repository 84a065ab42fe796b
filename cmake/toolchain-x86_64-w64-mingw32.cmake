# Cross-compiles the 64-bit Windows program with Debian's MinGW-w64
# (g++-mingw-w64-x86-64, mingw-w64-x86-64-dev).
set(SCANVANE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

# SSE arithmetic, as on every other build (already x86-64's default; said
# here so that no other default can bring x87 back). The 64-bit Windows ABI
# keeps the stack 16-byte aligned at every call, so nothing is realigned.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-toolchain.cmake)
