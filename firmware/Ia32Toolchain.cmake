# The IA32 firmware toolchain: Debian's clang for the 32-bit x86 target with
# the MSVC-style ABI (PE/COFF objects, cdecl, UINT64 aligned to 8), linked
# by lld-link into PE32 images. Nothing of a host C or C++ runtime is used.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(ZOR_FIRMWARE_TARGET i686-unknown-windows-msvc)
set(CMAKE_C_COMPILER clang)
set(CMAKE_CXX_COMPILER clang++)
# Given as a flag: CMake passes CMAKE_<LANG>_COMPILER_TARGET only to compilers
# it does not take for MSVC look-alikes, and this target is one.
set(CMAKE_C_FLAGS_INIT "--target=${ZOR_FIRMWARE_TARGET}")
set(CMAKE_CXX_FLAGS_INIT "--target=${ZOR_FIRMWARE_TARGET}")

find_program(CMAKE_AR NAMES llvm-ar REQUIRED)
find_program(CMAKE_RANLIB NAMES llvm-ranlib REQUIRED)
find_program(ZOR_LLD_LINK NAMES lld-link REQUIRED)

# Compiler checks build a library only: a program would need the runtime
# that firmware does not have.
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)
