# ARM64 Linux:
#   cmake -S . -B build-aarch64 -DCMAKE_TOOLCHAIN_FILE=cmake/aarch64-linux-gnu.cmake
set(KV_CROSS aarch64)
include(${CMAKE_CURRENT_LIST_DIR}/linux-cross.cmake)
