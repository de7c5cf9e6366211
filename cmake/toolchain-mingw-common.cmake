# Cross-compiling for Windows with Debian's MinGW-w64 (the POSIX thread model, which gives
# std::thread and std::mutex). The including file sets BRINDLE_MINGW_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${BRINDLE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRINDLE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${BRINDLE_MINGW_TRIPLET}-windres)

# Libraries and headers come from the MinGW sysroot and the dependency prefix that
# scripts/setup-windows builds; programs run on the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${BRINDLE_MINGW_TRIPLET})
if(BRINDLE_WINDOWS_PREFIX)
    list(APPEND CMAKE_FIND_ROOT_PATH ${BRINDLE_WINDOWS_PREFIX})
endif()
set(CMAKE_TRY_COMPILE_PLATFORM_VARIABLES BRINDLE_WINDOWS_PREFIX)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
