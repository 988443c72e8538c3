# The uninstaller of described setups on Windows: the Win32 platform
# without the setup's entry, its own entry, and resources of its own (the
# setup's manifest, a version resource, no payload).
#
#   include(Win32Uninstaller)
#   vemsetup_add_win32_uninstaller(vemuninstall <logic library>)
include_guard(GLOBAL)
include(${CMAKE_CURRENT_LIST_DIR}/Win32Stub.cmake)

function(vemsetup_add_win32_uninstaller target logic)
    set(sources ${VEMSETUP_PLATFORM_WIN32_SOURCES})
    list(REMOVE_ITEM sources ${VEMSETUP_WIN32_DIR}/winmain.cpp)
    add_executable(${target} WIN32 ${sources} ${VEMSETUP_WIN32_DIR}/uninstall_winmain.cpp)
    target_include_directories(${target} PRIVATE "${VEMSETUP_ROOT_DIR}/src")
    vemsetup_win32_size_options(${target})
    target_link_options(${target} PRIVATE ${VEMSETUP_WIN32_LINK_OPTIONS})
    target_link_libraries(${target} PRIVATE ${logic} LibLZMA::LibLZMA ${VEMSETUP_WIN32_LIBRARIES})

    vemsetup_win32_manifest(${target} VEMSETUP_RC_MANIFEST_FILE)
    set(VEMSETUP_RC_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
    string(REPLACE "." "," VEMSETUP_RC_VERSION_COMMAS "${VEMSETUP_RC_VERSION}")
    set(rc_file "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
    set(rc_object "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.o")
    configure_file("${VEMSETUP_WIN32_DIR}/vemuninstall.rc.in" "${rc_file}" @ONLY)
    add_custom_command(
        OUTPUT "${rc_object}"
        COMMAND "${CMAKE_RC_COMPILER}" --input-format=rc --output-format=coff
                -i "${rc_file}" -o "${rc_object}"
        DEPENDS "${rc_file}" "${VEMSETUP_RC_MANIFEST_FILE}"
        COMMENT "Compiling resources of ${target}"
        VERBATIM)
    target_sources(${target} PRIVATE "${rc_object}")
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
endfunction()
