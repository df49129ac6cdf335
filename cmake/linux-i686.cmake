# Linux on 32-bit x86 (arithmetic in SSE2, see CMakeLists.txt), run here under qemu-user.
set(LINUX_TRIPLET i686-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(LINUX_QEMU /usr/bin/qemu-i386)
# An emulated processor without AVX2: qemu 7.2's AVX2 masked load (vpmaskmovd) faults on lanes
# its mask leaves out, where a real processor never touches memory, and the radial blur's AVX2
# code relies on that at the frame's edges. SSE2 and the plain code are checked here; the AVX2
# and AVX-512 forms on the real processor of the native build.
set(LINUX_QEMU_OPTIONS -cpu max,-avx2)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
