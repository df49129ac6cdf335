# Linux on 32-bit x86 (arithmetic in SSE2, see CMakeLists.txt), run here under qemu-user.
set(LINUX_TRIPLET i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LINUX_QEMU /usr/bin/qemu-i386)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
