# Cross-compiling the same code for x86_64 Windows, so that it runs under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KOVA_MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# GoogleTest needs std::mutex, which only the posix thread model provides. The
# stub uses no threads and so imports nothing more with it (checked by
# scripts/check-stub.py).
set(CMAKE_C_COMPILER ${KOVA_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KOVA_MINGW_TRIPLE}-g++-posix)
# CTest runs the Windows unit suite through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
