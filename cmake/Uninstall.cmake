# `cmake --build build --target uninstall` removes what the last
# `cmake --install build` put in place, as listed in install_manifest.txt.
# Folders stay: most of them (bin, the icon theme) are shared with others.
configure_file(${CMAKE_CURRENT_LIST_DIR}/UninstallScript.cmake.in
               ${CMAKE_BINARY_DIR}/cmake_uninstall.cmake @ONLY)
add_custom_target(uninstall COMMAND ${CMAKE_COMMAND} -P ${CMAKE_BINARY_DIR}/cmake_uninstall.cmake
                  COMMENT "Removing the installed files")
