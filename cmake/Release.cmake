# What `cmake --install build/native --prefix DIR` lays out, so that a
# release needs no cross compiler and carries nothing of the machine it was
# built on:
#   bin/vempack                        stripped, with or without --strip
#   bin/vempack.exe                    the packer for Windows, where build/win64 has one
#   share/vemsetup/vemsetup.exe        the 32-bit stub (build/win32 of this tree)
#   share/vemsetup/vemsetup64.exe      the 64-bit stub, where build/win64 has one
#   share/vemsetup/vemuninstall.exe    the uninstaller of described setups, and
#   share/vemsetup/vemuninstall64.exe  its 64-bit build, beside their stubs
#   share/doc/vemsetup/README.md       with docs/*.md beside it in docs/, so
#   share/doc/vemsetup/docs/*.md       that the README's links resolve
#   lib/cmake/vemsetup/                the CMake package (find_package(vemsetup
#                                      CONFIG), vemsetup_add_setup, the CPack
#                                      External script)
#   SHA256SUMS                         for `sha256sum -c SHA256SUMS` in DIR
# `vempack build` finds share/vemsetup/ from its own bin/. The stubs are
# optional here: scripts/release.sh builds them first.
install(TARGETS vempack RUNTIME DESTINATION bin)
install(FILES "${PROJECT_SOURCE_DIR}/build/win64/windows-packer/vempack.exe" DESTINATION bin
    OPTIONAL)
install(FILES "${PROJECT_SOURCE_DIR}/build/win32/vemsetup.exe" DESTINATION share/vemsetup OPTIONAL)
install(FILES "${PROJECT_SOURCE_DIR}/build/win64/vemsetup.exe" DESTINATION share/vemsetup
    RENAME vemsetup64.exe OPTIONAL)
install(FILES "${PROJECT_SOURCE_DIR}/build/win32/vemuninstall.exe" DESTINATION share/vemsetup
    OPTIONAL)
install(FILES "${PROJECT_SOURCE_DIR}/build/win64/vemuninstall.exe" DESTINATION share/vemsetup
    RENAME vemuninstall64.exe OPTIONAL)
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION share/doc/vemsetup)

include(CMakePackageConfigHelpers)
write_basic_package_version_file("${PROJECT_BINARY_DIR}/vemsetupConfigVersion.cmake"
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
set(VEMSETUP_PACKAGE_FILES vemsetupArguments.cmake vemsetupConfig.cmake
    vemsetupConfigVersion.cmake vemsetupCPackExternal.cmake)
install(FILES "${PROJECT_SOURCE_DIR}/cmake/package/vemsetupArguments.cmake"
              "${PROJECT_SOURCE_DIR}/cmake/package/vemsetupConfig.cmake"
              "${PROJECT_BINARY_DIR}/vemsetupConfigVersion.cmake"
              "${PROJECT_SOURCE_DIR}/cmake/package/vemsetupCPackExternal.cmake"
        DESTINATION lib/cmake/vemsetup)
install(DIRECTORY "${PROJECT_SOURCE_DIR}/docs/" DESTINATION share/doc/vemsetup/docs
    FILES_MATCHING PATTERN "*.md")

# The debug information of a RelWithDebInfo build stays out of the release.
# The strip runs here rather than through --strip so that every install
# gives the same bytes; a second strip (with --strip) changes nothing.
install(CODE "set(vemsetup_strip [==[${CMAKE_STRIP}]==])
              set(vemsetup_source_dir [==[${PROJECT_SOURCE_DIR}]==])
              set(vemsetup_package_files [==[${VEMSETUP_PACKAGE_FILES}]==])")
install(CODE [[
    set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    if(NOT vemsetup_strip)
        message(FATAL_ERROR "no strip program was found (CMAKE_STRIP); bin/vempack stays unstripped")
    endif()
    execute_process(COMMAND "${vemsetup_strip}" "${root}/bin/vempack" RESULT_VARIABLE strip_result)
    if(NOT strip_result EQUAL 0)
        message(FATAL_ERROR "${vemsetup_strip} ${root}/bin/vempack failed (${strip_result})")
    endif()

    # What this install laid out, in a fixed order: not a stub that an
    # earlier install left in the prefix, and the same documents that
    # install(DIRECTORY) took.
    set(files bin/vempack)
    # Each optional file: where it is built, and where the release has it.
    foreach(pair "win64/windows-packer/vempack.exe=bin/vempack.exe"
                 "win32/vemsetup.exe=share/vemsetup/vemsetup.exe"
                 "win64/vemsetup.exe=share/vemsetup/vemsetup64.exe"
                 "win32/vemuninstall.exe=share/vemsetup/vemuninstall.exe"
                 "win64/vemuninstall.exe=share/vemsetup/vemuninstall64.exe")
        string(REPLACE "=" ";" pair "${pair}")
        list(GET pair 0 built)
        list(GET pair 1 shipped)
        if(EXISTS "${vemsetup_source_dir}/build/${built}")
            list(APPEND files ${shipped})
        endif()
    endforeach()
    list(TRANSFORM vemsetup_package_files PREPEND lib/cmake/vemsetup/)
    list(APPEND files ${vemsetup_package_files} share/doc/vemsetup/README.md)
    file(GLOB_RECURSE docs RELATIVE "${vemsetup_source_dir}/docs" "${vemsetup_source_dir}/docs/*.md")
    list(SORT docs)
    list(TRANSFORM docs PREPEND share/doc/vemsetup/docs/)
    set(sums "")
    foreach(file IN LISTS files docs)
        file(SHA256 "${root}/${file}" hash)
        string(APPEND sums "${hash}  ${file}\n")
    endforeach()
    file(WRITE "${root}/SHA256SUMS" "${sums}")
    message(STATUS "Installing: ${root}/SHA256SUMS")
]])
