# Cross-compiles the 64-bit Windows program with Debian's MinGW-w64
# (g++-mingw-w64-x86-64, mingw-w64-x86-64-dev).
set(SCANVANE_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

# SSE arithmetic, as on every other build (already x86-64's default; said
# here so that no other default can bring x87 back). The 64-bit Windows ABI
# keeps the stack 16-byte aligned at every call, so nothing is realigned.
# Its GCC does not align the stack for 32- and 64-byte values, though, and
# spills them with aligned moves: the assembler turns every aligned vector
# move into an unaligned one (the same speed on aligned data), which is what
# lets the wide span fills into this build (SCANVANE_UNALIGNED_VECTOR_MOVES).
set(SCANVANE_WIN64_FLAGS "-msse2 -mfpmath=sse -Wa,-muse-unaligned-vector-move -DSCANVANE_UNALIGNED_VECTOR_MOVES")
set(CMAKE_C_FLAGS_INIT "${SCANVANE_WIN64_FLAGS}")
set(CMAKE_CXX_FLAGS_INIT "${SCANVANE_WIN64_FLAGS}")

include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-toolchain.cmake)
