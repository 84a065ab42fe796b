# Cross-compiles the 32-bit Windows program with Debian's MinGW-w64
# (g++-mingw-w64-i686, mingw-w64-i686-dev).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86)

set(SCANVANE_MINGW_PREFIX i686-w64-mingw32)
# The win32 thread model: nothing of ours uses threads, and it keeps
# libwinpthread-1.dll out of the import table.
find_program(CMAKE_C_COMPILER NAMES ${SCANVANE_MINGW_PREFIX}-gcc-win32 ${SCANVANE_MINGW_PREFIX}-gcc REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${SCANVANE_MINGW_PREFIX}-g++-win32 ${SCANVANE_MINGW_PREFIX}-g++ REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${SCANVANE_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${SCANVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Exact single-precision floats need SSE rather than x87 on 32-bit x86.
# Windows only promises a 4-byte aligned stack when it calls into us (the
# window procedure, WinMain), so functions that keep SSE values on the
# stack realign it themselves.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse -mstackrealign")
# No libgcc, libstdc++ or winpthread DLLs beside the executables: only the
# system's own libraries are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
# The shipped executables carry no symbol table.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
