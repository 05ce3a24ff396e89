# Install-time part of the install rules: the entries that name the installed program by its
# absolute path are written for the prefix being installed to (`cmake --install --prefix`,
# CPack's packaging prefix), and the manual page is made from the built program's help texts.
# Expects TESSARY_DATA_DIR, TESSARY_BINARY, TESSARY_VERSION, TESSARY_RELEASE_DATE and
# TESSARY_STAGING from the install rules, and GNUInstallDirs' relative folders.

set(TESSARY_INSTALL_BINARY "${CMAKE_INSTALL_PREFIX}/${TESSARY_BINDIR}/tessary")
set(PROJECT_VERSION "${TESSARY_VERSION}")
configure_file("${TESSARY_DATA_DIR}/org.tessary.Tessary.desktop.in" "${TESSARY_STAGING}/org.tessary.Tessary.desktop" @ONLY)
configure_file("${TESSARY_DATA_DIR}/org.tessary.Tessary.service.in" "${TESSARY_STAGING}/org.tessary.Tessary.service" @ONLY)
configure_file("${TESSARY_DATA_DIR}/org.tessary.Tessary.metainfo.xml.in" "${TESSARY_STAGING}/org.tessary.Tessary.metainfo.xml" @ONLY)
execute_process(COMMAND "${CMAKE_COMMAND}" -DTESSARY=${TESSARY_BINARY} -DVERSION=${TESSARY_VERSION}
  -DOUTPUT=${TESSARY_STAGING}/tessary.1 -P "${TESSARY_DATA_DIR}/manpage.cmake" RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "the manual page could not be made")
endif()

file(INSTALL "${TESSARY_STAGING}/org.tessary.Tessary.desktop" DESTINATION "${CMAKE_INSTALL_PREFIX}/${TESSARY_DATADIR}/applications")
file(INSTALL "${TESSARY_STAGING}/org.tessary.Tessary.service" DESTINATION "${CMAKE_INSTALL_PREFIX}/${TESSARY_DATADIR}/dbus-1/services")
file(INSTALL "${TESSARY_STAGING}/org.tessary.Tessary.metainfo.xml" DESTINATION "${CMAKE_INSTALL_PREFIX}/${TESSARY_DATADIR}/metainfo")
# Compressed, as manual pages are kept.
file(ARCHIVE_CREATE OUTPUT "${TESSARY_STAGING}/tessary.1.gz" PATHS "${TESSARY_STAGING}/tessary.1"
  FORMAT raw COMPRESSION GZip)
file(INSTALL "${TESSARY_STAGING}/tessary.1.gz" DESTINATION "${CMAKE_INSTALL_PREFIX}/${TESSARY_MANDIR}/man1")
