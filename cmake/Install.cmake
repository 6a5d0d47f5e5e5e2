# Installation (GNUInstallDirs, from cmake/Version.cmake) and the Debian package
# (CPack's DEB generator; scripts/package makes it).
#
#   cmake --install build --prefix FOLDER    a tree that runs from FOLDER
#   cpack --config build/CPackConfig.cmake   build/pmorvane_VERSION_ARCH.deb

set(MORVANE_INSTALL_DOCDIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/pmorvane)
set(MORVANE_MAINTAINER "The PMorvane developers <pmorvane@pmorvane.example>"
    CACHE STRING "Maintainer of the Debian package, as \"Name <address>\"")
# Where the pictures of docs/ are published; the metainfo's screenshots point there.
set(MORVANE_SCREENSHOTS_URL "https://pmorvane.example/screenshots"
    CACHE STRING "Web folder holding levels-window.png and data-window.png")

install(TARGETS morvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(MORVANE_WINDOWS)
  install(TARGETS PMorvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(TARGETS morvane-print morvane-plot RUNTIME DESTINATION ${MORVANE_INSTALL_PRINTDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${MORVANE_INSTALL_DOCDIR}/examples)
# The published analyses of morvane verify: the data and the expected figures.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/verify/ DESTINATION ${MORVANE_INSTALL_VERIFYDIR}
        PATTERN "*.R" EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/docs/manual.md ${PROJECT_SOURCE_DIR}/packaging/copyright
        DESTINATION ${MORVANE_INSTALL_DOCDIR})

# Files made at build time: the manual pages and the changelog, compressed as
# Debian installs them, and the icon's bitmap rendered from its SVG.
set(generated ${PROJECT_BINARY_DIR}/packaging)
set(manuals morvane)
if(MORVANE_WINDOWS)
  list(APPEND manuals PMorvane)
endif()
find_program(GZIP gzip REQUIRED)
set(made)
foreach(manual IN LISTS manuals)
  configure_file(${PROJECT_SOURCE_DIR}/docs/man/${manual}.1 ${generated}/${manual}.1 @ONLY)
  add_custom_command(OUTPUT ${generated}/${manual}.1.gz
    COMMAND ${GZIP} -9nf -k ${generated}/${manual}.1
    DEPENDS ${generated}/${manual}.1 VERBATIM)
  list(APPEND made ${generated}/${manual}.1.gz)
  install(FILES ${generated}/${manual}.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${generated}/changelog @ONLY)
add_custom_command(OUTPUT ${generated}/changelog.gz
  COMMAND ${GZIP} -9nf -k ${generated}/changelog
  DEPENDS ${generated}/changelog VERBATIM)
list(APPEND made ${generated}/changelog.gz)
install(FILES ${generated}/changelog.gz DESTINATION ${MORVANE_INSTALL_DOCDIR})

if(MORVANE_WINDOWS)
  set(icons ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/pmorvane.svg DESTINATION ${icons}/scalable/apps)
  find_program(RSVG_CONVERT rsvg-convert)
  if(RSVG_CONVERT)
    add_custom_command(OUTPUT ${generated}/pmorvane.png
      COMMAND ${RSVG_CONVERT} -w 256 -h 256 -o ${generated}/pmorvane.png
              ${PROJECT_SOURCE_DIR}/packaging/pmorvane.svg
      DEPENDS ${PROJECT_SOURCE_DIR}/packaging/pmorvane.svg VERBATIM)
    list(APPEND made ${generated}/pmorvane.png)
    install(FILES ${generated}/pmorvane.png DESTINATION ${icons}/256x256/apps)
  else()
    message(WARNING "No rsvg-convert (scripts/setup installs librsvg2-bin): "
                    "the icon is installed as SVG only")
  endif()
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/org.pmorvane.pmorvane.desktop
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/org.pmorvane.pmorvane.metainfo.xml.in
                 ${generated}/org.pmorvane.pmorvane.metainfo.xml @ONLY)
  install(FILES ${generated}/org.pmorvane.pmorvane.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/metainfo)
endif()
add_custom_target(morvane_install_files ALL DEPENDS ${made})

# The Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pmorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${MORVANE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "repeated-measures analysis of variance for factorial designs")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR})
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${MORVANE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary above comes first; CPack indents these lines, and an empty line
# parts two paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "PMorvane computes the analysis of variance of factorial designs with
repeated measures: one to four within-subject factors, between-subject
groups of any sizes, missing scores and several trials per cell, read from
a long CSV or typed into its two-way A x B x S study windows. It gives the
sphericity corrections, multivariate and rank-based tests, effect sizes,
comparisons and assumption checks from exact sums. Its windows are in
Japanese.

The command-line tool morvane runs the same analysis without windows.")
# The libraries come from the binaries; what they load by name does not show there.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(MORVANE_WINDOWS)
  # The fonts behind the windows' font names, and Qt's own texts in Japanese.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic, fonts-ipafont-mincho, qt6-translations-l10n")
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
