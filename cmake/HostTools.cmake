# The packer runs on the build machine. A native build makes it as a normal
# target; a cross build (win32) is handled in cmake/HostToolsCross.cmake.
if(NOT CMAKE_CROSSCOMPILING)
    add_subdirectory(tools)
    set(VEMPACK_EXECUTABLE $<TARGET_FILE:vempack>)
    set(VEMPACK_DEPENDS vempack)
else()
    include(cmake/HostToolsCross.cmake)
endif()
