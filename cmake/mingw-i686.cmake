# 32-bit Windows cross build; tests run under 32-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARNBELL_MINGW_TRIPLE i686-w64-mingw32)
set(TARNBELL_WINDOWS_BUILD win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
