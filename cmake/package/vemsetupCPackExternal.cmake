# A CPack External generator script that turns the staged install tree into
# <name>-<version>-setup.exe:
#
#   find_package(vemsetup CONFIG REQUIRED)
#   set(CPACK_GENERATOR External)
#   set(CPACK_EXTERNAL_ENABLE_STAGING ON)
#   set(CPACK_EXTERNAL_PACKAGE_SCRIPT "${VEMSETUP_CPACK_EXTERNAL_SCRIPT}")
#   include(CPack)
#
# The product description comes from CPACK_PACKAGE_NAME, CPACK_PACKAGE_VENDOR
# and CPACK_PACKAGE_VERSION. Every staged file is installed (no entry is
# designated) unless CPACK_VEMSETUP_LAUNCH names the entry to start;
# CPACK_VEMSETUP_ARCH, CPACK_VEMSETUP_CODEPAGE and CPACK_VEMSETUP_PROGRAM
# are passed on as ARCH, CODEPAGE and PROGRAM.
include("${CMAKE_CURRENT_LIST_DIR}/vemsetupArguments.cmake")

get_filename_component(vemsetup_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
set(vemsetup_vempack "${vemsetup_prefix}/bin/vempack")
if(NOT EXISTS "${vemsetup_vempack}")
    set(vemsetup_vempack "${vemsetup_vempack}.exe")
endif()

set(vemsetup_root "${CPACK_TEMPORARY_DIRECTORY}")
if(CPACK_PACKAGING_INSTALL_PREFIX AND NOT CPACK_PACKAGING_INSTALL_PREFIX STREQUAL "/")
    string(APPEND vemsetup_root "/${CPACK_PACKAGING_INSTALL_PREFIX}")
endif()
if(NOT IS_DIRECTORY "${vemsetup_root}")
    message(FATAL_ERROR "vemsetup: no staged tree at ${vemsetup_root}; "
                        "set(CPACK_EXTERNAL_ENABLE_STAGING ON)")
endif()

set(vemsetup_options ARCH "${CPACK_VEMSETUP_ARCH}" CODEPAGE "${CPACK_VEMSETUP_CODEPAGE}"
    PRODUCT "${CPACK_PACKAGE_NAME}" PUBLISHER "${CPACK_PACKAGE_VENDOR}"
    VERSION "${CPACK_PACKAGE_VERSION}" PROGRAM "${CPACK_VEMSETUP_PROGRAM}")
if(CPACK_VEMSETUP_LAUNCH)
    list(APPEND vemsetup_options LAUNCH "${CPACK_VEMSETUP_LAUNCH}")
else()
    list(APPEND vemsetup_options NO_LAUNCH)
endif()
vemsetup_packer_arguments(vemsetup_args "${vemsetup_vempack}" ${vemsetup_options})

set(vemsetup_output
    "${CPACK_PACKAGE_DIRECTORY}/${CPACK_PACKAGE_NAME}-${CPACK_PACKAGE_VERSION}-setup.exe")
execute_process(
    COMMAND "${vemsetup_vempack}" build -o "${vemsetup_output}" ${vemsetup_args} --
            "${vemsetup_root}/"
    RESULT_VARIABLE vemsetup_result)
if(NOT vemsetup_result EQUAL 0)
    message(FATAL_ERROR "vemsetup: vempack build failed (${vemsetup_result})")
endif()
set(CPACK_EXTERNAL_BUILT_PACKAGES "${vemsetup_output}")
