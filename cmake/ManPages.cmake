# Man pages are installed compressed with gzip -9n (no name, no time stamp),
# as Debian's policy wants and man reads them.
include(GNUInstallDirs)
find_program(FV_GZIP gzip REQUIRED)

# fv_install_man_page(<page.N>): compresses the page from the current source
# folder into the build and installs it into man/manN.
function(fv_install_man_page page)
  string(REGEX MATCH "[0-9]$" section "${page}")
  set(compressed ${CMAKE_CURRENT_BINARY_DIR}/${page}.gz)
  add_custom_command(
    OUTPUT ${compressed}
    COMMAND ${FV_GZIP} -9nc ${CMAKE_CURRENT_SOURCE_DIR}/${page} > ${compressed}
    DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${page}
    COMMENT "Compressing the man page ${page}"
    VERBATIM)
  add_custom_target(man-${page} ALL DEPENDS ${compressed})
  install(FILES ${compressed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endfunction()
