# vempack.exe: the packer for Windows, cross-compiled from tools/ with the
# same mingw-w64 toolchain as the stub, as a project of its own (it needs
# the C++ runtime and exceptions, which the stub's build leaves out) and a
# liblzma with the encoder. Built by the win64 preset into
# build/win64/windows-packer/vempack.exe.
include_guard(GLOBAL)
include(ExternalProject)

set(VEMPACK_WINDOWS_LIBLZMA_PREFIX
    "${PROJECT_SOURCE_DIR}/.deps/liblzma-packer-${VEMSETUP_MINGW_TRIPLET}"
    CACHE PATH "Where the static liblzma with the encoder for vempack.exe is installed")
# Built when vempack.exe is first built, not at configure time: a build of
# the stub alone does not wait for it.
add_custom_command(
    OUTPUT "${VEMPACK_WINDOWS_LIBLZMA_PREFIX}/lib/liblzma.a"
    COMMAND ${CMAKE_COMMAND} -E env LIBLZMA_VARIANT=packer
            "LIBLZMA_PREFIX=${VEMPACK_WINDOWS_LIBLZMA_PREFIX}"
            "${PROJECT_SOURCE_DIR}/scripts/build-liblzma-win32.sh" "${VEMSETUP_MINGW_TRIPLET}"
    COMMENT "Building liblzma with the encoder for vempack.exe"
    VERBATIM)
add_custom_target(vempack_windows_liblzma
    DEPENDS "${VEMPACK_WINDOWS_LIBLZMA_PREFIX}/lib/liblzma.a")

ExternalProject_Add(vempack_windows
    SOURCE_DIR "${PROJECT_SOURCE_DIR}/tools"
    BINARY_DIR "${PROJECT_BINARY_DIR}/windows-packer"
    CMAKE_ARGS
        -DCMAKE_TOOLCHAIN_FILE=${CMAKE_TOOLCHAIN_FILE}
        -DCMAKE_BUILD_TYPE=Release
        -DVEMPACK_LIBLZMA_PREFIX=${VEMPACK_WINDOWS_LIBLZMA_PREFIX}
        -DCMAKE_CXX_FLAGS=-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target vempack
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS "${PROJECT_BINARY_DIR}/windows-packer/vempack.exe"
    DEPENDS vempack_windows_liblzma)
