# Cross build of the product: the 32-bit Windows DLL.
set(quorvel_mingw_processor i686)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
