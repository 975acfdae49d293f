# The part of the mingw-w64 cross-builds that both targets share; the
# including file sets CMAKE_SYSTEM_PROCESSOR and LINKWELL_MINGW_PREFIX.
set(CMAKE_SYSTEM_NAME Windows)
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
