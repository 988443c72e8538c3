# The same sources give the same bytes wherever they are built: no paths of
# the source tree in the objects (__FILE__, debug information), and no link
# time in the Windows images' headers. The Windows stub's version resource
# carries no date (VERSIONINFO has none unless one is written), and the
# packer's output depends on nothing but its inputs.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.)
if(VEMSETUP_WIN32)
    add_link_options(-Wl,--no-insert-timestamp)
endif()
