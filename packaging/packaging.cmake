# SPDX-License-Identifier: GPL-3.0-or-later
# Installation into the standard places of a Linux desktop, and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

set(KALVON_APP_ID org.example.kalvon)
set(KALVON_LISTE_APP_ID org.example.kalvon.liste)
# Files made from templates in packaging/ and docs/man/, with the version and release date filled in.
set(KALVON_GENERATED ${PROJECT_BINARY_DIR}/packaging)

# Fills in template IN and gzips the result at build time into the build's packaging/FILE.gz with
# gzip -9n: best compression, no name and no time stamp, so that every build gives the same bytes.
# Sets OUT to the path of the .gz file.
function(kalvon_gzipped_file in file out)
    configure_file(${in} ${KALVON_GENERATED}/${file} @ONLY)
    add_custom_command(OUTPUT ${KALVON_GENERATED}/${file}.gz
        COMMAND gzip -9n -c ${file} > ${file}.gz
        WORKING_DIRECTORY ${KALVON_GENERATED}
        DEPENDS ${KALVON_GENERATED}/${file}
        VERBATIM)
    add_custom_target(gzip_${file} ALL DEPENDS ${KALVON_GENERATED}/${file}.gz)
    set(${out} ${KALVON_GENERATED}/${file}.gz PARENT_SCOPE)
endfunction()

# The manual page of program NAME, from docs/man/NAME.1.in, into share/man/man1.
function(kalvon_add_manpage name)
    kalvon_gzipped_file(${PROJECT_SOURCE_DIR}/docs/man/${name}.1.in ${name}.1 page)
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()


# Qt and the C++ runtime come from the system's library paths; no search path of our own.
set_target_properties(kalvon kalvon-find kalvon-liste kalvon-abgleich PROPERTIES INSTALL_RPATH "")
install(TARGETS kalvon kalvon-find kalvon-liste kalvon-abgleich RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${KALVON_APP_ID}.desktop ${CMAKE_CURRENT_LIST_DIR}/${KALVON_LISTE_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${CMAKE_CURRENT_LIST_DIR}/${KALVON_APP_ID}.metainfo.xml.in
               ${KALVON_GENERATED}/${KALVON_APP_ID}.metainfo.xml @ONLY)
install(FILES ${KALVON_GENERATED}/${KALVON_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The icons in the hicolor theme: Kalvon's drawn from resources/icons/kalvon.svg, Kalvon Liste's
# from kalvon-liste.svg.
foreach(icon kalvon:${KALVON_APP_ID} kalvon-liste:${KALVON_LISTE_APP_ID})
    string(REPLACE ":" ";" icon ${icon})
    list(GET icon 0 file)
    list(GET icon 1 id)
    foreach(size 16 32 48 256)
        install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/${file}-${size}.png
                DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
                RENAME ${id}.png)
    endforeach()
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/${file}.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
            RENAME ${id}.svg)
endforeach()

kalvon_add_manpage(kalvon)
kalvon_add_manpage(kalvon-find)
kalvon_add_manpage(kalvon-liste)
kalvon_add_manpage(kalvon-abgleich)

# The licence (DEP-5) and the changelog, whose newest entry carries the version and the release
# date (as RFC 2822 date, the form Debian changelogs use).
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kalvon)
execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C date -u -R -d ${KALVON_RELEASE_DATE}
                OUTPUT_VARIABLE KALVON_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
kalvon_gzipped_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in changelog changelog)
install(FILES ${changelog} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/kalvon)

set(CPACK_PACKAGE_NAME kalvon)
set(CPACK_PACKAGE_VENDOR "Kalvon")
set(CPACK_PACKAGE_CONTACT "Kalvon <kalvon@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://kalvon.example.org")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Findet die Beträge, die zusammen eine gesuchte Summe ergeben")
set(CPACK_PACKAGE_DESCRIPTION "Kalvon sucht unter bis zu 23 Beträgen alle Kombinationen, deren Summe einen\n\
Zielwert genau trifft oder in einem Toleranzbereich um ihn liegt.\n\
Das Kommandozeilenprogramm kalvon-find durchsucht lange Listen, auch\n\
CSV-, .xlsx- und .ods-Dateien, und nennt die Treffer mit ihren Belegnummern.\n\
Kalvon Liste öffnet lange Listen aus CSV-, .xlsx- und .ods-Dateien oder der\n\
Zwischenablage in einem eigenen Fenster, sucht ohne Einfrieren, färbt die\n\
Posten eines Treffers grün und markiert sie als ausgeglichen.\n\
kalvon-abgleich ordnet die Zahlungen eines Kontoauszugs (camt.053, MT940,\n\
CSV) den offenen Posten zu: nach Belegnummer, Kunde, Betrag und Skonto.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends lists the packages of the libraries the program links against (Qt, the C++ runtime),
# as dpkg-shlibdeps finds them; the X11 platform plugin comes with libqt6gui6. The Wayland
# plugin is a package of its own; without it Qt runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# kalvon-abgleich loads libxlsxwriter at run time (see src/abgleich/xlsx_library.h), which
# dpkg-shlibdeps cannot see.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxlsxwriter4")
# Qt's German texts for the fields' context menu; Wayland sessions.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")
include(CPack)
