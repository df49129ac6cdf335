# Shared part of the two Windows toolchains: Debian's mingw-w64 cross compilers, in their posix
# thread model (std::thread and std::mutex need it). The including file sets MINGW_TRIPLET.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

# Headers and libraries come from the cross environment only; programs from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The Windows calling convention keeps the stack aligned to 16 bytes on 64-bit Windows (4 on
# 32-bit), and GCC for Windows cannot realign it further on 64-bit Windows, yet it may keep the
# 32- and 64-byte values of the AVX2 and AVX-512 code on the stack with aligned moves: they would
# fault whenever the stack happens to sit 16 bytes off. Debian's cross compiler is patched to
# emit unaligned moves there, other builds of GCC are not. The assembler is told to write every
# aligned vector move as the unaligned one, which costs nothing on aligned data, so the program
# is safe whichever compiler made it. The option needs binutils 2.38 or later.
execute_process(COMMAND ${MINGW_TRIPLET}-as --help OUTPUT_VARIABLE MINGW_AS_HELP ERROR_QUIET)
if(NOT MINGW_AS_HELP MATCHES "-muse-unaligned-vector-move")
    message(FATAL_ERROR "${MINGW_TRIPLET}-as lacks -muse-unaligned-vector-move (binutils 2.38 or "
                        "later has it): without it, vector code may fault on Windows")
endif()
# (A compile option rather than an initial flag, so that a build folder configured before gets it
# too; tests/windows/vector_moves.sh checks that it works.)
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-Wa,-muse-unaligned-vector-move>)
