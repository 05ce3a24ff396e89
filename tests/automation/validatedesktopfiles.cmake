# Checks the desktop entry, the runner's plug-in entry and the AppStream metainfo with the
# freedesktop validators: desktop-file-validate must say nothing, and appstreamcli may only ask
# for a web address or a screenshot (the project has no public site yet).
# Usage: cmake -DDATA=source/data -DWORK=scratch-folder -P validatedesktopfiles.cmake

set(TESSARY_INSTALL_BINARY /usr/bin/tessary)
set(PROJECT_VERSION 0.1.0)
set(TESSARY_RELEASE_DATE 2026-12-07)
file(MAKE_DIRECTORY ${WORK})
configure_file(${DATA}/org.tessary.Tessary.desktop.in ${WORK}/org.tessary.Tessary.desktop @ONLY)
configure_file(${DATA}/org.tessary.Tessary.metainfo.xml.in ${WORK}/org.tessary.Tessary.metainfo.xml @ONLY)

set(failed FALSE)
foreach(entry ${WORK}/org.tessary.Tessary.desktop)
  execute_process(COMMAND desktop-file-validate ${entry} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR NOT "${out}${err}" STREQUAL "")
    message(SEND_ERROR "desktop-file-validate ${entry}:\n${out}${err}")
    set(failed TRUE)
  endif()
endforeach()

execute_process(COMMAND appstreamcli validate --no-net --no-color ${WORK}/org.tessary.Tessary.metainfo.xml
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
string(REGEX MATCHALL "(^|\n)[EW]: [^\n]*" complaints "${out}${err}")
list(FILTER complaints EXCLUDE REGEX "url|screenshot")
if(NOT status EQUAL 0 OR complaints)
  message(SEND_ERROR "appstreamcli validate:\n${out}${err}")
  set(failed TRUE)
endif()

foreach(file org.tessary.Tessary.search-provider.ini org.tessary.Tessary.krunner.desktop)
  file(READ ${DATA}/${file} text)
  if(NOT text MATCHES "org.tessary.Tessary")
    message(SEND_ERROR "${file} does not name the service")
  endif()
endforeach()
