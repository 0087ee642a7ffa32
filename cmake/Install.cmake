# Installing the programs and what the desktop needs to offer them: `cmake --install` (any
# prefix, DESTDIR honoured) and `cpack -G DEB`. The programs find their data from their own
# location: $prefix/bin/../share/gathralight.
include(GNUInstallDirs)

set(GATHRA_APP_ID org.gathralight.GathraLight)
set(GATHRA_DESKTOP_DATA ${CMAKE_SOURCE_DIR}/data/desktop)

install(TARGETS gathra RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET gathralight)
  install(TARGETS gathralight RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# The program folder: help, the images generated briefs show, the sample briefs, the demo site.
install(DIRECTORY data/images data/Briefs data/help data/demo-site
        DESTINATION ${CMAKE_INSTALL_DATADIR}/gathralight)

install(FILES ${GATHRA_DESKTOP_DATA}/${GATHRA_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 22 24 32 48 64 128 256)
  install(FILES ${GATHRA_DESKTOP_DATA}/icons/${GATHRA_APP_ID}-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME ${GATHRA_APP_ID}.png)
endforeach()
install(FILES ${GATHRA_DESKTOP_DATA}/icons/${GATHRA_APP_ID}.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# Brief files (".brf", and files that begin with "SKBF-QRW") open with the desktop program.
install(FILES ${GATHRA_DESKTOP_DATA}/${GATHRA_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${GATHRA_APP_ID}.xml)
install(FILES ${GATHRA_DESKTOP_DATA}/${GATHRA_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES docs/man/gathra.1 docs/man/gathralight.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${GATHRA_DESKTOP_DATA}/gathra.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME gathra)

# ---- Debian package -------------------------------------------------------------------------------
set(CPACK_PACKAGE_NAME gathralight)
set(CPACK_PACKAGE_VENDOR "Orsolo Development")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Gather web pages and searches into briefs for off-line reading")
set(CPACK_PACKAGE_DESCRIPTION
    "Gathra Light keeps briefs, ordered lists of web pages and searches, and generates them:\n"
    "every active entry is fetched, its links followed level by level, and the pages, images\n"
    "and files stored beside the brief with their links rewritten for off-line reading.\n"
    "Contains the desktop program gathralight and the command line gathra.")
set(CPACK_PACKAGE_CONTACT "Orsolo Development <support@gathralight.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.gathralight.example/")
# The packages of the libraries the programs open at run time, named so that the dependency
# holds on every Debian release the package installs on (Qt 6 makes bookworm the oldest):
# - OpenSSL 3: bookworm's libssl3 is trixie's libssl3t64 (the 64-bit time transition renamed the
#   package, the soname libssl.so.3 stayed). Every function the program looks up is in the
#   OPENSSL_3.0.0 symbol version, so any 3.x serves.
# - SQLite: the search index needs FTS5, which Debian's libsqlite3-0 is built with (bookworm's
#   3.40.1 has ENABLE_FTS5; SQLite itself has had it since 3.9).
if(GATHRA_TLS_LIBRARY MATCHES "^libssl\\.so\\.([0-9]+)$" AND CMAKE_MATCH_1 EQUAL 3)
  set(GATHRA_TLS_PACKAGE "libssl3t64 | libssl3 (>= 3.0.0)")
else()
  string(REGEX REPLACE "^libssl\\.so\\.([0-9.]+)$" "libssl\\1" GATHRA_TLS_PACKAGE
         "${GATHRA_TLS_LIBRARY}")
endif()
set(GATHRA_SQLITE_PACKAGE "libsqlite3-0 (>= 3.40)")
# HTTP/2 framing: linked (dpkg-shlibdeps finds it too); named so that the package says it even
# where the dependencies are not computed. bookworm has 1.52.
set(GATHRA_NGHTTP2_PACKAGE "libnghttp2-14 (>= 1.52)")
# The shared libraries the programs link (Qt, the C++ runtime, ...) are found by dpkg-shlibdeps.
# Named here: OpenSSL and SQLite, which the programs open only when a run needs them (so that
# the linker does not record them), and the programs the desktop program starts.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "${GATHRA_TLS_PACKAGE}, ${GATHRA_SQLITE_PACKAGE}, ${GATHRA_NGHTTP2_PACKAGE}, xdg-utils, shared-mime-info, desktop-file-utils")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "chromium | firefox-esr | www-browser")
include(CPack)

# ---- the installed tree, tried from the test suite ------------------------------------------------
if(BUILD_TESTING OR NOT DEFINED BUILD_TESTING)
  add_test(NAME install_tree
           COMMAND ${CMAKE_SOURCE_DIR}/tests/install/install_test.sh ${CMAKE_BINARY_DIR}
                   ${CMAKE_BINARY_DIR}/install-test)
  set_tests_properties(install_tree PROPERTIES TIMEOUT 180 SKIP_RETURN_CODE 77
                       ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
