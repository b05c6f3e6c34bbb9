# Installing on Linux and the Debian package (cpack -G DEB, or scripts/package.sh): the console
# front-end, the window when DELTRIX_GUI is on, their manual pages made from --help by help2man,
# the bash completion, and for the window the desktop entry, its icons and the AppStream metainfo.
include(GNUInstallDirs)

find_program(HELP2MAN help2man REQUIRED)
set(DELTRIX_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)
set(DELTRIX_MAN_DIR ${PROJECT_BINARY_DIR}/man)

# deltrix_man_page(TARGET HELP_OPTION DESCRIPTION): TARGET.1 from TARGET's help, with the files a
# run writes on the card; installed compressed.
function(deltrix_man_page target help_option description)
  set(page ${DELTRIX_MAN_DIR}/${target}.1)
  add_custom_command(
    OUTPUT ${page} ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${DELTRIX_MAN_DIR}
    COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0
            ${HELP2MAN} --no-info --section=1 --help-option=${help_option}
            --version-string=${PROJECT_VERSION} --name=${description}
            --source=deltrix-creator --include=${DELTRIX_PACKAGING}/card-files.h2m
            --output=${page} $<TARGET_FILE:${target}>
    COMMAND gzip -9nf --keep ${page}
    DEPENDS ${target} ${DELTRIX_PACKAGING}/card-files.h2m
    COMMENT "Writing the manual page ${target}(1)"
    VERBATIM)
  add_custom_target(${target}_man_page ALL DEPENDS ${page} ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

install(TARGETS deltrix-creator RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
deltrix_man_page(deltrix-creator --help-all
                 "build the music library of a portable player on its card")
install(FILES ${DELTRIX_PACKAGING}/deltrix-creator.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
        RENAME deltrix-creator)

if(DELTRIX_GUI)
  install(TARGETS deltrix-creator-gui RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  deltrix_man_page(deltrix-creator-gui --help
                   "build the music library of a portable player on its card, in a window")
  install(FILES ${DELTRIX_PACKAGING}/deltrix-creator-gui.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(DIRECTORY ${DELTRIX_ICON_DIR}/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  configure_file(${DELTRIX_PACKAGING}/org.deltrix.Creator.metainfo.xml.in
                 ${PROJECT_BINARY_DIR}/org.deltrix.Creator.metainfo.xml @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/org.deltrix.Creator.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
endif()

# Debian's documentation files: the copyright and the changelog, compressed as policy asks.
set(DELTRIX_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/deltrix-creator)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/changelog.gz
  COMMAND gzip -9nc ${DELTRIX_PACKAGING}/changelog > ${PROJECT_BINARY_DIR}/changelog.gz
  DEPENDS ${DELTRIX_PACKAGING}/changelog
  VERBATIM)
add_custom_target(deltrix_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.gz)
install(FILES ${DELTRIX_PACKAGING}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${DELTRIX_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME deltrix-creator)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_CONTACT "Deltrix Library Creator maintainers <maintainers@deltrix.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "music library builder for a portable player's card")
# The synopsis is the summary above; this is the extended description below it.
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "A portable music player browses the music on its USB stick or memory card\n"
       "through a small library stored on the card. This program builds it: it\n"
       "reads the tags of every audio file on the card (MP3, M4A, MP4, AAC, WAV,\n"
       "AIFF), sorts the tracks the way the player does and writes the library.\n"
       "It has a console front-end, deltrix-creator, and a window,\n"
       "deltrix-creator-gui.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
