# Cross-build for Windows with Debian's mingw-w64 (x86_64, posix threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(LINKWELL_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_C_COMPILER ${LINKWELL_MINGW_PREFIX}-gcc-posix REQUIRED)
find_program(CMAKE_CXX_COMPILER ${LINKWELL_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_RC_COMPILER ${LINKWELL_MINGW_PREFIX}-windres REQUIRED)
set(CMAKE_FIND_ROOT_PATH /usr/${LINKWELL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# GCC 12's -Wrestrict reports false positives inside libstdc++'s string code
# when optimising for this target.
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
