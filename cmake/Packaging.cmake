# What is installed beside the two programs (their own install rules sit with
# their targets), and the Debian package that `make package` makes of it all
# with CPack. Nothing of the tests, benchmarks or fuzz programs is installed.

set(_resources ${PROJECT_SOURCE_DIR}/resources)

install(FILES ${_resources}/${QUORVANE_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 128 256)
    install(FILES ${_resources}/icons/app/quorvane-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ${QUORVANE_APP_ID}.png)
endforeach()
install(FILES ${_resources}/icons/app/quorvane.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME ${QUORVANE_APP_ID}.svg)
install(FILES ${_resources}/web_template.html DESTINATION ${CMAKE_INSTALL_DATADIR}/quorvane)
install(FILES ${_resources}/package/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvane)

configure_file(${_resources}/package/metainfo.xml.in
               ${CMAKE_CURRENT_BINARY_DIR}/package/${QUORVANE_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/package/${QUORVANE_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# The manual pages carry the version and date; Debian wants them gzipped, and
# without a time stamp inside (-n) so that two builds give the same bytes.
find_program(GZIP_PROGRAM gzip REQUIRED)
set(_man_pages)
foreach(page quorvane.1 quorvane-sim.1)
    set(_page ${CMAKE_CURRENT_BINARY_DIR}/man/${page})
    configure_file(${PROJECT_SOURCE_DIR}/docs/man/${page}.in ${_page} @ONLY)
    add_custom_command(OUTPUT ${_page}.gz
        COMMAND ${GZIP_PROGRAM} -9 -n -c ${_page} > ${_page}.gz
        DEPENDS ${_page} ${PROJECT_SOURCE_DIR}/docs/man/${page}.in
        VERBATIM)
    list(APPEND _man_pages ${_page}.gz)
endforeach()
add_custom_target(quorvane_man_pages ALL DEPENDS ${_man_pages})
install(FILES ${_man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Quorvane developers")
set(CPACK_PACKAGE_CONTACT "Quorvane developers <developers@quorvane.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "console for a park of Half-Life game servers and HLTV proxies")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_NAME quorvane)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The ledger opens its database through a Qt SQL plugin, which no linker sees:
# SQLite is the default ledger, PostgreSQL the league's choice.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "libqt6sql6-psql")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# CPack puts the summary above this text and indents it as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Quorvane watches and drives Half-Life game servers, the HLTV proxies that
relay their matches to spectators, and GTV hub managers. Every machine is a
box on a scrolling canvas, polled over UDP and drawn with its gauges and
status marks; a control panel gives its console, players, rcon commands and
demo recording. A proxy can record every match of its server by itself, and
an HTML status page can be uploaded by FTP every 30 seconds.

The same park can be watched without a window (quorvane --headless), with
reports as text or JSON, live server logs and a Prometheus endpoint.
What happened (matches, commands, availability, players seen) is kept in a
ledger: an SQLite file by default, or a PostgreSQL database shared by a league.
quorvane-sim runs a simulated park on the local machine.")
include(CPack)
