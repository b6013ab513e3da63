# What the Debian package installs, and the package itself (cpack -G DEB).
# Paths are relative to the install prefix; the package installs into /usr.

set(KESTO_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)

# The udev rule giving the user at the seat access to the writers.
install(FILES ${KESTO_PACKAGING_DIR}/70-vren-kesto.rules DESTINATION lib/udev/rules.d)

install(FILES ${KESTO_PACKAGING_DIR}/vren-kesto-configurator.desktop DESTINATION share/applications)
install(FILES ${KESTO_PACKAGING_DIR}/vren-kesto-configurator.svg DESTINATION share/icons/hicolor/scalable/apps)
install(FILES ${KESTO_PACKAGING_DIR}/debian/copyright DESTINATION share/doc/vren-kesto-configurator)

# Man pages and the changelog are shipped compressed with gzip -9n (no name,
# no time stamp), so the same sources give the same package bytes.
function(kesto_gzip_file source output)
  get_filename_component(name ${output} NAME_WLE)
  set(plain ${CMAKE_BINARY_DIR}/packaging/${name})
  add_custom_command(OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${plain}
    COMMAND gzip -9nf ${plain}
    DEPENDS ${source}
    VERBATIM)
endfunction()

set(KESTO_GZIPPED
  ${CMAKE_BINARY_DIR}/packaging/VREN_Kesto_Configurator.1.gz
  ${CMAKE_BINARY_DIR}/packaging/vren-kesto.1.gz
  ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
kesto_gzip_file(${KESTO_PACKAGING_DIR}/VREN_Kesto_Configurator.1 ${CMAKE_BINARY_DIR}/packaging/VREN_Kesto_Configurator.1.gz)
kesto_gzip_file(${KESTO_PACKAGING_DIR}/vren-kesto.1 ${CMAKE_BINARY_DIR}/packaging/vren-kesto.1.gz)
kesto_gzip_file(${KESTO_PACKAGING_DIR}/debian/changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
add_custom_target(kesto_packaging_files ALL DEPENDS ${KESTO_GZIPPED})

install(FILES ${CMAKE_BINARY_DIR}/packaging/VREN_Kesto_Configurator.1.gz DESTINATION share/man/man1)
install(FILES ${CMAKE_BINARY_DIR}/packaging/changelog.gz DESTINATION share/doc/vren-kesto-configurator)

# The command-line tool may be defined by a file read after this one, so its
# install rules are made once the whole top-level CMakeLists.txt is read.
function(kesto_install_command_line_tool)
  if(TARGET vren-kesto)
    install(TARGETS vren-kesto RUNTIME DESTINATION bin)
    install(FILES ${CMAKE_BINARY_DIR}/packaging/vren-kesto.1.gz DESTINATION share/man/man1)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL kesto_install_command_line_tool)

# ---------------------------------------------------------------- package
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vren-kesto-configurator)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Velmont")
set(CPACK_PACKAGE_CONTACT "Velmont VREN Kesto team <kesto@velmont.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prepares VREN Kesto USB flash writers")
set(CPACK_PACKAGE_DESCRIPTION
"Configures up to ten VREN Kesto stand-alone USB flash writers at once. The
desktop program lists the connected writers and their contact state, reads a
writer's stored file names and its configuration into an editable page, writes
the configuration into every checked writer in parallel, reads it back to
verify it, and formats the writers' file systems.

The command-line tool vren-kesto does the same from scripts. A udev rule lets
the user at the seat open the writers (USB 2F1A:0018) without root.")
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
# The linked libraries come from dpkg-shlibdeps. Qt loads its platform
# plugins (xcb, wayland) at run time, so the window needs them named here;
# the Hangul captions need a Korean font.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-nanum")
# Reload udev after the rule comes or goes, so writers already plugged in
# are handled without a reboot.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${KESTO_PACKAGING_DIR}/debian/postinst
  ${KESTO_PACKAGING_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Only the .deb: no source archive of whatever lies in the work tree.
set(CPACK_SOURCE_GENERATOR "")
include(CPack)
