# Shared part of the MinGW-w64 toolchain files. Debian installs the win32 thread
# model as the default alternative; the stub needs no threads at all.
set(CMAKE_C_COMPILER ${KOVA_MINGW_TRIPLE}-gcc)
set(CMAKE_CXX_COMPILER ${KOVA_MINGW_TRIPLE}-g++)
set(CMAKE_RC_COMPILER ${KOVA_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KOVA_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
