# Cross build of the 64-bit Windows DLL.
set(quorvel_mingw_processor x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
