# The Debian package through CPack: what it installs beyond the programs, and its control fields.
set(MORVEX_MAINTAINER "Morvex maintainers <maintainers@morvex.example>" CACHE STRING "The Debian package's maintainer")
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(staged ${CMAKE_BINARY_DIR}/packaging)
find_program(MORVEX_GZIP gzip REQUIRED)

# Man pages and the changelog go in compressed as Debian wants them: best compression, no name or time stored.
set(compressed)
foreach(page morvex morvex-scan morvex-dbf)
  configure_file(${packaging}/man/${page}.1.in ${staged}/${page}.1 @ONLY)
  add_custom_command(OUTPUT ${staged}/${page}.1.gz
                     COMMAND ${MORVEX_GZIP} -9nf --keep ${staged}/${page}.1
                     DEPENDS ${staged}/${page}.1 VERBATIM)
  list(APPEND compressed ${staged}/${page}.1.gz)
  install(FILES ${staged}/${page}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_command(OUTPUT ${staged}/changelog.gz
                   COMMAND ${MORVEX_GZIP} -9nc ${packaging}/debian/changelog > ${staged}/changelog.gz
                   DEPENDS ${packaging}/debian/changelog)
list(APPEND compressed ${staged}/changelog.gz)
add_custom_target(morvex_package_documents ALL DEPENDS ${compressed})
# Debian's place is named after the package, not the project.
install(FILES ${staged}/changelog.gz ${packaging}/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/morvex)

# The icon in the desktop's icon theme: every rendered size, and the drawing itself.
foreach(size IN LISTS MORVEX_ICON_PNG_SIZES)
  install(FILES ${MORVEX_ICON_DIR}/morvex-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME morvex.png)
endforeach()
install(FILES ${MORVEX_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvex)
set(CPACK_PACKAGE_VENDOR ${MORVEX_PUBLISHER})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/cpack)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MORVEX_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find Tarvo property names that collide with reserved names")
# The summary above is the synopsis line; this is the extended description under it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Morvex scans every graphics page of every project of a SCADA site for Tarvo
properties whose names are among the SCADA package's reserved property names,
and lists them as a tab-separated, JSON or SARIF 2.1.0 report. A baseline file
lets a review pipeline fail only on collisions that are new. It comes as a
desktop window (morvex), a command-line scan for scripts and pipelines
(morvex-scan) and a dBase table dump (morvex-dbf).")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
include(CPack)
