# 32-bit Windows, the system the show was made for. Built and linked here, never run: this
# kernel refuses 32-bit x86 programs. The project adds -msse2 -mfpmath=sse for 32-bit targets,
# so that floating point gives the same bits as the 64-bit build.
set(MINGW_TRIPLET i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
