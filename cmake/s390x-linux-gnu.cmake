# big-endian s390x Linux:
#   cmake -S . -B build-s390x -DCMAKE_TOOLCHAIN_FILE=cmake/s390x-linux-gnu.cmake
set(KV_CROSS s390x)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
