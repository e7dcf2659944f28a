# Installation in the Linux layout and the Debian package:
#   cmake --install build --prefix P        (P/bin, P/share/...)
#   scripts/package.sh                      (build/kalvor_<version>_<arch>.deb)
# The programs need nothing from the source tree once installed: the icons
# and the manual are built into kalvor, the examples lie in
# share/kalvor/examples beside bin/.
include(GNUInstallDirs)

set(KALVOR_DOC_DIR ${CMAKE_INSTALL_DATAROOTDIR}/doc/kalvor)

# The project's maintainer: the package's Maintainer, the changelog's
# trailer lines and the copyright file's contact.
set(KALVOR_MAINTAINER "Kalvor maintainers <maintainers@users.noreply.c-seed-1fe13120.example>")
set(KALVOR_VERSION ${PROJECT_VERSION})
find_program(GZIP gzip)
find_program(HELP2MAN help2man)

# A manual page or changelog compressed as Debian wants it (-9, no name or
# time stamp in the header): OUTPUT.gz from the configured SOURCE.
function(kalvor_gzipped source output)
  configure_file(${source} ${output} @ONLY)
  add_custom_command(OUTPUT ${output}.gz
                     COMMAND ${CMAKE_COMMAND} -E copy ${output} ${output}.tmp
                     COMMAND ${GZIP} -9nf ${output}.tmp
                     COMMAND ${CMAKE_COMMAND} -E rename ${output}.tmp.gz ${output}.gz
                     DEPENDS ${output} VERBATIM)
endfunction()

set(man ${CMAKE_CURRENT_BINARY_DIR}/man)
set(KALVOR_PACKAGE_DOCS)
if(GZIP)
  kalvor_gzipped(${PROJECT_SOURCE_DIR}/data/package/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/package/changelog)
  list(APPEND KALVOR_PACKAGE_DOCS ${CMAKE_CURRENT_BINARY_DIR}/package/changelog.gz)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/package/changelog.gz DESTINATION ${KALVOR_DOC_DIR})
endif()
configure_file(${PROJECT_SOURCE_DIR}/data/package/copyright.in ${CMAKE_CURRENT_BINARY_DIR}/package/copyright @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/package/copyright DESTINATION ${KALVOR_DOC_DIR})

if(TARGET kalvor-calc)
  install(TARGETS kalvor-calc RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # The default (English) page is written by hand; the Russian one is made
  # from --help and --version, so that it cannot drift from the program.
  if(GZIP)
    kalvor_gzipped(${PROJECT_SOURCE_DIR}/man/kalvor-calc.1 ${man}/man1/kalvor-calc.1)
    list(APPEND KALVOR_PACKAGE_DOCS ${man}/man1/kalvor-calc.1.gz)
    install(FILES ${man}/man1/kalvor-calc.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
  if(HELP2MAN AND GZIP)
    set(ru ${man}/ru/man1/kalvor-calc.1)
    add_custom_command(
      OUTPUT ${ru}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${man}/ru/man1
      COMMAND ${CMAKE_COMMAND} -E env LANG=C.UTF-8 LC_ALL=C.UTF-8
              ${HELP2MAN} --no-info --section=1 --source=Kalvor --locale=C.UTF-8
              --include=${PROJECT_SOURCE_DIR}/cli/kalvor-calc.h2m
              --output=${ru} $<TARGET_FILE:kalvor-calc>
      COMMAND ${GZIP} -9nf ${ru}
      DEPENDS kalvor-calc ${PROJECT_SOURCE_DIR}/cli/kalvor-calc.h2m
      COMMENT "Manual page ru/kalvor-calc.1"
      VERBATIM)
    list(APPEND KALVOR_PACKAGE_DOCS ${ru}.gz)
    install(FILES ${ru}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ru/man1)
  else()
    message(STATUS "help2man or gzip not found: no Russian manual page for kalvor-calc")
  endif()
endif()

if(TARGET kalvor AND GZIP)
  kalvor_gzipped(${PROJECT_SOURCE_DIR}/man/kalvor.1 ${man}/man1/kalvor.1)
  kalvor_gzipped(${PROJECT_SOURCE_DIR}/man/ru/kalvor.1 ${man}/ru/man1/kalvor.1)
  list(APPEND KALVOR_PACKAGE_DOCS ${man}/man1/kalvor.1.gz ${man}/ru/man1/kalvor.1.gz)
  install(FILES ${man}/man1/kalvor.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${man}/ru/man1/kalvor.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/ru/man1)
endif()
add_custom_target(kalvor-package-docs ALL DEPENDS ${KALVOR_PACKAGE_DOCS})

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
  # The package as a new user gets it: lintian finds no error, and the
  # README's dependency list is the package's. Only for a plain build: a
  # package of instrumented binaries depends on the sanitizer runtimes and
  # leaves out the Python module.
  find_program(LINTIAN lintian)
  if(LINTIAN AND TARGET kalvor AND TARGET kalvor-calc
     AND NOT KALVOR_SANITIZE AND NOT KALVOR_TSAN AND NOT KALVOR_FUZZ)
    add_test(NAME package COMMAND ${PROJECT_SOURCE_DIR}/scripts/check_package.sh ${CMAKE_BINARY_DIR}
                                  ${PROJECT_SOURCE_DIR})
    set_tests_properties(package PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
  endif()
endif()

# Debian package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kalvor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Kalvor")
set(CPACK_PACKAGE_CONTACT "${KALVOR_MAINTAINER}")
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
# Qt's own Russian texts make the standard buttons and file dialogs speak
# the program's language.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6, qt6-translations-l10n")
if(TARGET kalvor_python)
  string(APPEND CPACK_DEBIAN_PACKAGE_DEPENDS ", ${KALVOR_PYTHON_DEPENDS}")
endif()
set(CPACK_STRIP_FILES ON)
include(CPack)
