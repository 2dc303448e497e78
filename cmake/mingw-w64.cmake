# Cross-builds the Windows programs (64-bit, console) from Linux with Debian's
# mingw-w64 compilers. The posix-threads variant is the one whose libstdc++ has
# std::thread and std::mutex. Everything is linked statically so that each .exe
# runs on a bare Windows (or Wine) with no mingw DLLs beside it.
#
#   cmake -S . -B build/windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VZ_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VZ_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VZ_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${VZ_MINGW_TRIPLET}-windres)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Libraries and headers come from the mingw sysroot only, never from the host's
# /usr; programs (generators, tools) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${VZ_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Neither GoogleTest nor CLI11 is packaged for mingw: GoogleTest is built from
# Debian's source package with this compiler and CLI11 is header-only.
set(VZ_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources to build with the project")
set(VZ_CLI11_INCLUDE_DIR /usr/include CACHE PATH "Directory holding CLI/CLI.hpp")

# Test programs run under Wine; tests are listed when ctest runs, not at build
# time, so building needs no Wine prefix.
find_program(VZ_WINE wine)
if(VZ_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VZ_WINE})
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
