# The window's translations, made with Qt Linguist. The sources are
# translations/morvane_<language>.ts; the build compiles them into
# <build>/translations/ (where the programs of the build tree find them) and
# the install puts them in share/morvane/translations, which the programs
# find relative to their own folder.
#
#   cmake --build build --target update_translations
# collects new and changed texts of the window into the .ts files; translate
# them there (or with Qt Linguist) before committing: a test fails while a
# text has no translation.

find_package(Qt6 REQUIRED COMPONENTS LinguistTools)

set(MORVANE_TS_FILES ${CMAKE_SOURCE_DIR}/translations/morvane_de.ts)
set_source_files_properties(${MORVANE_TS_FILES} PROPERTIES
  OUTPUT_LOCATION ${CMAKE_BINARY_DIR}/translations)

# Every text of the window lives in morvane_ui's sources (the engine's
# alert texts are marked in src/app/translations.cpp).
get_target_property(MORVANE_UI_SOURCES morvane_ui SOURCES)
list(TRANSFORM MORVANE_UI_SOURCES PREPEND "${CMAKE_SOURCE_DIR}/" REGEX "^[^/]")
list(FILTER MORVANE_UI_SOURCES INCLUDE REGEX "/src/[a-z_]+/[a-z_]+\\.cpp$")  # not generated ones
set(MORVANE_LUPDATE_OPTIONS -no-obsolete -locations none)

qt6_add_lupdate(morvane_ui TS_FILES ${MORVANE_TS_FILES} SOURCES ${MORVANE_UI_SOURCES}
  INCLUDE_DIRECTORIES ${CMAKE_SOURCE_DIR}/src OPTIONS ${MORVANE_LUPDATE_OPTIONS})
qt6_add_lrelease(morvane_ui TS_FILES ${MORVANE_TS_FILES} QM_FILES_OUTPUT_VARIABLE MORVANE_QM_FILES)

cmake_path(RELATIVE_PATH CMAKE_INSTALL_FULL_DATADIR BASE_DIRECTORY "${CMAKE_INSTALL_FULL_BINDIR}"
  OUTPUT_VARIABLE MORVANE_DATADIR_FROM_BINDIR)
target_compile_definitions(morvane_ui PRIVATE
  MORVANE_TRANSLATIONS_RELATIVE_DIR="${MORVANE_DATADIR_FROM_BINDIR}/morvane/translations"
  MORVANE_TRANSLATIONS_DIR="${CMAKE_INSTALL_FULL_DATADIR}/morvane/translations")

install(FILES ${MORVANE_QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/morvane/translations)

if(MORVANE_BUILD_TESTS)
  # The window in German, as a user with a German locale starts it.
  add_executable(morvane_translation_tests src/app/translations_test.cpp src/testing/qt_test_main.cpp)
  target_link_libraries(morvane_translation_tests PRIVATE morvane_ui morvane_testing Qt6::Test)
  add_test(NAME window_in_german COMMAND morvane_translation_tests)
  set_tests_properties(window_in_german PROPERTIES ENVIRONMENT
    "LANG=de_DE.UTF-8;LC_ALL=de_DE.UTF-8;LANGUAGE=de_DE:de;QT_QPA_PLATFORM=offscreen")

  # Every text of the window has its German translation.
  add_test(NAME translations_complete
    COMMAND ${CMAKE_COMMAND}
      -DLUPDATE=$<TARGET_FILE:Qt6::lupdate>
      "-DLUPDATE_OPTIONS=${MORVANE_LUPDATE_OPTIONS}"
      "-DTS_FILES=${MORVANE_TS_FILES}"
      "-DSOURCES=${MORVANE_UI_SOURCES}"
      -DINCLUDE_DIR=${CMAKE_SOURCE_DIR}/src
      -DWORK_DIR=${CMAKE_BINARY_DIR}/translations-check
      -P ${CMAKE_SOURCE_DIR}/cmake/check_translations.cmake)
endif()
