# The Debian package: in a build configured with -DPELLIMUNCH_PACKAGE=ON,
# `cpack -G DEB` (or the `package` target) gives pellimunch_<version>_<arch>.deb
# with the game in /usr/games, its data in /usr/share/games/pellimunch, the
# menu entry and icons, the AppStream metainfo, and the copyright file and
# changelog Debian asks for. The version is the project's own.

set(PELLIMUNCH_MAINTAINER "Pellimunch developers <maintainers@pellimunch.example>"
  CACHE STRING "The package's Maintainer field")
set(PELLIMUNCH_HOMEPAGE "https://pellimunch.example"
  CACHE STRING "The game's web home; the AppStream screenshots are <home>/screenshots/*.png (docs/*.png)")
set(PELLIMUNCH_APPSTREAM_ID example.pellimunch.Pellimunch)

# Debian's own build flags: packaging/debian_flags.cmake, taken in before
# the server's folder (src/board) so that it is built with them too.
# The package needs only the game, its data and its icons: installing does
# not build the developers' tools (build_deb.sh builds what it needs).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

# The AppStream metainfo and the changelog are made from templates so that
# their version is the project's; their release is dated the day of the
# build, or of SOURCE_DATE_EPOCH when it is set (build_deb.sh sets it to the
# time of the last commit).
string(TIMESTAMP PELLIMUNCH_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP PELLIMUNCH_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(pkg ${CMAKE_BINARY_DIR}/package)
configure_file(${CMAKE_CURRENT_LIST_DIR}/pellimunch.metainfo.xml.in
  ${pkg}/${PELLIMUNCH_APPSTREAM_ID}.metainfo.xml @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/changelog.in ${pkg}/changelog @ONLY)

# Overrides for what lintian says that cannot be mended here, each with its
# reason.
file(READ ${CMAKE_CURRENT_LIST_DIR}/lintian-overrides overrides)
if(overrides MATCHES "(^|\n)[^#\n]")
  file(GENERATE OUTPUT ${pkg}/lintian/pellimunch CONTENT "${overrides}")
  install(FILES ${pkg}/lintian/pellimunch DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides)
endif()

install(FILES ${pkg}/${PELLIMUNCH_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/copyright ${pkg}/changelog DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/pellimunch)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME pellimunch)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${PELLIMUNCH_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# The programs go in unstripped: the generator splits their debug symbols
# into pellimunch-dbgsym_<version>_<arch>.ddeb (found by build id under
# /usr/lib/debug/.build-id) and strips them in the package.
set(CPACK_STRIP_FILES OFF)
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PELLIMUNCH_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PELLIMUNCH_HOMEPAGE})
# The libraries the program links, as dpkg-shlibdeps finds them, and the
# font its text is drawn in.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS fonts-ipafont-gothic)
file(READ ${CMAKE_CURRENT_LIST_DIR}/description.txt CPACK_DEBIAN_PACKAGE_DESCRIPTION)
string(STRIP "${CPACK_DEBIAN_PACKAGE_DESCRIPTION}" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
# Compressed manual pages and changelogs, programs without compiler notes.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/finish_staging.cmake)
include(CPack)
