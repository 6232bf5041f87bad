# The Debian package: `cpack -G DEB` in a configured build (scripts/package.sh does it all)
# gives velmora_VERSION_ARCH.deb with everything `cmake --install` puts below /usr.
if(APPLE OR WIN32)
  return()
endif()

# Debian wants a copyright file and a compressed changelog in the package's doc folder.
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/velmora)
execute_process(COMMAND date -u -R -d ${VELMORA_RELEASE_DATE}
                OUTPUT_VARIABLE VELMORA_RELEASE_DATE_RFC2822 OUTPUT_STRIP_TRAILING_WHITESPACE
                COMMAND_ERROR_IS_FATAL ANY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${PROJECT_BINARY_DIR}/packaging/changelog @ONLY)
add_custom_command(
  OUTPUT ${PROJECT_BINARY_DIR}/packaging/changelog.gz
  COMMAND gzip -9nkf ${PROJECT_BINARY_DIR}/packaging/changelog
  DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(velmora_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/packaging/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${PROJECT_BINARY_DIR}/packaging/changelog.gz
        DESTINATION ${doc_dir})

# The web console as a service, not enabled on install: its unit, its commented configuration
# (kept across upgrades as a conffile) and the system user it runs as (made by postinst).
# They belong beside /usr (/etc, /lib), so they are installed only into a prefix that ends in
# /usr: the package's, or a system install; a test prefix elsewhere gets the programs alone.
set(VELMORA_PACKAGING_DIR ${PROJECT_SOURCE_DIR}/packaging)
install(CODE "set(packaging \"${VELMORA_PACKAGING_DIR}\")")
install(CODE [[
  if(CMAKE_INSTALL_PREFIX MATCHES "/usr$")
    string(REGEX REPLACE "/usr$" "" root "${CMAKE_INSTALL_PREFIX}") # file(INSTALL) adds DESTDIR
    file(INSTALL "${packaging}/velmora-web.service" DESTINATION "${root}/lib/systemd/system")
    file(INSTALL "${packaging}/web.conf" DESTINATION "${root}/etc/velmora")
  endif()
]])
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/postinst ${PROJECT_SOURCE_DIR}/packaging/postrm
    ${PROJECT_SOURCE_DIR}/packaging/conffiles)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Velmora developers")
set(CPACK_PACKAGE_CONTACT "The Velmora developers <maintainers@velmora.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://velmora.org/")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "find and clean regenerable data of Final Cut Pro libraries
Velmora finds every Final Cut Pro library (.fcpbundle) below a drive or
folder, shows each library's size and how much of it is render files,
proxy media, optimized media and analysis files, and deletes that data
on request: one kind at a time, a whole library, or every library on the
drive. Final Cut Pro rebuilds all of it on demand.
.
The package holds the window, velmora, and its terminal companion,
velmora-cli, which scans and cleans from a shell with table or JSON
output, and serves a web console (velmora-web.service, not enabled on
install) for the editors' browsers.")
# The libraries the programs link come from dpkg-shlibdeps. What it cannot see: the QML
# modules the window and its folder chooser import at run time (their plugins are loaded by
# the QML engine), the SVG image and icon plugins that draw its icons, and the font that shows
# the Chinese texts. The Wayland platform plugin is welcome but not needed: without it Qt
# shows the window through XWayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qml6-module-qtqml, qml6-module-qtqml-workerscript, qml6-module-qtquick, \
qml6-module-qtquick-controls, qml6-module-qtquick-templates, qml6-module-qtquick-layouts, \
qml6-module-qtquick-dialogs, qml6-module-qt-labs-folderlistmodel, libqt6svg6, fonts-wqy-microhei, adduser")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
include(CPack)
