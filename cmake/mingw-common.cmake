# Shared part of the mingw-w64 toolchains; SFX_MINGW_TRIPLE names the target.
# The -posix compilers are used because GoogleTest needs std::mutex; programs that do not
# use C++ threads still import nothing but KERNEL32 and msvcrt from them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${SFX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${SFX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${SFX_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${SFX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
