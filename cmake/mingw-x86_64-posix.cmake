# Cross-compiling the Windows x86_64 test programs and development tools with MinGW-w64 (posix
# thread model: GoogleTest and the tests need std::thread and std::mutex, which the win32
# variant of this compiler lacks). Nothing built with it ships.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
