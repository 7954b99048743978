# What `cmake --install` puts where, and the Debian package that cpack
# builds from it (scripts/package). Every destination is relative to the
# prefix, and the programs find their worker and translations relative to
# their own folder, so an install works under any prefix and DESTDIR.

set(MORVANE_APP_ID io.github.morvane.Morvane)

install(TARGETS morvane morvane-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS morvane-office RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/morvane)
if(MORVANE_IWORK_READER_DIR)
  # Beside the worker, where it looks first: the reader and the ODF writer
  # that LibreOffice reads it through.
  install(DIRECTORY ${MORVANE_IWORK_READER_DIR}/ DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/morvane/lib
    FILES_MATCHING PATTERN "libetonyek-0.1.so*" PATTERN "libodfgen-0.1.so*")
endif()

# The desktop: the entry, its icon (also under the older name), the
# software centres' description, and Nemo's context-menu action.
install(FILES resources/${MORVANE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES resources/${MORVANE_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES resources/morvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
  RENAME ${MORVANE_APP_ID}.svg)
install(FILES resources/morvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES resources/file-manager/morvane.nemo_action DESTINATION ${CMAKE_INSTALL_DATADIR}/nemo/actions)

# The terminal: man pages (compressed, as Debian keeps them) and bash completion.
set(MORVANE_MAN_PAGES "")
foreach(page morvane.1 morvane-cli.1)
  configure_file(resources/man/${page}.in ${CMAKE_BINARY_DIR}/man/${page} @ONLY)
  add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
    COMMAND gzip -9nf -k ${CMAKE_BINARY_DIR}/man/${page}
    DEPENDS ${CMAKE_BINARY_DIR}/man/${page}
    VERBATIM)
  list(APPEND MORVANE_MAN_PAGES ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_target(morvane_man_pages ALL DEPENDS ${MORVANE_MAN_PAGES})
install(FILES ${MORVANE_MAN_PAGES} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/completion/morvane-cli
  DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)

# The Debian package: `cpack -G DEB` in a build configured for prefix /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvane)
set(CPACK_PACKAGE_VENDOR "The Morvane developers")
# The maintainer answers where error reports go (MORVANE_SUPPORT_ADDRESS).
set(CPACK_PACKAGE_CONTACT "${CPACK_PACKAGE_VENDOR} <${MORVANE_SUPPORT_ADDRESS}>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter between iWork and Microsoft Office documents")
# The long description, below the summary.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "Morvane converts office documents in batches between Apple's iWork formats
(Pages, Numbers, Keynote) and Microsoft Office formats (docx, xlsx, pptx),
and exports either family to PDF, with LibreOffice. It comes as a desktop
application (morvane) and as a command (morvane-cli).")
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://github.com/morvane/morvane)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The libraries the programs link come from dpkg-shlibdeps; the worker loads
# LibreOffice (LibreOfficeKit is in libreoffice-core, which these bring) at
# run time, and the window needs Qt's platform plugins (and its SVG plugin
# for the icon). PDFs draw the fonts iWork documents name with the free
# faces of the same metrics (src/office/font_substitutions.cpp).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libreoffice-writer, libreoffice-calc, libreoffice-impress, qt6-qpa-plugins, libqt6svg6, \
fonts-crosextra-carlito, fonts-crosextra-caladea, fonts-liberation, fonts-liberation2, \
fonts-urw-base35, fonts-adf-gillius, fonts-linuxlibertine, fonts-dejavu-core, fonts-noto-cjk")
# Qt's own German texts for the standard dialogs; mail and folders opened
# through the desktop.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, xdg-utils")
# The licences of the package and of what it bundles (the patched iWork
# reader and ODF writer), in Debian's machine-readable copyright format.
configure_file(resources/package/copyright.in ${CMAKE_BINARY_DIR}/copyright @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/morvane)
include(CPack)

if(MORVANE_BUILD_TESTS)
  # The entry and the description as the desktop's tools check them.
  add_test(NAME desktop_entry_valid
    COMMAND desktop-file-validate ${CMAKE_SOURCE_DIR}/resources/${MORVANE_APP_ID}.desktop)
  add_test(NAME metainfo_valid
    COMMAND appstreamcli validate --no-net
      ${CMAKE_SOURCE_DIR}/resources/${MORVANE_APP_ID}.metainfo.xml)

  # The install of this build, and the Debian package of scripts/package
  # (a build tree of its own: about a minute and a half on two cores the
  # first time), unpacked into temporary folders.
  add_executable(morvane_package_tests src/app/package_test.cpp)
  target_link_libraries(morvane_package_tests PRIVATE morvane_ui morvane_testing GTest::gtest_main)
  target_compile_definitions(morvane_package_tests PRIVATE
    MORVANE_VERSION="${PROJECT_VERSION}"
    MORVANE_APP_ID="${MORVANE_APP_ID}"
    MORVANE_PACKAGE_CONTACT="${CPACK_PACKAGE_CONTACT}"
    MORVANE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    MORVANE_BUILD_DIR="${CMAKE_BINARY_DIR}"
    MORVANE_CONFIGURED_WORKER="${CMAKE_INSTALL_FULL_LIBEXECDIR}/morvane/morvane-office"
    MORVANE_READER_BUNDLED=$<BOOL:${MORVANE_IWORK_READER_DIR}>)
  # What the install takes from this build.
  add_dependencies(morvane_package_tests morvane morvane-cli morvane-office morvane_man_pages)
  # One process for all cases: they share one package.
  add_test(NAME install_and_debian_package COMMAND morvane_package_tests)
  set_tests_properties(install_and_debian_package PROPERTIES TIMEOUT 600 LABELS package)
endif()
