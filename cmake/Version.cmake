# The version and the installed layout, in one header that the programs include:
# the version comes from project(... VERSION ...) and nowhere else.
include(GNUInstallDirs)

# morvane-print's folder when installed, and its path from the tool's folder, so
# that an installed tree runs from wherever it was installed.
set(MORVANE_INSTALL_PRINTDIR ${CMAKE_INSTALL_LIBEXECDIR}/pmorvane)
file(RELATIVE_PATH MORVANE_PRINT_FROM_BIN ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${MORVANE_INSTALL_PRINTDIR})
# The published analyses that morvane verify runs again, and their path from
# the tool's folder.
set(MORVANE_INSTALL_VERIFYDIR ${CMAKE_INSTALL_DATADIR}/pmorvane/verify)
file(RELATIVE_PATH MORVANE_VERIFY_FROM_BIN ${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${MORVANE_INSTALL_VERIFYDIR})

configure_file(${CMAKE_CURRENT_LIST_DIR}/MorvaneConfig.h.in
               ${PROJECT_BINARY_DIR}/generated/MorvaneConfig.h @ONLY)
add_library(morvane_config INTERFACE)
target_include_directories(morvane_config INTERFACE ${PROJECT_BINARY_DIR}/generated)

# The day of this version's release, for the manual pages and the metainfo.
set(MORVANE_RELEASE_DATE 2026-12-08)
