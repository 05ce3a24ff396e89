# Shared settings for the project's own targets: warnings as errors, and the
# sanitizers when TESSARY_SANITIZE is on. Third-party code is never built here.

if(TESSARY_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

function(tessary_target_defaults target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                           -Wold-style-cast -Wcast-align -Woverloaded-virtual -Werror)
  target_compile_definitions(${target} PRIVATE QT_NO_CAST_FROM_ASCII QT_NO_CAST_TO_ASCII
                                               QT_NO_KEYWORDS QT_USE_QSTRINGBUILDER)
endfunction()

# tessary_add_library(name SOURCES ... LINKS ...): one layer of the application.
function(tessary_add_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LINKS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_LINKS})
  tessary_target_defaults(${name})
endfunction()

# tessary_add_test(name SOURCES ... LINKS ... [ENVIRONMENT ...] [LAUNCHER command ...]): one Qt
# Test program run by CTest, through LAUNCHER when given.
function(tessary_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LINKS;ENVIRONMENT;LAUNCHER" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test tessary_testsupport ${ARG_LINKS})
  tessary_target_defaults(${name})
  add_test(NAME ${name} COMMAND ${ARG_LAUNCHER} $<TARGET_FILE:${name}>)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;LANG=;LC_ALL=;${ARG_ENVIRONMENT}")
endfunction()

# tessary_widget_pch(target): precompiles the Qt headers the interface libraries include most,
# once per library, so each widget source compiles only its own code.
function(tessary_widget_pch target)
  target_precompile_headers(${target} PRIVATE
    <QtCore/QObject> <QtCore/QString> <QtCore/QList> <QtCore/QHash> <QtCore/QTimer>
    <QtGui/QIcon> <QtGui/QImage> <QtGui/QPainter> <QtGui/QPalette>
    <QtWidgets/QWidget> <QtWidgets/QLabel> <QtWidgets/QBoxLayout> <QtWidgets/QPushButton>
    <QtWidgets/QToolButton> <QtWidgets/QScrollArea> <QtWidgets/QStyle>)
endfunction()
