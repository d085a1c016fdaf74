# What a Debian system expects beside the programs (manual pages, the package's
# copyright and changelog, systemd units), and the package itself:
# `cpack -G DEB` in the build folder makes oculon_VERSION_ARCH.deb for /usr.
set(OCULON_PACKAGING_DIR ${CMAKE_SOURCE_DIR}/packaging)
set(OCULON_PACKAGING_OUT ${CMAKE_BINARY_DIR}/packaging)

# Manual pages and the changelog go in gzipped at the highest level without a
# name or time stamp, so that the same sources give the same package.
find_program(OCULON_GZIP gzip REQUIRED)
set(OCULON_GZIPPED)
foreach(name oculon-headless.1 oculon.1 changelog)
  add_custom_command(OUTPUT ${OCULON_PACKAGING_OUT}/${name}.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${OCULON_PACKAGING_OUT}
      COMMAND ${OCULON_GZIP} -9nc ${OCULON_PACKAGING_DIR}/${name} > ${OCULON_PACKAGING_OUT}/${name}.gz
      DEPENDS ${OCULON_PACKAGING_DIR}/${name}
      VERBATIM)
  list(APPEND OCULON_GZIPPED ${OCULON_PACKAGING_OUT}/${name}.gz)
endforeach()
add_custom_target(oculon_packaging_files ALL DEPENDS ${OCULON_GZIPPED})

install(FILES ${OCULON_PACKAGING_OUT}/oculon-headless.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
if(OCULON_BUILD_GUI)
  install(FILES ${OCULON_PACKAGING_OUT}/oculon.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
install(FILES ${OCULON_PACKAGING_DIR}/copyright ${OCULON_PACKAGING_OUT}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/oculon)
# Below the prefix, where systemd looks for units of /usr and /usr/local alike.
install(FILES ${OCULON_PACKAGING_DIR}/oculon-headless.service
        DESTINATION lib/systemd/user)
install(FILES ${OCULON_PACKAGING_DIR}/oculon-headless@.service
        DESTINATION lib/systemd/system)

set(CPACK_PACKAGE_NAME oculon)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Oculon developers")
set(CPACK_PACKAGE_CONTACT "The Oculon developers <oculon@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "watch one webcam for motion and record what happens")
set(CPACK_PACKAGE_DESCRIPTION
    "Oculon shows the live picture of one webcam with a title and a time stamp\n"
    "burnt in, and watches it for motion. On motion it records a movie and\n"
    "numbered JPEG stills into an archive folder, sounds a siren, and can mail a\n"
    "report with the movie and a preview still. oculon-headless runs the same\n"
    "watch without windows, from a login or from boot through systemd.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://oculon.example.org/")
# A Debian package lives in /usr whatever the build was configured for; every
# install destination is relative, and the programs find their data from
# their own folder.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION video)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Runtime dependencies from the libraries the programs are linked with (dpkg-shlibdeps),
# after those the programs open only when a feature needs them: FFmpeg's device
# library when a camera opens, libcurl, libmosquitto and libsecret (the packages
# of the sonames src/core opens).
string(REGEX MATCH "^[0-9]+" OCULON_AVDEVICE_MAJOR "${FFMPEG_libavdevice_VERSION}")
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libavdevice${OCULON_AVDEVICE_MAJOR}, libcurl4, libmosquitto1, libsecret-1-0")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
