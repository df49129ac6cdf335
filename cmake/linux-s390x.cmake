# Linux on IBM Z, big-endian, run here under qemu-user.
set(LINUX_TRIPLET s390x-linux-gnu)
set(CMAKE_SYSTEM_PROCESSOR s390x)
set(LINUX_QEMU /usr/bin/qemu-s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
