# The same sources for 64-bit Windows (x86-64): the Windows tests run against this build under
# 64-bit Wine where the machine cannot run 32-bit programs.
set(MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
