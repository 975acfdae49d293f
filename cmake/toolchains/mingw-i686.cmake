# Cross-build for Windows with Debian's mingw-w64 (i686, posix threads).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LINKWELL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
