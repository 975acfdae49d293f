# Cross-build for Windows with Debian's mingw-w64 (x86_64, posix threads).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LINKWELL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
