# Shared by the two MinGW-w64 toolchains; TARVIK_MINGW_TRIPLE names the target.
set(CMAKE_SYSTEM_NAME Windows)
# The thread model of the C++ runtime. posix (the default): GoogleTest needs std::mutex,
# which the win32 model lacks, and the posix runtime brings winpthread with it. win32:
# the shipping build, which builds no tests and uses no standard threads.
if(NOT TARVIK_MINGW_THREADS)
  set(TARVIK_MINGW_THREADS posix)
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TARVIK_MINGW_THREADS)
set(CMAKE_C_COMPILER ${TARVIK_MINGW_TRIPLE}-gcc-${TARVIK_MINGW_THREADS})
set(CMAKE_CXX_COMPILER ${TARVIK_MINGW_TRIPLE}-g++-${TARVIK_MINGW_THREADS})
set(CMAKE_RC_COMPILER ${TARVIK_MINGW_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${TARVIK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Test programs are linked statically so that they run under wine without the
# toolchain's runtime DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Windows programs built here run under wine64 (see scripts/wine-run).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run)
