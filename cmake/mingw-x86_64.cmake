# 64-bit Windows cross build; tests run under 64-bit Wine.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARNBELL_MINGW_TRIPLE x86_64-w64-mingw32)
set(TARNBELL_WINDOWS_BUILD win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
