# Cross build for 32-bit Windows (PE32) with Debian's mingw-w64 i686
# (package g++-mingw-w64-i686).
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VEMSETUP_MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/MingwToolchain.cmake)
