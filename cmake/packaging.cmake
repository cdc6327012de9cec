# Installation and the Debian package.
#
#   cmake --install build --prefix /usr/local
#
# puts the program in bin/, the manual page in share/man/man1/ and the README,
# the copyright notice, the report templates and a sample ticket in
# share/doc/corvane/. CPack's DEB generator packages the same tree:
#
#   cpack --config build/CPackConfig.cmake -G DEB
#
# scripts/package.sh does both with Debian's build flags, and also makes the
# Windows zip.
include(GNUInstallDirs)

# GNUInstallDirs names the directory after the project, "Corvane"; Debian and
# every other system use the package name, in small letters. A directory
# chosen on the command line stays as it is.
if(CMAKE_INSTALL_DOCDIR STREQUAL "${CMAKE_INSTALL_DATAROOTDIR}/doc/${PROJECT_NAME}")
  set(CMAKE_INSTALL_DOCDIR "${CMAKE_INSTALL_DATAROOTDIR}/doc/corvane")
endif()

# Modes of what is installed do not depend on the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(corvane_doc_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)

# The manual page as installed carries the project's version.
file(READ doc/corvane.1 corvane_page)
string(REGEX REPLACE "\n\\.ds Vn [^\n]*" "\n.ds Vn ${PROJECT_VERSION}" corvane_page "${corvane_page}")
set(corvane_old_page "")
if(EXISTS ${CMAKE_CURRENT_BINARY_DIR}/corvane.1)
  file(READ ${CMAKE_CURRENT_BINARY_DIR}/corvane.1 corvane_old_page)
endif()
if(NOT corvane_page STREQUAL corvane_old_page)
  file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/corvane.1 "${corvane_page}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS doc/corvane.1)

install(TARGETS corvane RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/corvane.1
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        PERMISSIONS ${corvane_doc_permissions})
install(FILES README.md doc/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR}
        PERMISSIONS ${corvane_doc_permissions})
# From the example node: the report templates and a sample ticket. The demo
# files the tickets announce are stand-ins, not worth shipping.
install(FILES examples/prefix.nef examples/suffix.nef examples/inbound/TK000001.TIC
        DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples
        PERMISSIONS ${corvane_doc_permissions})

if(WIN32)
  # The Windows program ships as a zip (scripts/package.sh), not via CPack.
  return()
endif()
if(CMAKE_CROSSCOMPILING AND NOT CORVANE_DEBIAN_ARCH)
  # A cross build's package is for the target's Debian architecture, which
  # its toolchain file names (cmake/linux-cross.cmake); without one, none.
  return()
endif()

# Debian package. The version is the project's, with Debian revision 1.
set(CPACK_PACKAGE_NAME corvane)
set(CPACK_PACKAGE_VENDOR "Corvane developers")
set(CPACK_PACKAGE_CONTACT "Corvane maintainers <maintainers@corvane.invalid>"
    CACHE STRING "Maintainer of the Debian package: name and mail address")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
if(CMAKE_CROSSCOMPILING)
  # CPack would take the build machine's architecture from dpkg. For the
  # dependencies dpkg-shlibdeps needs the target's own run-time packages
  # installed beside the build machine's (dpkg multiarch, e.g. libc6:arm64
  # and libstdc++6:arm64), and cpack run with the target as the host
  # architecture (dpkg-architecture -a arm64 -c cpack ...), as
  # scripts/package.sh does: Debian's cross packages name themselves
  # (libgcc-s1-arm64-cross), not what an arm64 system installs.
  set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${CORVANE_DEBIAN_ARCH})
endif()
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The first line is the synopsis; the lines after it, the long description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "FidoNet file-echo ticket processor and new-files report writer
Corvane keeps the file-distribution side of a FidoNet node in order.
It takes in the tickets (*.tic) that arrive with files in the inbound
directory, records them in a small database, moves the files and tickets
aside, marks tickets bad when a checker leaves a marker file, and writes
a plain-text new-files report grouped by file area.
.
It is a console program meant to run as the node's user from cron or
from the mailer after a session, and shares its database format with
the Windows build.")

# What Debian wants beyond the install tree (a stripped program, compressed
# manual page, changelog.Debian.gz, lintian overrides) is done in the staging
# directory just before CPack packs it, so `cmake --install` stays plain.
# The changelog's date is SOURCE_DATE_EPOCH's when set (package.sh sets it).
string(TIMESTAMP corvane_changelog_date "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in
               ${CMAKE_CURRENT_BINARY_DIR}/debian/changelog @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/stage.cmake.in
               ${CMAKE_CURRENT_BINARY_DIR}/debian/stage.cmake @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_BINARY_DIR}/debian/stage.cmake)

include(CPack)
