# The Debian package of the tool set:
#
#   cmake --build build && (cd build && cpack -G DEB)
#   cmake --build build --target package              # the same
#
# It holds what `cmake --install` installs, under /usr: the programs, their
# libraries and resources in /usr/lib/qav (the suite's own folder, so that
# its nstat never meets Debian's), qavctl and qav-install-data linked into
# /usr/bin, the data folder's initial files, the monitor's systemd user unit
# and autostart entry, and the example system unit. The libraries it needs
# are found by dpkg-shlibdeps; what the programs start or load at run time
# (sound players) is listed by hand. Installing it creates no data folder:
# every user runs qav-install-data once (the units do it themselves).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qav-network-tool)
set(CPACK_PACKAGE_VENDOR "VORANTA QAV")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(QAV_PACKAGE_MAINTAINER "QAV Network Tool maintainers <qav-network-tool@voranta.example>"
  CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${QAV_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "administration of a fleet of network label and barcode printers")
set(CPACK_PACKAGE_DESCRIPTION
"The QAV Network Tool finds network label and barcode printers (SNMP
broadcast, address ranges, USB), keeps them in a device list with groups,
and watches them by SNMP polling and traps. Its resident monitor nwatch tells
the administrator of problems by the list window, sound, the status window
and e-mail, and keeps a trap log and an environmental log; it runs on a
desktop with a tray icon, or on a server as a systemd service. The status
monitor nstat shows one printer's detailed status and sends it remote keys,
nconfig reads and writes printer system parameters, and nload downloads
firmware and fonts into printers. qavctl is the scriptable command-line
front end.")

# Installed under /usr; DESTDIR staging lets the install steps that compute
# paths (the link into /usr/bin, the units) see the package's prefix, and
# keeps the data-folder step from running for whoever builds the package.
# (With DESTDIR staging cpack installs for CPACK_INSTALL_PREFIX, which
# otherwise is the build's own CMAKE_INSTALL_PREFIX, /usr/local.)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)

# The programs without their debugging information, as Debian ships them.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The suite's own libraries, found through the programs' RUNPATH.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS usr/${QAV_INSTALL_LIBDIR})
# The notification sounds need one of these players.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "pulseaudio-utils | alsa-utils | pipewire-bin")
# setcap gives the monitor the trap port; a session bus carries the change
# messages between the programs on a desktop.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libcap2-bin, dbus-user-session | dbus-x11")

include(CPack)
