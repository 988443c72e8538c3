# What the stub needs on Windows, 32-bit (i686) or 64-bit (x86_64), as the
# toolchain file chose: the Win32 platform sources, a static decoder-only
# liblzma for that target, size-minded compile and link options, and the
# resources (manifest, version information, the payload as "PACKAGE" 105).
#
#   include(Win32Stub)   (or include(${PROJECT_SOURCE_DIR}/cmake/Win32Stub.cmake))
#   add_executable(vemsetup WIN32 <logic sources> ${VEMSETUP_PLATFORM_WIN32_SOURCES})
#   vemsetup_configure_win32_stub(vemsetup)
#
# A static library whose objects end up in the stub gets the same compile
# options with vemsetup_win32_size_options(<library>).
include_guard(GLOBAL)

get_filename_component(VEMSETUP_ROOT_DIR "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(VEMSETUP_WIN32_DIR "${VEMSETUP_ROOT_DIR}/src/platform/win32")

set(VEMSETUP_PLATFORM_WIN32_SOURCES
    ${VEMSETUP_WIN32_DIR}/dll_search.cpp
    ${VEMSETUP_WIN32_DIR}/files_win32.cpp
    ${VEMSETUP_WIN32_DIR}/links_win32.cpp
    ${VEMSETUP_WIN32_DIR}/memory_win32.cpp
    ${VEMSETUP_WIN32_DIR}/open_rewrite.cpp
    ${VEMSETUP_WIN32_DIR}/operations_win32.cpp
    ${VEMSETUP_WIN32_DIR}/private_directory_win32.cpp
    ${VEMSETUP_WIN32_DIR}/process_win32.cpp
    ${VEMSETUP_WIN32_DIR}/registry_win32.cpp
    ${VEMSETUP_WIN32_DIR}/removal_win32.cpp
    ${VEMSETUP_WIN32_DIR}/resource_win32.cpp
    ${VEMSETUP_WIN32_DIR}/shell_win32.cpp
    ${VEMSETUP_WIN32_DIR}/shelllink_win32.cpp
    ${VEMSETUP_WIN32_DIR}/streams_win32.cpp
    ${VEMSETUP_WIN32_DIR}/system_library.cpp
    ${VEMSETUP_WIN32_DIR}/winmain.cpp
    ${VEMSETUP_WIN32_DIR}/worker_win32.cpp)

# ---- liblzma -----------------------------------------------------------------
# Built once per target, at configure time, by scripts/build-liblzma-win32.sh
# from Debian's xz-utils source (or LIBLZMA_SOURCE_DIR). Debian ships no
# liblzma for mingw, and a decoder-only build keeps the stub small.
if(NOT VEMSETUP_MINGW_TRIPLET)
    message(FATAL_ERROR "VEMSETUP_MINGW_TRIPLET is not set; configure with --preset win32 or win64")
endif()
set(vemsetup_liblzma_default "${VEMSETUP_ROOT_DIR}/.deps/liblzma-${VEMSETUP_MINGW_TRIPLET}")
set(VEMSETUP_LIBLZMA_PREFIX "${vemsetup_liblzma_default}"
    CACHE PATH "Where the static liblzma for ${VEMSETUP_MINGW_TRIPLET} is installed")
# The script returns at once when the library there was built from the same
# source with the same options, and replaces one that was not. A library
# given elsewhere is taken as it is, unless there is none yet.
if(VEMSETUP_LIBLZMA_PREFIX STREQUAL vemsetup_liblzma_default
   OR NOT EXISTS "${VEMSETUP_LIBLZMA_PREFIX}/lib/liblzma.a"
   OR NOT EXISTS "${VEMSETUP_LIBLZMA_PREFIX}/include/lzma.h")
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env "LIBLZMA_PREFIX=${VEMSETUP_LIBLZMA_PREFIX}"
                "${VEMSETUP_ROOT_DIR}/scripts/build-liblzma-win32.sh" "${VEMSETUP_MINGW_TRIPLET}"
        RESULT_VARIABLE liblzma_result)
    if(NOT liblzma_result EQUAL 0)
        message(FATAL_ERROR "scripts/build-liblzma-win32.sh failed (${liblzma_result})")
    endif()
endif()

# The same name FindLibLZMA gives, so that logic targets link it the same way
# in every build. FindLibLZMA itself would reject this library: it demands
# encoder symbols.
if(NOT TARGET LibLZMA::LibLZMA)
    add_library(LibLZMA::LibLZMA STATIC IMPORTED GLOBAL)
    set_target_properties(LibLZMA::LibLZMA PROPERTIES
        IMPORTED_LOCATION "${VEMSETUP_LIBLZMA_PREFIX}/lib/liblzma.a"
        INTERFACE_INCLUDE_DIRECTORIES "${VEMSETUP_LIBLZMA_PREFIX}/include"
        # Without it lzma.h declares the functions as DLL imports.
        INTERFACE_COMPILE_DEFINITIONS LZMA_API_STATIC
        IMPORTED_LINK_INTERFACE_LANGUAGES C)
endif()

# ---- Options -------------------------------------------------------------------

# Every function and datum in its own section so that the linker can drop
# what is never called; no exception tables or RTTI, which the stub never uses.
function(vemsetup_win32_size_options target)
    target_compile_options(${target} PRIVATE
        $<$<COMPILE_LANGUAGE:C,CXX>:-Os>
        $<$<COMPILE_LANGUAGE:C,CXX>:-ffunction-sections>
        $<$<COMPILE_LANGUAGE:C,CXX>:-fdata-sections>
        $<$<COMPILE_LANGUAGE:C,CXX>:-fno-asynchronous-unwind-tables>
        $<$<COMPILE_LANGUAGE:CXX>:-fno-exceptions>
        $<$<COMPILE_LANGUAGE:CXX>:-fno-rtti>)
endfunction()

set(VEMSETUP_WIN32_LINK_OPTIONS
    -Wl,--gc-sections
    -s
    # One self-contained file: no libgcc, libstdc++ or winpthread DLLs.
    -static
    -static-libgcc
    -static-libstdc++
    -mwindows
    # ASLR and DEP.
    -Wl,--dynamicbase
    -Wl,--nxcompat
    # .rsrc last, so that vempack build can replace the payload.
    -Wl,-T,${VEMSETUP_ROOT_DIR}/cmake/rsrc-last.ld)
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    # ASLR over the whole 64-bit address space (64-bit images only).
    list(APPEND VEMSETUP_WIN32_LINK_OPTIONS -Wl,--high-entropy-va)
else()
    # 4 GiB of address space on 64-bit Windows instead of 2: the compressed
    # payload and the decoded archive are held whole at once. Sizes and
    # offsets are size_t or 64-bit throughout, never signed 32-bit values,
    # so addresses above 2 GiB are safe.
    list(APPEND VEMSETUP_WIN32_LINK_OPTIONS -Wl,--large-address-aware)
endif()

# uuid: the link object's CLSID and IIDs (a static library). advapi32,
# shell32 and ole32 are loaded at run time, in install mode only
# (src/platform/win32/system_library.h).
set(VEMSETUP_WIN32_LIBRARIES uuid)

# The manifest for `target`, named in `variable`: it names the processor
# the image is built for.
function(vemsetup_win32_manifest target variable)
    set(file "${VEMSETUP_WIN32_DIR}/vemsetup.manifest")
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        file(READ "${file}" manifest)
        string(REPLACE "processorArchitecture=\"x86\"" "processorArchitecture=\"amd64\""
               manifest "${manifest}")
        set(file "${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest")
        file(CONFIGURE OUTPUT "${file}" CONTENT "${manifest}" @ONLY)
        set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
                     "${VEMSETUP_WIN32_DIR}/vemsetup.manifest")
    endif()
    set(${variable} "${file}" PARENT_SCOPE)
endfunction()

function(vemsetup_configure_win32_stub target)
    if(NOT VEMSETUP_PAYLOAD_FILE)
        message(FATAL_ERROR "vemsetup_configure_win32_stub: VEMSETUP_PAYLOAD_FILE is not set")
    endif()

    set_target_properties(${target} PROPERTIES WIN32_EXECUTABLE ON)
    target_include_directories(${target} PRIVATE "${VEMSETUP_ROOT_DIR}/src")
    vemsetup_win32_size_options(${target})
    target_link_options(${target} PRIVATE ${VEMSETUP_WIN32_LINK_OPTIONS})
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS "${VEMSETUP_ROOT_DIR}/cmake/rsrc-last.ld")
    target_link_libraries(${target} PRIVATE LibLZMA::LibLZMA ${VEMSETUP_WIN32_LIBRARIES})

    # The resource script names the payload and the manifest by absolute
    # path, so it is generated per build tree.
    vemsetup_win32_manifest(${target} VEMSETUP_RC_MANIFEST_FILE)
    set(VEMSETUP_RC_PAYLOAD_FILE "${VEMSETUP_PAYLOAD_FILE}")
    set(VEMSETUP_RC_VERSION "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}.0")
    string(REPLACE "." "," VEMSETUP_RC_VERSION_COMMAS "${VEMSETUP_RC_VERSION}")
    if(NOT DEFINED VEMSETUP_RC_DESCRIPTION)
        set(VEMSETUP_RC_DESCRIPTION "Setup")
    endif()
    if(NOT DEFINED VEMSETUP_RC_PRODUCT)
        set(VEMSETUP_RC_PRODUCT "vemsetup")
    endif()
    foreach(path IN ITEMS "${VEMSETUP_RC_MANIFEST_FILE}" "${VEMSETUP_RC_PAYLOAD_FILE}")
        if(path MATCHES "[\"\\\\]")
            message(FATAL_ERROR "Cannot name ${path} in a resource script (quote or backslash)")
        endif()
    endforeach()
    set(rc_file "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
    set(rc_object "${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.o")
    configure_file("${VEMSETUP_WIN32_DIR}/vemsetup.rc.in" "${rc_file}" @ONLY)

    # windres is run directly rather than through CMake's RC rule: that rule
    # would pass it the C++ compile options, and it would not know that the
    # object must be remade when the payload changes.
    add_custom_command(
        OUTPUT "${rc_object}"
        COMMAND "${CMAKE_RC_COMPILER}" --input-format=rc --output-format=coff
                -i "${rc_file}" -o "${rc_object}"
        DEPENDS "${rc_file}" "${VEMSETUP_RC_MANIFEST_FILE}" "${VEMSETUP_RC_PAYLOAD_FILE}"
                ${VEMSETUP_PAYLOAD_DEPENDS}
        COMMENT "Compiling resources of ${target} (payload ${VEMSETUP_RC_PAYLOAD_FILE})"
        VERBATIM)
    target_sources(${target} PRIVATE "${rc_object}")
    if(VEMSETUP_PAYLOAD_DEPENDS)
        add_dependencies(${target} ${VEMSETUP_PAYLOAD_DEPENDS})
    endif()
endfunction()
