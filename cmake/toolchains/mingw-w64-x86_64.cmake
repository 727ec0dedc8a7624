# Cross-builds the Windows DLLs and test programs on Debian with mingw-w64 (posix threads, for
# std::thread and std::mutex), and runs the test programs through Wine.
#
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(mingw_triple x86_64-w64-mingw32)

set(CMAKE_C_COMPILER ${mingw_triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${mingw_triple}-g++-posix)
set(CMAKE_RC_COMPILER ${mingw_triple}-windres)

# Headers and libraries come from the mingw sysroot only, programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${mingw_triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The packages Debian has no mingw build of: GoogleTest is compiled from Debian's sources, the
# header-only JSON library is used from a copy of its headers (the Linux include directory must
# never reach the cross compiler). The package configurations beside this file say how.
set(GTest_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64 CACHE PATH "GoogleTest for mingw-w64")
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/mingw-w64-x86_64
    CACHE PATH "nlohmann JSON headers for mingw-w64")

# The C and C++ runtimes are linked in, so that the DLLs and programs import only system DLLs
# and our own, whatever MinGW runtime the machine (or Wine) has.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
# Only what our code marks __declspec(dllexport) leaves a DLL: never the runtime linked in.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++ -Wl,--exclude-all-symbols")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run through Wine; scripts/test-windows gives them a prefix of the build's own.
find_program(BROCADE_WINE wine REQUIRED)
set(CMAKE_CROSSCOMPILING_EMULATOR ${BROCADE_WINE})
