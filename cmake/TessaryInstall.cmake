# Install rules (`cmake --install`, honouring --prefix and DESTDIR) and the Debian package
# (`cpack -G DEB`): the program, its desktop entry, D-Bus service, AppStream metainfo, icons,
# desktop search providers and manual page.

include(GNUInstallDirs)

set(TESSARY_RELEASE_DATE "2026-12-07" CACHE STRING "Release date of this version, for the metainfo file")
set(TESSARY_PACKAGE_MAINTAINER "Tessary developers" CACHE STRING "Maintainer field of the Debian package")

set(_data ${PROJECT_SOURCE_DIR}/data)

install(TARGETS tessary RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS tessary-reader RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/tessary)
install(TARGETS tessary-window LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tessary)
install(CODE "
  set(TESSARY_DATA_DIR \"${_data}\")
  set(TESSARY_BINARY \"$<TARGET_FILE:tessary>\")
  set(TESSARY_VERSION \"${PROJECT_VERSION}\")
  set(TESSARY_RELEASE_DATE \"${TESSARY_RELEASE_DATE}\")
  set(TESSARY_STAGING \"${PROJECT_BINARY_DIR}/data\")
  set(TESSARY_BINDIR \"${CMAKE_INSTALL_BINDIR}\")
  set(TESSARY_DATADIR \"${CMAKE_INSTALL_DATADIR}\")
  set(TESSARY_MANDIR \"${CMAKE_INSTALL_MANDIR}\")
  include(\"${_data}/install-entries.cmake\")
")
install(FILES ${PROJECT_SOURCE_DIR}/src/ui/common/icons/org.tessary.Tessary.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${_data}/icons/org.tessary.Tessary-symbolic.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/symbolic/apps)
install(FILES ${_data}/org.tessary.Tessary.search-provider.ini
  DESTINATION ${CMAKE_INSTALL_DATADIR}/gnome-shell/search-providers)
install(FILES ${_data}/org.tessary.Tessary.krunner.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/krunner/dbusplugins RENAME org.tessary.Tessary.desktop)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessary)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "searchable home for the files in your folders")
set(CPACK_PACKAGE_DESCRIPTION
  "Tessary scans the folders you choose, sorts every file into a kind and lets you search them in plain words, review duplicates and look-alike images, clean up and automate, all on your own computer.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TESSARY_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads its platform and image plug-ins at run time, so no library names them; nor the
# cursor library its X11 plug-in opens for the cursor theme. scripts/check-package-depends checks
# what the window loads against these lists.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins, libqt6svg6, tesseract-ocr-eng, adwaita-icon-theme, libxcursor1, qt6-wayland, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good, gstreamer1.0-plugins-bad, gstreamer1.0-libav, gstreamer1.0-pulseaudio")
include(CPack)
