# Cross-compiling the shipped Windows i686 binaries with MinGW-w64 (win32 thread model: its
# runtime calls nothing newer than Windows XP).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLE i686-w64-mingw32)
set(MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
