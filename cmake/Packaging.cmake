# `cpack -G DEB` in the build folder packs what `cmake --install` installs
# into ferrovane_<version>_<arch>.deb; its dependencies are read from the
# shared libraries the program links.
include(${CMAKE_CURRENT_LIST_DIR}/ManPages.cmake) # GNUInstallDirs, gzip
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ferrovane)
set(CPACK_PACKAGE_VENDOR Quillmark)
set(CPACK_PACKAGE_CONTACT "Quillmark <ferrovane@quillmark.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://quillmark.example/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "disk utility: test files, drive speed, free-space wipe")
set(CPACK_PACKAGE_DESCRIPTION
    "Ferrovane creates many files of an exact size, measures the write and read
speed of a drive around the file cache, fills and deletes the free space of a
volume so that deleted files cannot be recovered, shows the free space of every
volume and merges the files of one type in a folder into one file.")
# Debian wants the licence in its machine-readable copyright file and a
# changelog compressed as man pages are, both in the package's doc folder.
# `cmake --install` puts them there too.
set(fv_doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/ferrovane)
set(fv_changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(
  OUTPUT ${fv_changelog}
  COMMAND ${FV_GZIP} -9nc ${PROJECT_SOURCE_DIR}/data/debian/changelog > ${fv_changelog}
  DEPENDS ${PROJECT_SOURCE_DIR}/data/debian/changelog
  COMMENT "Compressing the changelog"
  VERBATIM)
add_custom_target(ferrovane-changelog ALL DEPENDS ${fv_changelog})
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${fv_changelog} DESTINATION ${fv_doc_dir})
# A release that is not at the top of the changelog would ship an old one.
file(STRINGS ${PROJECT_SOURCE_DIR}/data/debian/changelog fv_changelog_top LIMIT_COUNT 1)
if(NOT fv_changelog_top MATCHES "^ferrovane \\(${PROJECT_VERSION}\\) ")
  message(FATAL_ERROR "data/debian/changelog does not begin with the version ${PROJECT_VERSION}")
endif()

# The package ships a stripped program; the build folder keeps the symbols.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's window-system plugins (X11, Wayland) are loaded at run time, so
# shlibdeps cannot see them, and Qt only recommends them: without them the
# window cannot open.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)

include(CPack)
