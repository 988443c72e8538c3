# The vemsetup package: find_package(vemsetup CONFIG) from an installed
# release (PREFIX/lib/cmake/vemsetup/) gives
#
#   vemsetup::vempack                the packer, an imported executable
#   vemsetup_add_setup(<target> OUTPUT <file> [ARCH 32|64] [CODEPAGE N]
#       [LAUNCH entry | NO_LAUNCH]
#       [PRODUCT name] [PUBLISHER name] [VERSION version] [PROGRAM entry]
#       [FILES [NAME=]file...] [DIRECTORIES [NAME=]dir...] [DEPENDS ...])
#                                    a target that runs `vempack build` at
#                                    build time, again whenever an input changes
#   VEMSETUP_CPACK_EXTERNAL_SCRIPT   for set(CPACK_GENERATOR External) and
#                                    set(CPACK_EXTERNAL_PACKAGE_SCRIPT ...)
#
# FILES and DIRECTORIES are vempack's inputs (NAME=PATH, DIR, DIR/), relative
# paths taken from the current source folder; generator expressions such as
# $<TARGET_FILE:app> may stand for a path.
include_guard(GLOBAL)
include("${CMAKE_CURRENT_LIST_DIR}/vemsetupArguments.cmake")

get_filename_component(_vemsetup_prefix "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
set(_vemsetup_vempack "${_vemsetup_prefix}/bin/vempack${CMAKE_HOST_EXECUTABLE_SUFFIX}")
if(NOT EXISTS "${_vemsetup_vempack}")
    set(vemsetup_FOUND FALSE)
    set(vemsetup_NOT_FOUND_MESSAGE "the packer ${_vemsetup_vempack} is missing")
    return()
endif()
if(NOT TARGET vemsetup::vempack)
    add_executable(vemsetup::vempack IMPORTED)
    set_target_properties(vemsetup::vempack PROPERTIES IMPORTED_LOCATION "${_vemsetup_vempack}")
endif()
set(VEMSETUP_VEMPACK_EXECUTABLE "${_vemsetup_vempack}")
set(VEMSETUP_CPACK_EXTERNAL_SCRIPT "${CMAKE_CURRENT_LIST_DIR}/vemsetupCPackExternal.cmake")

# An input made absolute from the current source folder, keeping NAME= and
# a trailing slash; its path (for DEPENDS) in <path-var>.
function(_vemsetup_input out path_out item)
    set(name "")
    set(path "${item}")
    if(item MATCHES "^([^$=]+=)(.*)$")
        set(name "${CMAKE_MATCH_1}")
        set(path "${CMAKE_MATCH_2}")
    endif()
    if(NOT path MATCHES "^\\$<" AND NOT IS_ABSOLUTE "${path}")
        set(path "${CMAKE_CURRENT_SOURCE_DIR}/${path}")
    endif()
    set(${out} "${name}${path}" PARENT_SCOPE)
    set(${path_out} "${path}" PARENT_SCOPE)
endfunction()

function(vemsetup_add_setup target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "NO_LAUNCH"
        "OUTPUT;ARCH;CODEPAGE;LAUNCH;PRODUCT;PUBLISHER;VERSION;PROGRAM"
        "FILES;DIRECTORIES;DEPENDS")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "vemsetup_add_setup: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
    endif()
    if(NOT arg_OUTPUT)
        message(FATAL_ERROR "vemsetup_add_setup(${target}): OUTPUT <file> is required")
    endif()
    if(NOT arg_FILES AND NOT arg_DIRECTORIES)
        message(FATAL_ERROR "vemsetup_add_setup(${target}): no FILES or DIRECTORIES")
    endif()
    set(output "${arg_OUTPUT}")
    if(NOT IS_ABSOLUTE "${output}")
        set(output "${CMAKE_CURRENT_BINARY_DIR}/${output}")
    endif()
    set(options "")
    foreach(key ARCH CODEPAGE LAUNCH PRODUCT PUBLISHER VERSION PROGRAM)
        if(DEFINED arg_${key})
            list(APPEND options ${key} "${arg_${key}}")
        endif()
    endforeach()
    if(arg_NO_LAUNCH)
        list(APPEND options NO_LAUNCH)
    endif()
    vemsetup_packer_arguments(args "${_vemsetup_vempack}" ${options})

    set(inputs "")
    set(depends ${arg_DEPENDS})
    foreach(item IN LISTS arg_FILES)
        _vemsetup_input(input path "${item}")
        list(APPEND inputs "${input}")
        list(APPEND depends "${path}")
    endforeach()
    foreach(item IN LISTS arg_DIRECTORIES)
        _vemsetup_input(input path "${item}")
        list(APPEND inputs "${input}")
        # Every file below, looked at again on each build: a file added,
        # changed or removed rebuilds the setup.
        if(NOT path MATCHES "^\\$<")
            file(GLOB_RECURSE files CONFIGURE_DEPENDS LIST_DIRECTORIES false "${path}/*")
            list(APPEND depends ${files})
        endif()
    endforeach()
    add_custom_command(OUTPUT "${output}"
        COMMAND vemsetup::vempack build -o "${output}" ${args} -- ${inputs}
        DEPENDS ${depends} "${_vemsetup_vempack}"
        COMMENT "Packing the setup ${output}"
        VERBATIM)
    add_custom_target(${target} ALL DEPENDS "${output}")
endfunction()
