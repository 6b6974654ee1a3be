# Tests of what a packager and a desktop see: the data files validate, an
# installation runs from any prefix with a clean environment, the programs
# answer --help and --version without a display, and a build without tests
# needs no GoogleTest. Included from the top-level list when BUILD_TESTING is on.

find_program(DESKTOP_FILE_VALIDATE desktop-file-validate)
if(DESKTOP_FILE_VALIDATE)
  add_test(NAME DesktopFile.Validates COMMAND ${DESKTOP_FILE_VALIDATE} ${CMAKE_SOURCE_DIR}/data/fonavid.desktop)
endif()

find_program(APPSTREAMCLI appstreamcli)
if(APPSTREAMCLI)
  add_test(NAME AppStream.Validates
           COMMAND ${APPSTREAMCLI} validate --no-net --explain ${CMAKE_SOURCE_DIR}/data/fonavid.metainfo.xml)
endif()

add_test(NAME Packaging.InstalledProgramsRunFromATemporaryPrefix
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/install-test.sh ${CMAKE_COMMAND} ${CMAKE_BINARY_DIR}
                 ${CMAKE_INSTALL_BINDIR} ${PROJECT_VERSION})
add_test(NAME Packaging.HelpAndVersionWithoutDisplay
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/no-display-test.sh $<TARGET_FILE:fonavid> ${PROJECT_VERSION})
add_test(NAME Packaging.ConfiguresWithoutTestsOrGoogleTest
         COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/no-tests-configure-test.sh ${CMAKE_COMMAND} ${CMAKE_SOURCE_DIR})
set_tests_properties(Packaging.InstalledProgramsRunFromATemporaryPrefix Packaging.ConfiguresWithoutTestsOrGoogleTest
                     PROPERTIES TIMEOUT 300)
