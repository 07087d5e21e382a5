# What `cmake --install` puts where (GNUInstallDirs), and the Debian packages
# that CPack makes of it (`cpack -G DEB` in the build folder): velmora (the
# two programs, the terminal front end, no Qt) and velmora-window (the
# window front end, a module the program loads when it shows a window).
include(GNUInstallDirs)

install(TARGETS velmora-device RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT velmora)
if(VELMORA_TERMINAL)
  install(TARGETS VelmoraCfg RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT velmora)
endif()
if(VELMORA_TERMINAL AND VELMORA_WINDOW)
  install(TARGETS velmora-window LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/velmora
          COMPONENT window)
  install(FILES platform/window/velmora-cfg.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT window)
  install(FILES platform/window/velmora-cfg.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps COMPONENT window)
endif()
# The service that switches a device under /var/lib/velmora on at boot.
install(FILES packaging/systemd/velmora-device@.service DESTINATION lib/systemd/system
        COMPONENT velmora)
set(completions ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES packaging/velmora-device.bash-completion DESTINATION ${completions}
        RENAME velmora-device COMPONENT velmora)
if(VELMORA_TERMINAL)
  install(FILES packaging/VelmoraCfg.bash-completion DESTINATION ${completions}
          RENAME VelmoraCfg COMPONENT velmora)
endif()

# Manual pages: the roff sources of packaging/man with the version filled
# in, compressed as Debian keeps them; velmora(7) is the overview that
# `man velmora` finds.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(VERSION ${PROJECT_VERSION})
set(man_pages velmora-device.1 velmora.7)
if(VELMORA_TERMINAL)
  list(APPEND man_pages VelmoraCfg.1)
endif()
function(velmora_compress source output)
  add_custom_command(OUTPUT ${output} COMMAND ${GZIP_PROGRAM} -9 -n -c ${source} > ${output}
                     DEPENDS ${source})
endfunction()
set(compressed)
foreach(page ${man_pages})
  configure_file(packaging/man/${page} ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  velmora_compress(${CMAKE_BINARY_DIR}/man/${page} ${CMAKE_BINARY_DIR}/man/${page}.gz)
  list(APPEND compressed ${CMAKE_BINARY_DIR}/man/${page}.gz)
  string(REGEX REPLACE ".*\\." "" section ${page})
  install(FILES ${CMAKE_BINARY_DIR}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section}
          COMPONENT velmora)
endforeach()

# The Debian package's own documents, in each package's doc folder: the
# machine-readable copyright and the Debian changelog.
set(CPACK_PACKAGE_CONTACT "VelmoraCfg maintainers <maintainers@velmora.invalid>")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(DEBIAN_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(MAINTAINER ${CPACK_PACKAGE_CONTACT})
configure_file(packaging/debian/changelog ${CMAKE_BINARY_DIR}/debian/changelog.Debian @ONLY)
velmora_compress(${CMAKE_BINARY_DIR}/debian/changelog.Debian
                 ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz)
list(APPEND compressed ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz)
add_custom_target(man_pages ALL DEPENDS ${compressed})
foreach(component velmora window)
  set(package velmora)
  if(component STREQUAL "window")
    set(package velmora-window)
  endif()
  install(FILES packaging/debian/copyright ${CMAKE_BINARY_DIR}/debian/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
endforeach()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL velmora)
if(VELMORA_TERMINAL AND VELMORA_WINDOW)
  list(APPEND CPACK_COMPONENTS_ALL window)
endif()
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)

set(CPACK_DEBIAN_VELMORA_PACKAGE_NAME velmora)
set(CPACK_DEBIAN_VELMORA_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_VELMORA_DESCRIPTION
    "configure the Velmora virtual serial splitter of a simulated handheld
VelmoraCfg lists the serial ports COM0 to COM9 of a handheld with the driver
holding each, installs the Velmora virtual serial splitter on a COM number and
connects it to a real port, takes over ports held by other drivers and sets the
splitter's logging options. Its user interface is German; it runs in the
terminal, and in a window with the velmora-window package.
.
velmora-device makes and inspects simulated handhelds kept in a folder and
switches them on, so that the splitter's ports carry GPS data to programs such
as gpsd.")
set(CPACK_DEBIAN_VELMORA_PACKAGE_RECOMMENDS "bash-completion")
set(CPACK_DEBIAN_VELMORA_PACKAGE_SUGGESTS "velmora-window, gpsd, gpsd-clients")

set(CPACK_DEBIAN_WINDOW_PACKAGE_NAME velmora-window)
set(CPACK_DEBIAN_WINDOW_PACKAGE_SECTION x11)
set(CPACK_COMPONENT_WINDOW_DEPENDS velmora)
set(CPACK_DEBIAN_WINDOW_DESCRIPTION
    "window front end of VelmoraCfg (Qt 6)
VelmoraCfg, the configuration program of the Velmora virtual serial splitter,
shows its dialogs in the terminal. With this package it shows them in a window
that looks like the handheld's screen whenever a display is there, and it has
a desktop entry.")
# Qt draws the window's SVG icon through a plug-in, and the window's font is
# DejaVu Sans Condensed: neither shows in the libraries the module links.
set(CPACK_DEBIAN_WINDOW_PACKAGE_RECOMMENDS "libqt6svg6, fonts-dejavu-extra")
include(CPack)
