# Installation into the standard places of a Linux desktop, and the Debian package (cpack -G DEB).
include(GNUInstallDirs)

set(KALVON_APP_ID org.example.kalvon)

# Qt and the C++ runtime come from the system's library paths; no search path of our own.
set_target_properties(kalvon kalvon-find PROPERTIES INSTALL_RPATH "")
install(TARGETS kalvon kalvon-find RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${KALVON_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/${KALVON_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# The icon in the hicolor theme, drawn from resources/icons/kalvon.svg.
foreach(size 16 32 48 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kalvon-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${KALVON_APP_ID}.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/kalvon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${KALVON_APP_ID}.svg)

set(CPACK_PACKAGE_NAME kalvon)
set(CPACK_PACKAGE_VENDOR "Kalvon")
set(CPACK_PACKAGE_CONTACT "Kalvon <kalvon@example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://kalvon.example.org")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Findet die Beträge, die zusammen eine gesuchte Summe ergeben")
set(CPACK_PACKAGE_DESCRIPTION "Kalvon sucht unter bis zu 23 Beträgen alle Kombinationen, deren Summe einen\n\
Zielwert genau trifft oder in einem Toleranzbereich um ihn liegt. Das Kommandozeilenprogramm\n\
kalvon-find durchsucht längere Listen mit bis zu 48 Beträgen.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends lists the packages of the libraries the program links against (Qt, the C++ runtime),
# as dpkg-shlibdeps finds them; the X11 platform plugin comes with libqt6gui6. The Wayland
# plugin is a package of its own; without it Qt runs through XWayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's German texts for the fields' context menu; Wayland sessions.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, qt6-wayland")
include(CPack)
