# Installation in the Linux layout and the Debian package:
#   cmake --install build --prefix P        (P/bin, P/share/...)
#   scripts/package.sh                      (build/kalvor_<version>_<arch>.deb)
# The programs need nothing from the source tree once installed: the icons
# and the manual are built into kalvor, the examples lie in
# share/kalvor/examples beside bin/.
include(GNUInstallDirs)

set(KALVOR_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvor)

if(TARGET kalvor-calc)
  install(TARGETS kalvor-calc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The manual page is made from --help and --version, so it cannot drift
  # from the program.
  find_program(HELP2MAN help2man)
  find_program(GZIP gzip)
  if(HELP2MAN AND GZIP)
    set(man ${CMAKE_CURRENT_BINARY_DIR}/kalvor-calc.1)
    add_custom_command(
      OUTPUT ${man}.gz
      COMMAND ${HELP2MAN} --no-info --section=1 --source=Kalvor --locale=C.UTF-8
              --include=${PROJECT_SOURCE_DIR}/cli/kalvor-calc.h2m
              --output=${man} $<TARGET_FILE:kalvor-calc>
      COMMAND ${GZIP} -9nf ${man}
      DEPENDS kalvor-calc ${PROJECT_SOURCE_DIR}/cli/kalvor-calc.h2m
      COMMENT "Manual page kalvor-calc.1"
      VERBATIM)
    add_custom_target(kalvor-calc-man ALL DEPENDS ${man}.gz)
    install(FILES ${man}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  else()
    message(STATUS "help2man or gzip not found: no manual page for kalvor-calc")
  endif()
endif()

if(TARGET kalvor)
  install(TARGETS kalvor RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES data/kalvor.desktop DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/applications)
  install(FILES dialogs/pictures/kalvor.svg
          DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/icons/hicolor/scalable/apps)
endif()

file(GLOB KALVOR_EXAMPLE_FILES ${PROJECT_SOURCE_DIR}/examples/*.txt ${PROJECT_SOURCE_DIR}/examples/*.kalvor.ini)
list(REMOVE_ITEM KALVOR_EXAMPLE_FILES ${PROJECT_SOURCE_DIR}/examples/ControlCalc.txt)
install(FILES ${KALVOR_EXAMPLE_FILES} DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/kalvor/examples)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/dxf DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/kalvor/examples)
install(FILES doc/manual.md README.md DESTINATION ${KALVOR_DOC_DIR})

if(KALVOR_TESTS)
  find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
  if(DESKTOP_FILE_VALIDATE)
    add_test(NAME desktop-entry COMMAND ${DESKTOP_FILE_VALIDATE} ${PROJECT_SOURCE_DIR}/data/kalvor.desktop)
  endif()
endif()

# Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kalvor")
set(CPACK_PACKAGE_CONTACT "Kalvor developers <kalvor@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "axisymmetric electrostatic fields by the charge simulation method")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Kalvor computes axisymmetric electrostatic fields of electrodes and dielectric
bodies by the charge simulation method: ring charges behind the generatrices of
the surfaces, a dense system of equations, potential and field along every
generatrix and along curves in the gap. The desktop program kalvor edits and
calculates field systems; kalvor-calc calculates them in batch.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the SVG icon engine as a plug-in: no linked library names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_STRIP_FILES ON)
include(CPack)
