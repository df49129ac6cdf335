# 32-bit Windows, the system the show was made for. Built and linked here, never run: this
# kernel refuses 32-bit x86 programs. The project adds -msse2 -mfpmath=sse for 32-bit targets,
# so that floating point gives the same bits as the 64-bit build.
set(MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)

# 32-bit Windows promises only 4-byte stack alignment, while the SSE2 code keeps 16-byte values
# on the stack and uses them as operands that must be aligned (paddd, mulps, ...), and the AVX
# code keeps 32- and 64-byte ones. GCC realigns the stack of such functions with -mstackrealign,
# which GCC for 32-bit Windows turns on by itself when SSE is enabled; it is asked for here so
# that no compiler's default decides it.
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-mstackrealign>)
