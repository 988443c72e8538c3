# What `cmake --install build/native --prefix DIR` lays out, so that a
# release needs no cross compiler:
#   bin/vempack
#   share/vemsetup/vemsetup.exe     the 32-bit stub (build/win32)
#   share/vemsetup/vemsetup64.exe   the 64-bit stub, where build/win64 has one
#   share/doc/vemsetup/README.md
#   SHA256SUMS                      for `sha256sum -c SHA256SUMS` in DIR
# `vempack build` finds share/vemsetup/vemsetup.exe from its own bin/.
# The stubs are optional here: scripts/release.sh builds them first.
install(TARGETS vempack RUNTIME DESTINATION bin)
install(FILES "${VEMPACK_BUILD_TREE_STUB}" DESTINATION share/vemsetup OPTIONAL)
install(FILES "${PROJECT_SOURCE_DIR}/build/win64/vemsetup.exe" DESTINATION share/vemsetup
    RENAME vemsetup64.exe OPTIONAL)
install(FILES "${PROJECT_SOURCE_DIR}/README.md" DESTINATION share/doc/vemsetup)
install(CODE [[
    set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    set(sums "")
    foreach(file IN ITEMS bin/vempack share/vemsetup/vemsetup.exe share/vemsetup/vemsetup64.exe
                          share/doc/vemsetup/README.md)
        if(EXISTS "${root}/${file}")
            file(SHA256 "${root}/${file}" hash)
            string(APPEND sums "${hash}  ${file}\n")
        endif()
    endforeach()
    file(WRITE "${root}/SHA256SUMS" "${sums}")
    message(STATUS "Installing: ${root}/SHA256SUMS")
]])
