# Cross build for 64-bit Windows with MinGW-w64 (Debian: g++-mingw-w64-x86-64-posix).
# The posix thread model is needed: the win32 one has no std::mutex.
#
# The whole program also needs Qt and SQLite built for Windows: name their
# folder (the one scripts/windows/deps-cache.sh prints, holding qt/ and
# sqlite/) in VEMO_WINDOWS_DEPS, and the host's Qt tools in QT_HOST_PATH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VEMO_MINGW_PREFIX x86_64-w64-mingw32)
find_program(CMAKE_CXX_COMPILER NAMES ${VEMO_MINGW_PREFIX}-g++-posix REQUIRED)
find_program(CMAKE_C_COMPILER NAMES ${VEMO_MINGW_PREFIX}-gcc-posix)
find_program(CMAKE_RC_COMPILER NAMES ${VEMO_MINGW_PREFIX}-windres)

# Checks of the compiler run in projects of their own: they get the folder too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES VEMO_WINDOWS_DEPS)

set(CMAKE_FIND_ROOT_PATH /usr/${VEMO_MINGW_PREFIX})
if(VEMO_WINDOWS_DEPS)
  list(APPEND CMAKE_FIND_ROOT_PATH ${VEMO_WINDOWS_DEPS}/qt ${VEMO_WINDOWS_DEPS}/sqlite)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

if(VEMO_WINDOWS_DEPS)
  # Qt's DLLs use the MinGW runtime DLLs shipped beside them; the program uses
  # the same ones, so one C++ runtime serves both sides of every Qt call.
else()
  # Self-contained executables: no MinGW runtime DLL has to be found beside them.
  set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
endif()

# Test executables run through Wine unless the caller names another runner.
if(NOT DEFINED CMAKE_CROSSCOMPILING_EMULATOR)
  find_program(VEMO_WINE NAMES wine)
  if(VEMO_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${VEMO_WINE})
  endif()
endif()
