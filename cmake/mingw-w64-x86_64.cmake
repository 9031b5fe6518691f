# Windows programs built on this machine with Debian's mingw-w64 (the posix
# thread model, which std::jthread and std::stop_token need), for 64-bit
# Windows 10 and later: cmake --preset windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KORVANE_MINGW_TARGET x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${KORVANE_MINGW_TARGET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KORVANE_MINGW_TARGET}-g++-posix)
set(CMAKE_RC_COMPILER ${KORVANE_MINGW_TARGET}-windres)

# Libraries and headers of the target only (zlib, the Windows SDK); the
# build's tools are this machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${KORVANE_MINGW_TARGET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Every program carries its C and C++ runtime and threads: it imports only
# the system's own DLLs, so it runs from any folder without an installer.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(ZLIB_USE_STATIC_LIBS ON)
