# Windows cross build with mingw-w64, shared by both bitnesses: the
# toolchain file names the compiler triple and the Wine build that runs
# its tests.
set(CMAKE_SYSTEM_NAME Windows)
# The Win32 thread model: its C++ runtime calls the system directly, where
# the POSIX model links a threads library into every shipped file. Nothing
# here needs std::thread or std::mutex.
set(CMAKE_C_COMPILER ${TARNBELL_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TARNBELL_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${TARNBELL_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARNBELL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../scripts/with-wine.sh ${TARNBELL_WINDOWS_BUILD} wine)
