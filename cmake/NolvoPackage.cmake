# Installing and packaging. `cmake --install` puts the programs, their manual pages, the
# bash completion, the README and the Debian copyright and changelog files in the
# GNUInstallDirs places; CPack's DEB generator (scripts/package) makes one package per
# component: nolvo (the tool, component "tool") and nolvo-setup (the Qt 6 setup program,
# component "setup", when it is built).
include(GNUInstallDirs)

set(NOLVO_PACKAGE_MAINTAINER "Nolvo developers <maintainers@nolvo.invalid>"
  CACHE STRING "The Maintainer field of the Debian packages")

# Every package carries the copyright file and the changelog in its own doc folder, the
# changelog compressed as Debian does (gzip -9n).
# The date is SOURCE_DATE_EPOCH's when it is set (scripts/package: the last commit's).
string(TIMESTAMP NOLVO_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
string(TIMESTAMP NOLVO_COPYRIGHT_YEAR "%Y" UTC)
set(debian_out ${PROJECT_BINARY_DIR}/debian)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${debian_out}/changelog @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/copyright.in ${debian_out}/copyright @ONLY)
find_program(NOLVO_GZIP gzip)
if(NOLVO_GZIP)
  add_custom_command(OUTPUT ${debian_out}/changelog.gz
    COMMAND ${NOLVO_GZIP} -9nkf ${debian_out}/changelog
    DEPENDS ${debian_out}/changelog VERBATIM)
  add_custom_target(nolvo_changelog ALL DEPENDS ${debian_out}/changelog.gz)
  set(changelog ${debian_out}/changelog.gz)
else()
  set(changelog ${debian_out}/changelog)
endif()

set(components tool)
if(TARGET nolvo-setup)
  list(APPEND components setup)
endif()
foreach(component IN LISTS components)
  if(component STREQUAL "tool")
    set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/nolvo)
    install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${docdir} COMPONENT tool)
  else()
    set(docdir ${CMAKE_INSTALL_DATAROOTDIR}/doc/nolvo-setup)
  endif()
  install(FILES ${debian_out}/copyright ${changelog}
    DESTINATION ${docdir} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nolvo)
set(CPACK_PACKAGE_VENDOR "the Nolvo developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_COMPONENTS_ALL ${components})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NOLVO_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SOURCE nolvo)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)  # Depends from the libraries the binaries link
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME nolvo)
set(CPACK_DEBIAN_TOOL_PACKAGE_SUGGESTS "wine")
set(CPACK_DEBIAN_TOOL_DESCRIPTION "tool to pack, check, extract and install setup media
Nolvo installs a product from its install media (segmented, compressed
archives beside an install.cfg) into a modelled Windows machine, the prefix,
which may be a Wine prefix.

This package holds the command-line tool nolvo: it shows what an install.cfg
sets up, packs a product folder into setup media, lists, tests and extracts
media and single archives, and installs or removes a product without any
window, also unattended from scripts.")

set(CPACK_DEBIAN_SETUP_PACKAGE_NAME nolvo-setup)
set(CPACK_DEBIAN_SETUP_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_SETUP_PACKAGE_RECOMMENDS "nolvo")
set(CPACK_DEBIAN_SETUP_DESCRIPTION "setup program for setup media, with its windows
Nolvo installs a product from its install media (segmented, compressed
archives beside an install.cfg) into a modelled Windows machine, the prefix,
which may be a Wine prefix.

This package holds nolvo-setup, the setup as a user sees it: the full-screen
gradient with the product's header, the extraction window, the wizard and
the directory chooser (Qt 6). Without a display, the nolvo package installs
the same media unattended.")

include(CPack)
