# The Debian packages through CPack, one per component: morvex-cli (the command-line programs, for machines without
# a desktop) and morvex (the window, on top of morvex-cli); what each installs beyond its programs, and their fields.
set(MORVEX_MAINTAINER "Morvex team <team@morvex.invalid>")
set(packaging ${PROJECT_SOURCE_DIR}/packaging)
set(staged ${CMAKE_BINARY_DIR}/packaging)
find_program(MORVEX_GZIP gzip REQUIRED)
find_package(Python3 REQUIRED COMPONENTS Interpreter)

# Man pages and documents go in compressed as Debian wants them: best compression, no name or time stored.
set(compressed)
function(morvex_compress source name)
  add_custom_command(OUTPUT ${staged}/${name}.gz COMMAND ${MORVEX_GZIP} -9nc ${source} > ${staged}/${name}.gz
                     DEPENDS ${source})
  set(compressed ${compressed} ${staged}/${name}.gz PARENT_SCOPE)
endfunction()
foreach(page morvex morvex-scan morvex-dbf)
  configure_file(${packaging}/man/${page}.1.in ${staged}/${page}.1 @ONLY)
  morvex_compress(${staged}/${page}.1 ${page}.1)
endforeach()
install(FILES ${staged}/morvex-scan.1.gz ${staged}/morvex-dbf.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT cli)
install(FILES ${staged}/morvex.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT window)
morvex_compress(${packaging}/debian/changelog changelog)
morvex_compress(${PROJECT_SOURCE_DIR}/README.md README.md)
# The documents of the command-line programs, beside the README that links them.
foreach(document command-line ci page-files)
  morvex_compress(${PROJECT_SOURCE_DIR}/docs/${document}.md ${document}.md)
endforeach()

# Each package's copyright file: our licence and the stanzas of what its programs hold of others' code.
set(notices ${PROJECT_SOURCE_DIR}/scripts/third-party-notices.py)
foreach(component_programs "cli;usr/bin/morvex-scan usr/bin/morvex-dbf" "window;usr/bin/morvex")
  list(GET component_programs 0 component)
  list(GET component_programs 1 programs)
  separate_arguments(programs)
  add_custom_command(OUTPUT ${staged}/${component}/copyright
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${staged}/${component}
                     COMMAND ${Python3_EXECUTABLE} ${notices} debian ${staged}/${component}/copyright ${programs}
                     DEPENDS ${notices} ${PROJECT_SOURCE_DIR}/LICENSE ${packaging}/third-party.tsv VERBATIM)
  list(APPEND compressed ${staged}/${component}/copyright)
endforeach()
add_custom_target(morvex_package_documents ALL DEPENDS ${compressed})

# Debian's place is named after the package, not the project.
install(FILES ${staged}/changelog.gz ${staged}/cli/copyright ${staged}/README.md.gz ${staged}/page-files.md.gz
              ${staged}/command-line.md.gz ${staged}/ci.md.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/morvex-cli COMPONENT cli)
install(FILES ${staged}/changelog.gz ${staged}/window/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/morvex
        COMPONENT window)
install(FILES ${packaging}/bash-completion/morvex-scan DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        COMPONENT cli)

# The icon in the desktop's icon theme: every rendered size, and the drawing itself.
foreach(size IN LISTS MORVEX_ICON_PNG_SIZES)
  install(FILES ${MORVEX_ICON_DIR}/morvex-${size}.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME morvex.png COMPONENT window)
endforeach()
install(FILES ${MORVEX_ICON_SVG} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT window)

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL cli window)
set(CPACK_PACKAGE_NAME morvex)
set(CPACK_DEBIAN_CLI_PACKAGE_NAME morvex-cli)
set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME morvex)
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
# The window runs the scan of the same version: morvex-cli's programs and documents are its own.
set(CPACK_DEBIAN_WINDOW_PACKAGE_DEPENDS "morvex-cli (= ${PROJECT_VERSION})")
set(CPACK_DEBIAN_WINDOW_PACKAGE_SECTION x11)
set(morvex_what "Morvex scans every graphics page of every project of a SCADA site for Tarvo
properties whose names are among the SCADA package's reserved property names,
and lists them as a tab-separated, JSON or SARIF 2.1.0 report. A baseline file
lets a review pipeline fail only on collisions that are new.")
# The first line is the synopsis; the rest the extended description under it.
set(CPACK_COMPONENT_CLI_DESCRIPTION "find Tarvo property names that collide with reserved names (command line)
${morvex_what}
.
This package holds the command-line programs, for scripts, pipelines and
machines without a desktop: the scan (morvex-scan) and a dBase table dump
(morvex-dbf).")
set(CPACK_COMPONENT_WINDOW_DESCRIPTION "find Tarvo property names that collide with reserved names (window)
${morvex_what}
.
This package holds the desktop window (morvex); the command-line programs
come with morvex-cli.")
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
    WORLD_READ WORLD_EXECUTE)
include(CPack)
