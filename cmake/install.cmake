# Installation and the Debian package.
include(GNUInstallDirs)

if(TARGET velkaro)
  install(TARGETS velkaro RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES data/velkaro.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES data/appicon/velkaro.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  install(FILES data/appicon/velkaro-48.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps RENAME velkaro.png)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/data/vkreadme.htm)
  install(FILES data/vkreadme.htm DESTINATION ${CMAKE_INSTALL_DATADIR}/velkaro)
endif()
if(TARGET velkaro-batch)
  install(TARGETS velkaro-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES data/velkaro-batch.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkaro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velkaro developers <velkaro@velkaro.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "rewrite static HTML pages in batches: replace code, convert special characters, compress")
set(CPACK_PACKAGE_DESCRIPTION
    "Velkaro rewrites HTML files in place, in batches. It replaces HTML code by a list of\n\
find/replace pairs, converts the Latin-1 bytes 0xA0-0xFF into HTML named entities and\n\
compresses HTML while <pre> and <script> blocks stay byte for byte. It comes as a desktop\n\
program with a German user interface (velkaro) and as a command-line tool (velkaro-batch).")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its SVG image plugin at run time; the bundled icons need it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velkaro.example/")
set(CPACK_STRIP_FILES ON)
include(CPack)

# What a user gets from an installation: checked on every test run.
if(TARGET velkaro AND TARGET velkaro-batch)
  add_test(NAME InstallAndPackage
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/check-install ${CMAKE_BINARY_DIR})
  set_tests_properties(InstallAndPackage PROPERTIES RUN_SERIAL TRUE)
endif()
