# What both Windows toolchain files share: a cross build with Debian's
# mingw-w64 for the target VEMSETUP_MINGW_TRIPLET, which the including file
# sets along with CMAKE_SYSTEM_PROCESSOR. The posix thread model is not
# needed: the stub is single-threaded, and the win32 variant links no
# winpthread DLL.
set(CMAKE_SYSTEM_NAME Windows)

# Debian installs the compilers as <triplet>-gcc-win32 / -posix with the
# plain name as an alternative; prefer the win32 thread model when present.
find_program(VEMSETUP_MINGW_CC NAMES ${VEMSETUP_MINGW_TRIPLET}-gcc-win32 ${VEMSETUP_MINGW_TRIPLET}-gcc)
find_program(VEMSETUP_MINGW_CXX NAMES ${VEMSETUP_MINGW_TRIPLET}-g++-win32 ${VEMSETUP_MINGW_TRIPLET}-g++)
find_program(VEMSETUP_MINGW_RC NAMES ${VEMSETUP_MINGW_TRIPLET}-windres)
if(NOT VEMSETUP_MINGW_CC OR NOT VEMSETUP_MINGW_CXX OR NOT VEMSETUP_MINGW_RC)
    message(FATAL_ERROR "mingw-w64 for ${VEMSETUP_MINGW_TRIPLET} not found; run scripts/install-deps.sh win32")
endif()

set(CMAKE_C_COMPILER ${VEMSETUP_MINGW_CC})
set(CMAKE_CXX_COMPILER ${VEMSETUP_MINGW_CXX})
set(CMAKE_RC_COMPILER ${VEMSETUP_MINGW_RC})

set(CMAKE_FIND_ROOT_PATH /usr/${VEMSETUP_MINGW_TRIPLET})
# Programs run on the build machine; headers and libraries come from the
# target's root (and from paths given explicitly, such as .deps/).
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
