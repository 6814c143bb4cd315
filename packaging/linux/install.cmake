# The system installation the Debian package holds (component "system", left out of a plain
# `cmake --install`, which keeps the flat layout): the programs keep their relative paths below
# lib/tarnex, the data sits in share/tarnex and lib/tarnex links to it.
set(TARNEX_APP_DIR lib/tarnex)
install(TARGETS tarnex tarnex-screenshot RUNTIME DESTINATION ${TARNEX_APP_DIR}
        COMPONENT system EXCLUDE_FROM_ALL)
install(TARGETS tarnex-update RUNTIME DESTINATION ${TARNEX_APP_DIR}/update
        COMPONENT system EXCLUDE_FROM_ALL)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/emojis ${CMAKE_SOURCE_DIR}/menuimages
        DESTINATION share/tarnex COMPONENT system EXCLUDE_FROM_ALL)
install(CODE [[
    set(root "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    file(MAKE_DIRECTORY "${root}/bin")
    file(CREATE_LINK ../lib/tarnex/tarnex "${root}/bin/tarnex" SYMBOLIC)
    foreach(folder emojis menuimages)
        file(CREATE_LINK ../../share/tarnex/${folder} "${root}/lib/tarnex/${folder}" SYMBOLIC)
    endforeach()
]] COMPONENT system EXCLUDE_FROM_ALL)

set(TARNEX_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging/linux)
install(FILES ${TARNEX_PACKAGING_DIR}/tarnex.desktop DESTINATION share/applications
        COMPONENT system EXCLUDE_FROM_ALL)
install(FILES ${TARNEX_PACKAGING_DIR}/tarnex.metainfo.xml DESTINATION share/metainfo
        RENAME invalid.tarnex.client.metainfo.xml COMPONENT system EXCLUDE_FROM_ALL)
install(FILES ${TARNEX_PACKAGING_DIR}/copyright DESTINATION share/doc/tarnex
        COMPONENT system EXCLUDE_FROM_ALL)

# The icons, the manual page and the change log are made from their sources by the
# tarnex-package-files target (scripts/package builds it), so only the SVG is kept in git.
set(TARNEX_ICON_SVG ${CMAKE_SOURCE_DIR}/qml/images/logo.svg)
set(TARNEX_ICON_SIZES 16 22 24 32 48 64 128 256 512)
set(made ${CMAKE_BINARY_DIR}/package-files)
set(outputs)
find_program(RSVG_CONVERT_PROGRAM rsvg-convert)
foreach(size ${TARNEX_ICON_SIZES})
    set(png ${made}/icons/${size}x${size}/tarnex.png)
    add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${made}/icons/${size}x${size}
        COMMAND ${RSVG_CONVERT_PROGRAM} -w ${size} -h ${size} -o ${png} ${TARNEX_ICON_SVG}
        DEPENDS ${TARNEX_ICON_SVG} VERBATIM)
    list(APPEND outputs ${png})
    install(FILES ${png} DESTINATION share/icons/hicolor/${size}x${size}/apps
            COMPONENT system EXCLUDE_FROM_ALL)
endforeach()
install(FILES ${TARNEX_ICON_SVG} DESTINATION share/icons/hicolor/scalable/apps RENAME tarnex.svg
        COMPONENT system EXCLUDE_FROM_ALL)
# Compressed the way Debian wants them: best compression, no name or time stamp inside.
foreach(pair "tarnex.1|man/man1/tarnex.1.gz" "changelog|doc/tarnex/changelog.gz")
    string(REPLACE "|" ";" pair "${pair}")
    list(GET pair 0 source)
    list(GET pair 1 target)
    get_filename_component(target_dir ${target} DIRECTORY)
    add_custom_command(OUTPUT ${made}/${target}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${made}/${target_dir}
        COMMAND sh -c "gzip -9n < \"$0\" > \"$1\"" ${TARNEX_PACKAGING_DIR}/${source}
                ${made}/${target}
        DEPENDS ${TARNEX_PACKAGING_DIR}/${source} VERBATIM)
    list(APPEND outputs ${made}/${target})
    install(FILES ${made}/${target} DESTINATION share/${target_dir}
            COMPONENT system EXCLUDE_FROM_ALL)
endforeach()
add_custom_target(tarnex-package-files DEPENDS ${outputs})

# The package (cpack in the build folder, run by scripts/package): the system component with
# its dependencies computed by dpkg-shlibdeps, plus the QML modules the documents import, which
# no linker sees.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "tarnex developers <dev@tarnex.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop client of the office-automation server")
# The synopsis comes from the summary; CPack indents these lines.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "tarnex opens one window for the organisation's server: \
instant messaging\nwith colleagues and groups, the directory, the server's reminders and a menu of\n\
the server's modules.")
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};tarnex;system;/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml-module-qtquick2, qml-module-qtquick-window2, qml-module-qtquick-controls2, \
qml-module-qtgraphicaleffects, qml-module-qt-labs-platform, qml-module-qtwebengine, \
libqt5sql5-sqlite")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, gnome-keyring")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tarnex.invalid/")
include(CPack)
