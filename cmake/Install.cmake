# Installation: both programs, the desktop entry, the icon at four sizes, the
# AppStream metadata and the renderer's man page; `make package` wraps it in a .deb.
include(GNUInstallDirs)

if(TARGET vantrelo)
  install(TARGETS vantrelo RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(TARGETS vantrelo-render RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vantrelo.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/example.morvidane.Vantrelo.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size 16 24 32 48)
  install(FILES ${PROJECT_SOURCE_DIR}/app/assets/icon${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME vantrelo.png)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/app/assets/vantrelo.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/vantrelo-render.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_PACKAGE_NAME vantrelo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Morvidane)
set(CPACK_PACKAGE_CONTACT "Morvidane <morvidane@morvidane.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Forum signature card maker")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.morvidane.example/)
# The runtime libraries of the two programs and the fonts they draw with.
set(VANTRELO_DEB_DEPENDS
  libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins
  libjpeg62-turbo libgif7 libpng16-16 libfreetype6 libfontconfig1
  xfonts-wqy fonts-wqy-microhei)
list(JOIN VANTRELO_DEB_DEPENDS ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
include(CPack)
