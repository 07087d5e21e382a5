# What `cmake --install` puts where (GNUInstallDirs), and the Debian package
# that CPack makes of it (`cpack -G DEB` in the build folder).
include(GNUInstallDirs)

install(TARGETS velmora-device RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(VELMORA_TERMINAL)
  install(TARGETS VelmoraCfg RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(VELMORA_TERMINAL AND VELMORA_WINDOW)
  install(TARGETS velmora-window LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/velmora)
  install(FILES platform/window/velmora-cfg.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES platform/window/velmora-cfg.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endif()
install(FILES packaging/velmora-device.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME velmora-device)

# Manual pages: the roff sources of packaging/man with the version filled
# in, compressed as Debian keeps them.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(VERSION ${PROJECT_VERSION})
set(man_pages velmora-device.1)
if(VELMORA_TERMINAL)
  list(APPEND man_pages VelmoraCfg.1)
endif()
set(compressed_pages)
foreach(page ${man_pages})
  configure_file(packaging/man/${page} ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
    COMMAND ${GZIP_PROGRAM} -9 -n -c ${CMAKE_BINARY_DIR}/man/${page} > ${CMAKE_BINARY_DIR}/man/${page}.gz
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page})
  list(APPEND compressed_pages ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_target(man_pages ALL DEPENDS ${compressed_pages})
install(FILES ${compressed_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "VelmoraCfg maintainers <maintainers@velmora.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "configure the Velmora virtual serial splitter of a simulated handheld")
set(CPACK_PACKAGE_DESCRIPTION
    "VelmoraCfg lists the serial ports COM0 to COM9 of a handheld with the driver
holding each, installs the Velmora virtual serial splitter on a COM number and
connects it to a real port, takes over ports held by other drivers and sets the
splitter's logging options. Its user interface is German; it runs in a window
or in the terminal.
.
velmora-device makes and inspects simulated handhelds kept in a folder and
switches them on, so that the splitter's ports carry GPS data to programs such
as gpsd.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt draws the window's SVG icon through a plug-in, and the window's font is
# DejaVu Sans Condensed: neither shows in the libraries the programs link.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libqt6svg6, fonts-dejavu-extra")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gpsd, gpsd-clients")
include(CPack)
