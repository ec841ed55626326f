# The Debian package: `cpack -G DEB` in a build configured with CMAKE_INSTALL_PREFIX=/usr
# (scripts/package.sh does both and runs lintian on the result).
include(GNUInstallDirs)

# Manual pages and the Debian changelog go in gzipped, as Debian's policy wants them;
# -n keeps the gzip header free of names and times, so the package is reproducible.
find_program(LECTORIX_GZIP gzip REQUIRED)
set(_packaging ${PROJECT_SOURCE_DIR}/packaging)
set(_gzipped)
foreach(_file lectorix.1 lectorix-tool.1 changelog)
    set(_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/${_file}.gz)
    if(_file STREQUAL changelog)
        set(_gz ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz)
    endif()
    add_custom_command(
        OUTPUT ${_gz}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/packaging
        COMMAND ${LECTORIX_GZIP} -9nc ${_packaging}/${_file} > ${_gz}
        DEPENDS ${_packaging}/${_file}
        VERBATIM)
    list(APPEND _gzipped ${_gz})
endforeach()
add_custom_target(lectorix_packaging_files ALL DEPENDS ${_gzipped})

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/lectorix.1.gz
              ${CMAKE_CURRENT_BINARY_DIR}/packaging/lectorix-tool.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
# The package is made here, not from a Debian source package: a native package, whose changelog
# is changelog.gz.
set(_docdir ${CMAKE_INSTALL_DATADIR}/doc/lectorix)
install(FILES ${_packaging}/copyright ${CMAKE_CURRENT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${_docdir})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lectorix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Lectorix maintainers <maintainers@users.noreply.c-seed-99482981.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "speed-reading trainer with paced pages")
set(CPACK_PACKAGE_DESCRIPTION
    "Lectorix lays a text out as pages of fixed-width lines and paces the reading\n\
with two shutters that move down the page at a speed set in characters per\n\
minute. It reads plain texts, RTF, FB2 and EPUB books and archives, keeps\n\
reading statistics and bookmarks, and offers word and number-table exercises.\n\
Its texts are Russian.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# What the program needs at run time that no shared library names: the faces behind the fonts
# the page and the settings name, the SVG icon plugin and the icon theme of the tool bars,
# and Qt's Russian texts for the standard dialogs.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "fonts-liberation2, fonts-urw-base35, fonts-dejavu-core, libqt6svg6, tango-icon-theme, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The desktop database and the MIME database are refreshed by dpkg's triggers of
# desktop-file-utils and shared-mime-info; nothing of our own runs at install.
include(CPack)
