# Packages made by "cmake --build <build> --target package":
# - on Linux, a Debian package: the program, the image tool and the
#   recording reader (qv-trace) in /usr/bin,
#   the udev rule, the man page and a postinst that prepares the FWVer
#   folder; its dependencies come from dpkg-shlibdeps;
# - for Windows, a zip: the program, the image tool, qv-trace, the README and an
#   example TAVO.ini.
set(QV_PACKAGE_TOOLS qv-imagetool)
if(TARGET qv-trace)
  list(APPEND QV_PACKAGE_TOOLS qv-trace)
endif()

set(CPACK_PACKAGE_NAME QuorvexUpdate)
set(CPACK_PACKAGE_VENDOR "VOR")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware updater for the VOR USB sensor-hub microcontroller")
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
set(QV_PACKAGE_MAINTAINER "QuorvexUpdate maintainers <quorvexupdate@vor.invalid>"
    CACHE STRING "Maintainer named in the Debian package")

if(WIN32)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(QV_WINDOWS_ARCH x64)
  else()
    set(QV_WINDOWS_ARCH x86)
  endif()
  # The example TAVO.ini with the line ends Windows editors expect.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/TAVO.ini ${PROJECT_BINARY_DIR}/packaging/TAVO.ini
                 @ONLY NEWLINE_STYLE CRLF)
  install(TARGETS QuorvexUpdate ${QV_PACKAGE_TOOLS} RUNTIME DESTINATION .)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_BINARY_DIR}/packaging/TAVO.ini DESTINATION .)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME QuorvexUpdate-${PROJECT_VERSION}-windows-${QV_WINDOWS_ARCH})
elseif(UNIX AND NOT APPLE)
  set(QV_DOC_DIR share/doc/quorvexupdate)
  # The man page carries the project's version and is installed compressed,
  # as Debian's man pages are.
  configure_file(${PROJECT_SOURCE_DIR}/packaging/linux/QuorvexUpdate.1
                 ${PROJECT_BINARY_DIR}/packaging/QuorvexUpdate.1 @ONLY)
  set(QV_MAN_PAGE ${PROJECT_BINARY_DIR}/packaging/QuorvexUpdate.1.gz)
  add_custom_command(OUTPUT ${QV_MAN_PAGE}
    COMMAND gzip -9 -n -c ${PROJECT_BINARY_DIR}/packaging/QuorvexUpdate.1 > ${QV_MAN_PAGE}
    DEPENDS ${PROJECT_BINARY_DIR}/packaging/QuorvexUpdate.1
    COMMENT "Compressing the man page"
    VERBATIM)
  add_custom_target(qv_man_page ALL DEPENDS ${QV_MAN_PAGE})

  install(TARGETS QuorvexUpdate ${QV_PACKAGE_TOOLS} RUNTIME DESTINATION bin)
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/linux/70-quorvex-sensorhub.rules DESTINATION lib/udev/rules.d)
  install(FILES ${QV_MAN_PAGE} DESTINATION share/man/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${QV_DOC_DIR})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/TAVO.ini DESTINATION ${QV_DOC_DIR}/examples)

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_PACKAGE_NAME quorvexupdate)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${QV_PACKAGE_MAINTAINER})
  set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Firmware updater for the VOR USB sensor-hub microcontroller\n\
Finds the sensor hub among the HID devices, switches it into its boot loader,\n\
erases, writes, reads back and compares its code flash, brings it back and\n\
reports the outcome on screen, in a result log and through the exit code.\n\
The package brings the udev rule that gives the logged-in user and the\n\
plugdev group access to the hub, and the folder that records the firmware\n\
version last written (/var/lib/quorvex).")
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  # The rule and the folder are applied by udev; without it only root reaches
  # the hub.
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS udev)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/linux/postinst
    ${PROJECT_SOURCE_DIR}/packaging/linux/postrm)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()

include(CPack)
