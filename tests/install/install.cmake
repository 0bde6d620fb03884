# The installed program: installs the build into a temporary folder (DESTDIR
# and a prefix), then runs `daubry fill` from there with the installed sample
# library, validates the menu entry, renders the manual pages and uninstalls.
add_test(NAME install.InstallFillUninstall
  COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install_test.sh ${CMAKE_COMMAND} ${PROJECT_SOURCE_DIR}
    ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(install.InstallFillUninstall PROPERTIES LABELS install TIMEOUT 300)
