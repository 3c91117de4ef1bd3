# Cross-compiling the shipped Windows x86_64 binaries with MinGW-w64 (win32 thread model: its
# runtime calls nothing newer than Windows XP x64 and Server 2003).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(MINGW_THREADS win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
