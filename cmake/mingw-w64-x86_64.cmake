# Cross-build for 64-bit Windows with mingw-w64; an option (Debian package
# g++-mingw-w64-x86-64-posix): the shipped exe is 32-bit, see mingw-w64-i686.cmake.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MINGW_TRIPLE x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-common.cmake)
