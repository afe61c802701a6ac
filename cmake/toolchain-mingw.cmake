# What the MinGW-w64 cross builds share (win32 thread model); the toolchain file of each
# architecture sets quorvel_mingw_processor (i686 or x86_64) and includes this.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${quorvel_mingw_processor})
set(CMAKE_C_COMPILER ${quorvel_mingw_processor}-w64-mingw32-gcc-win32)
set(CMAKE_CXX_COMPILER ${quorvel_mingw_processor}-w64-mingw32-g++-win32)
set(CMAKE_RC_COMPILER ${quorvel_mingw_processor}-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${quorvel_mingw_processor}-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
