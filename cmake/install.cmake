# `make install` (cmake --install build [--prefix P], DESTDIR honoured) and
# `make uninstall`. The layout:
#
#   bin/daubry
#   share/daubry/            the share folder: the sample library drawn by the
#                            build, and everything in the source tree's share/
#                            (help page, demo photo)
#   share/icons/hicolor/<n>x<n>/apps/daubry.png
#   share/applications/daubry.desktop
#   share/man/man1/daubry.1, daubry-fill.1
#
# The program finds its share folder as bin/../share/daubry, so the prefix is
# never compiled in and an installed tree can be moved.

# The help page beside the build's sample library, so a program run from the
# build tree finds it as an installed one finds its own.
# Its pictures go along, at the same relative paths.
configure_file(${PROJECT_SOURCE_DIR}/share/help/daubry.html
  ${PROJECT_BINARY_DIR}/share/help/daubry.html COPYONLY)
file(GLOB help_pictures CONFIGURE_DEPENDS RELATIVE ${PROJECT_SOURCE_DIR}/share/help
  ${PROJECT_SOURCE_DIR}/share/help/pictures/*)
foreach(picture IN LISTS help_pictures)
  configure_file(${PROJECT_SOURCE_DIR}/share/help/${picture}
    ${PROJECT_BINARY_DIR}/share/help/${picture} COPYONLY)
endforeach()

install(TARGETS daubry RUNTIME DESTINATION bin)

# Whatever the build drew and the source tree holds, found when installing
# rather than listed here; the build's stamp files stay behind.
install(DIRECTORY ${PROJECT_BINARY_DIR}/share/samples DESTINATION share/daubry
  OPTIONAL PATTERN ".*" EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/share/ DESTINATION share/daubry
  PATTERN ".*" EXCLUDE)
install(DIRECTORY ${PROJECT_BINARY_DIR}/share/icons/ DESTINATION share/icons OPTIONAL)

install(FILES ${PROJECT_SOURCE_DIR}/dist/daubry.desktop DESTINATION share/applications)
install(FILES ${PROJECT_SOURCE_DIR}/dist/daubry.1 ${PROJECT_SOURCE_DIR}/dist/daubry-fill.1
  DESTINATION share/man/man1)

# Removes what the last install wrote (its install_manifest.txt).
add_custom_target(uninstall
  COMMAND ${CMAKE_COMMAND} -P ${PROJECT_SOURCE_DIR}/cmake/uninstall.cmake
    ${PROJECT_BINARY_DIR}/install_manifest.txt
  COMMENT "Removing the installed files")
