# What a system-wide install adds to the programs, and the Debian package CPack builds from it
# (scripts/package). The package's dependencies come from what the binaries link (dpkg-shlibdeps).

# The man page and the AppStream entry carry the version; the man page goes in gzipped, as man-db
# expects.
configure_file(packaging/hollin.1 ${CMAKE_CURRENT_BINARY_DIR}/packaging/hollin.1 @ONLY)
configure_file(packaging/org.hollin.Hollin.metainfo.xml ${CMAKE_CURRENT_BINARY_DIR}/packaging/org.hollin.Hollin.metainfo.xml @ONLY)
add_custom_command(OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/packaging/hollin.1.gz
  COMMAND gzip -9nc ${CMAKE_CURRENT_BINARY_DIR}/packaging/hollin.1 > ${CMAKE_CURRENT_BINARY_DIR}/packaging/hollin.1.gz
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/packaging/hollin.1 VERBATIM)
add_custom_target(hollin-man-page ALL DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/packaging/hollin.1.gz)

install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/hollin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/packaging/org.hollin.Hollin.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
# systemd looks for user units of a package in <prefix>/lib/systemd/user, not in the
# architecture's library folder.
install(FILES packaging/hollin.service DESTINATION lib/systemd/user)
install(FILES docs/metrics.md docs/prometheus/hollin-alerts.yml DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/hollin)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME hollin)
set(CPACK_PACKAGE_VENDOR "The Hollin developers")
set(CPACK_PACKAGE_CONTACT "The Hollin developers <feedback@hollin.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop health monitor: memory, SSD, battery, disk and crashes")
set(CPACK_PACKAGE_DESCRIPTION "Hollin samples memory, swap, memory pressure and every process every five seconds
and shows a four-step level as a coloured tray icon, with a status menu, an analysis
window and notifications in Japanese or English. It also watches the SSD's health
log, the battery and charger, disk space and its drain, crashing and hung
applications, backup age and temperatures, and can write its findings for
Prometheus' node_exporter.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://hollin.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Beside the linked libraries: setcap for the post-installation step, and Qt's platform plug-ins,
# which Qt loads at run time (headless runs need its offscreen one).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libcap2-bin, qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, udisks2")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "prometheus-node-exporter")
set(CPACK_DEBIAN_COMPRESSION_TYPE gzip)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/packaging/debian/postinst)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION TRUE)
include(CPack)
