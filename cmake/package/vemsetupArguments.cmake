# The vempack build options that vemsetup_add_setup and the CPack script
# share. Included by vemsetupConfig.cmake and vemsetupCPackExternal.cmake.
include_guard(GLOBAL)

# vemsetup_packer_arguments(<out-var> <vempack> [ARCH 32|64] [CODEPAGE N]
#     [LAUNCH entry | NO_LAUNCH] [PRODUCT name] [PUBLISHER name]
#     [VERSION version] [PROGRAM entry])
# The options for `vempack build`. The product description goes to the
# setup's version resource (ProductName, CompanyName, ProductVersion when
# it is numeric) and, where the packer has them, to --product, --publisher,
# --product-version and --program.
function(vemsetup_packer_arguments out vempack)
    cmake_parse_arguments(PARSE_ARGV 2 arg "NO_LAUNCH"
        "ARCH;CODEPAGE;LAUNCH;PRODUCT;PUBLISHER;VERSION;PROGRAM" "")
    if(arg_UNPARSED_ARGUMENTS)
        message(FATAL_ERROR "vemsetup: unknown arguments: ${arg_UNPARSED_ARGUMENTS}")
    endif()
    if(arg_LAUNCH AND arg_NO_LAUNCH)
        message(FATAL_ERROR "vemsetup: LAUNCH and NO_LAUNCH exclude each other")
    endif()
    set(args "")
    if(arg_ARCH)
        if(NOT arg_ARCH MATCHES "^(32|64)$")
            message(FATAL_ERROR "vemsetup: ARCH ${arg_ARCH} is not 32 or 64")
        endif()
        list(APPEND args --arch ${arg_ARCH})
    endif()
    if(arg_CODEPAGE)
        list(APPEND args --codepage ${arg_CODEPAGE})
    endif()
    if(arg_LAUNCH)
        list(APPEND args --launch "${arg_LAUNCH}")
    elseif(arg_NO_LAUNCH)
        list(APPEND args --no-launch)
    endif()

    # Which options this packer has, asked once per run.
    get_property(help GLOBAL PROPERTY vemsetup_build_help)
    if(NOT help)
        execute_process(COMMAND "${vempack}" build --help OUTPUT_VARIABLE help
                        RESULT_VARIABLE result ERROR_QUIET)
        if(NOT result EQUAL 0)
            message(FATAL_ERROR "vemsetup: '${vempack} build --help' failed (${result})")
        endif()
        set_property(GLOBAL PROPERTY vemsetup_build_help "${help}")
    endif()
    string(FIND "${help}" "--product" product_at)
    foreach(pair "PRODUCT;--product" "PUBLISHER;--publisher" "VERSION;--product-version"
                 "PROGRAM;--program")
        list(GET pair 0 key)
        list(GET pair 1 option)
        if(arg_${key} AND NOT product_at EQUAL -1)
            list(APPEND args ${option} "${arg_${key}}")
        endif()
    endforeach()
    if(arg_PRODUCT)
        list(APPEND args --version-info "ProductName=${arg_PRODUCT}")
    endif()
    if(arg_PUBLISHER)
        list(APPEND args --version-info "CompanyName=${arg_PUBLISHER}")
    endif()
    if(arg_VERSION MATCHES "^[0-9]+(\\.[0-9]+)?(\\.[0-9]+)?(\\.[0-9]+)?$")
        list(APPEND args --version-info "ProductVersion=${arg_VERSION}")
    endif()
    set(${out} "${args}" PARENT_SCOPE)
endfunction()
