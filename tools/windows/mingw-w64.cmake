# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (the posix
# thread model, for std::thread and std::mutex).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(PM_MINGW x86_64-w64-mingw32)
set(CMAKE_CXX_COMPILER ${PM_MINGW}-g++-posix)
set(CMAKE_C_COMPILER ${PM_MINGW}-gcc-posix)
set(CMAKE_RC_COMPILER ${PM_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${PM_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
