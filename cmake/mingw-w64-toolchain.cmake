# What the two MinGW-w64 toolchain files share. Each sets
# SCANVANE_MINGW_PREFIX (the target triplet), CMAKE_SYSTEM_PROCESSOR and its
# own code-generation flags, then includes this file.
set(CMAKE_SYSTEM_NAME Windows)

# The posix thread model: its C++ library has std::thread, which the
# all-cores drawing (render/bands.cpp) needs. Its winpthread is linked in
# statically below, so libwinpthread-1.dll stays out of the import table.
find_program(CMAKE_C_COMPILER NAMES ${SCANVANE_MINGW_PREFIX}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${SCANVANE_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${SCANVANE_MINGW_PREFIX}-windres REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${SCANVANE_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# No libgcc, libstdc++ or winpthread DLLs beside the executables: only the
# system's own libraries are imported.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
# The shipped executables carry no symbol table.
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
