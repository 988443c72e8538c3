# In a cross build the packer must run on the build machine, so tools/ is
# built as a project of its own (it can be the top-level project) with the
# host's compilers, as an external project: configured and built during the
# build, before anything that packs a payload, and brought up to date
# whenever tools/ changes.
#
# Sets VEMPACK_EXECUTABLE (path of the host packer) and VEMPACK_DEPENDS (the
# target that builds it).
include(ExternalProject)

# The cross toolchain has taken over CMAKE_CXX_COMPILER; the host project
# gets the build machine's own compiler explicitly, so that a CXX set in the
# environment for the cross build cannot leak into it.
find_program(VEMSETUP_HOST_CXX_COMPILER NAMES c++ g++ clang++ NO_CMAKE_FIND_ROOT_PATH)
if(NOT VEMSETUP_HOST_CXX_COMPILER)
    message(FATAL_ERROR "No host C++ compiler found for the packer; run scripts/install-deps.sh")
endif()

set(VEMSETUP_HOST_TOOLS_BINARY_DIR "${CMAKE_BINARY_DIR}/host-tools")
set(VEMPACK_EXECUTABLE "${VEMSETUP_HOST_TOOLS_BINARY_DIR}/vempack${CMAKE_HOST_EXECUTABLE_SUFFIX}")

ExternalProject_Add(vempack_host
    SOURCE_DIR "${PROJECT_SOURCE_DIR}/tools"
    BINARY_DIR "${VEMSETUP_HOST_TOOLS_BINARY_DIR}"
    CMAKE_ARGS
        -DCMAKE_BUILD_TYPE=Release
        -DCMAKE_CXX_COMPILER=${VEMSETUP_HOST_CXX_COMPILER}
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target vempack
    INSTALL_COMMAND ""
    # The sub-build decides itself what is out of date.
    BUILD_ALWAYS ON
    BUILD_BYPRODUCTS "${VEMPACK_EXECUTABLE}")

set(VEMPACK_DEPENDS vempack_host)
