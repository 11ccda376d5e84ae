# Cross-builds the tools for another Linux processor (KV_CROSS, set by the
# toolchain file that includes this one) with Debian's cross compilers,
# statically, and runs what the build and the tests run under qemu-user.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR ${KV_CROSS})
set(CMAKE_CXX_COMPILER ${KV_CROSS}-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/${KV_CROSS}-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-${KV_CROSS})
