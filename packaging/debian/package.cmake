# The Debian package (make deb): CPack's DEB generator over the install rules above. The
# libraries the executables link are found by dpkg-shlibdeps; only what the program loads at
# run time, which no tool can see, is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME plovane)
set(CPACK_PACKAGE_VENDOR "The Plovane developers")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "${PLOVANE_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop batch automation tool")
# CPack puts the summary first and indents these lines as the control file wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Plovane runs a project's ordered list of filter/module combinations over
every file of a folder: a batch copies the input folder into a work folder
and runs each combination's plugin over every matching path on up to 81
worker threads. Its plugins rewrite text, fix path names, list paths, write
directory index pages with a picture gallery, pack ZIP archives, minify web
pages, make thumbnails, upload by FTP, send e-mails, run other programs and
delete files. Every batch writes a log.

The package holds the desktop program plovane, plovane-run for running a
project without a window, and the C header for plugin libraries of one's
own.")
# The package lays itself out below /usr, as the program folder in the manual pages says.
set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
if(TARGET plovane)
  # Qt loads the window system's platform plugin at run time.
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
endif()
# Documents and the mail compose window are opened through xdg-open and xdg-email; direct mail
# goes through a sendmail-compatible program.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "default-mta | mail-transport-agent")
include(CPack)
