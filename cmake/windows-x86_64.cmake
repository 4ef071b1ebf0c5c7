# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler (POSIX thread model, which the
# C++ library's threads and mutexes need). Programs are linked statically: a site copies one
# folder of .exe files and needs no compiler runtime beside them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(ZIBROLT_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZIBROLT_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZIBROLT_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${ZIBROLT_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${ZIBROLT_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# --no-insert-timestamp: the link time is left out of the program's header, so that one commit
# gives the same .exe files.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp")
# CMake links a library it found as an archive between -Bstatic and -Bdynamic; the compiler's own
# libraries after it would then be taken as DLLs.
set(CMAKE_LINK_SEARCH_START_STATIC ON)
set(CMAKE_LINK_SEARCH_END_STATIC ON)
# localtime_r and the other reentrant time functions of the C library's POSIX face, and MinGW's
# own printf family: the system's msvcrt printf lacks %zu and formats numbers its own way, and
# every printed line must be the same bytes as on Linux.
# The compiler still checks "printf" formats against msvcrt's rules, which MinGW's printf does
# not follow; the Linux build checks the same format strings.
set(CMAKE_C_FLAGS_INIT "-D_POSIX_THREAD_SAFE_FUNCTIONS -D__USE_MINGW_ANSI_STDIO=1 -Wno-format")
set(CMAKE_CXX_FLAGS_INIT "-D_POSIX_THREAD_SAFE_FUNCTIONS -D__USE_MINGW_ANSI_STDIO=1 -Wno-format")
