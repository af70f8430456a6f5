# The win32 thread model: the programs start no threads, and the posix model would link
# winpthreads into each (some 30 KB) for the runtime's one-time guards alone.
find_program(CMAKE_C_COMPILER NAMES ${triplet}-gcc-win32 REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${triplet}-g++-win32 REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${triplet}-windres REQUIRED)
set(CMAKE_FIND_ROOT_PATH /usr/${triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
