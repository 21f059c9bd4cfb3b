# 64-bit Windows: the same sources, for hosts that cannot run 32-bit code.
set(PELMORA_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
