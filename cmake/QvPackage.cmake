# The Debian package: the three programs, the desktop entry and icons, the manual pages, the bash
# completion of qvlaser-cli, the sample udev rule, and the documentation with its copyright and
# changelog files. `cpack -G DEB` in a build tree makes it (scripts/package.sh does all of it).

set(QV_PACKAGE_NAME quorvane-laser-control)
set(qv_generated ${PROJECT_BINARY_DIR}/package-files)

# Manual pages and the changelog carry the project's version, and go in compressed as Debian
# wants them (gzip -9n: no name, no time stamp, so that builds are reproducible).
find_program(QV_GZIP gzip REQUIRED)
set(qv_compressed)
foreach(src IN ITEMS docs/man/qvlaser-cli.1 docs/man/qvlaser-sim.1 docs/man/QVLaserControlv4.1
                     data/debian/changelog)
  get_filename_component(name ${src} NAME)
  if(name STREQUAL "changelog")
    set(name changelog.Debian)
  endif()
  configure_file(${src} ${qv_generated}/${name} @ONLY)
  add_custom_command(OUTPUT ${qv_generated}/${name}.gz
    COMMAND ${QV_GZIP} -9nkf ${qv_generated}/${name}
    DEPENDS ${qv_generated}/${name} VERBATIM)
  list(APPEND qv_compressed ${qv_generated}/${name}.gz)
endforeach()
add_custom_target(qv_package_files ALL DEPENDS ${qv_compressed})

install(FILES ${qv_generated}/qvlaser-cli.1.gz ${qv_generated}/qvlaser-sim.1.gz
              ${qv_generated}/QVLaserControlv4.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES data/completion/qvlaser-cli DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES data/udev/60-quorvane-laser.rules DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)
install(FILES data/debian/copyright ${qv_generated}/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME ${QV_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvane Laser Control developers")
set(CPACK_PACKAGE_CONTACT "Quorvane Laser Control developers <laser-control@quorvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator console for Quorvane diode-pumped solid-state lasers")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window needs a Qt platform plug-in (the library alone does not pull one in) and a font with
# the faces its layout falls back to.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
# The long description; CPack puts the summary above it and indents it as Debian wants (an empty
# line becomes a paragraph break).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Quorvane Laser Control talks to the power supply of a Quorvane laser over a
serial line, identifies the laser, polls its state in the background and lets
an operator switch it on and off, warm it up, set currents, trigger modes,
frequencies, the pulse picker's rate and the regulator's level, read error and
warning codes with their texts, type raw commands in a terminal and record the
laser's parameters into a file.

The package holds the console window QVLaserControlv4, qvlaser-cli (the same
console without a window, for scripts) and qvlaser-sim (a virtual laser on a
pseudo-terminal, to train and test on).")
include(CPack)
