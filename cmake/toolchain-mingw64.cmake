# Cross-compiling kaveo for 64-bit Windows with Debian's mingw-w64 (the posix-threads
# compilers, whose C++ runtime has std::thread and std::mutex), from a Linux host:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw64.cmake \
#         -DKAVEO_HOST_RESOURCE_DIR=<host build>/resources
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(kaveo_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${kaveo_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${kaveo_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${kaveo_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${kaveo_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything the compiler brings is linked in (libstdc++, libgcc, winpthread), so the
# executable needs no DLL beside it; -s strips it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -s")

# Test programs run under wine (ctest prefixes them with it).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
