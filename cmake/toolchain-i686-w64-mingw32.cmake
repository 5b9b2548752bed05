# Cross toolchain for the 32-bit plug-in. The -posix compilers are required:
# the win32 thread variant has no std::mutex, which GoogleTest needs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR X86)
set(VSL_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${VSL_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VSL_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VSL_TRIPLE}-windres)
set(CMAKE_ASM_NASM_COMPILER nasm)
# ctest and try_run start the built programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
set(CMAKE_FIND_ROOT_PATH /usr/${VSL_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
