# Installing Zentavo: `cmake --install build --prefix P` (DESTDIR honoured) lays out
#   P/bin/zentavo, P/bin/zentavo-chl         the program and its list tool
#   P/lib/zentavo/libzentavo-engines.so      the media engines (found as ../lib/zentavo)
#   P/share/zentavo/{data,Skins}             shipped lists, skins and licences (../share/zentavo)
#   P/share/applications, metainfo, icons/hicolor, man/man1
# Tests, benchmarks and build tools are not installed.
include(GNUInstallDirs)

set(ZENTAVO_APP_ID example.zentavo.Zentavo)
set(ZENTAVO_HOMEPAGE "http://www.zentavo.example/")
set(ZENTAVO_RELEASE_DATE 2026-12-09)

install(TARGETS zentavo zentavo-chl RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zentavo_engines LIBRARY DESTINATION lib/zentavo)

install(FILES ${ZENTAVO_BIN_DIR}/data/TV.CHL ${ZENTAVO_BIN_DIR}/data/Radio.CHL ${ZENTAVO_SHIPPED_FAVORITES}
              ${CMAKE_SOURCE_DIR}/resources/catalogue/SOURCES.md ${CMAKE_SOURCE_DIR}/resources/catalogue/IPRD-LICENSE.txt
        DESTINATION ${CMAKE_INSTALL_DATADIR}/zentavo/data)
install(FILES ${ZENTAVO_SKINS} DESTINATION ${CMAKE_INSTALL_DATADIR}/zentavo/Skins)

install(FILES ${CMAKE_SOURCE_DIR}/resources/desktop/${ZENTAVO_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${CMAKE_SOURCE_DIR}/resources/desktop/${ZENTAVO_APP_ID}.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/share/${ZENTAVO_APP_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/share/${ZENTAVO_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

install(FILES ${CMAKE_SOURCE_DIR}/resources/art/zentavo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${ZENTAVO_APP_ID}.svg)
foreach(size ${ZENTAVO_ICON_SIZES})
  install(FILES ${CMAKE_BINARY_DIR}/icons/${size}/${ZENTAVO_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

configure_file(${CMAKE_SOURCE_DIR}/docs/man/zentavo.1.in ${CMAKE_BINARY_DIR}/share/zentavo.1 @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/docs/man/zentavo-chl.1.in ${CMAKE_BINARY_DIR}/share/zentavo-chl.1 @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/share/zentavo.1 ${CMAKE_BINARY_DIR}/share/zentavo-chl.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
