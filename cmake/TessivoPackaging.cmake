# `cpack` in a build makes a Debian package of what `cmake --install` puts in place.

set(CPACK_PACKAGE_NAME tessivo)
set(CPACK_PACKAGE_VENDOR "Vandro 33")
set(CPACK_PACKAGE_CONTACT "Tessivo developers <tessivo@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "makes a site's password from its name, a user name and a short key")
set(CPACK_PACKAGE_HOMEPAGE_URL "${PROJECT_HOMEPAGE_URL}")
set(CPACK_STRIP_FILES ON)
if(CMAKE_STRIP)
    set(CPACK_TESSIVO_STRIP "${CMAKE_STRIP}")
    set(CPACK_PRE_BUILD_SCRIPTS "${CMAKE_CURRENT_LIST_DIR}/TessivoStripPackage.cmake")
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
# The long text under the summary; CPack indents it as Debian wants.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[
Tessivo makes a site's password from the site's name, the user name on it
and a master key of at most six characters, plus a length and a mode
(letters or digits). The same inputs always give the same password, so
nothing is ever stored.]=])
# dpkg-shlibdeps works out the Qt and C++ libraries the program links. Qt's xcb platform and
# JPEG image plugins, loaded at run time, come with libqt6gui6, which it finds that way too.
# Without it (or `file`, which CPack uses to find the binaries) CPack would quietly make a
# package that depends on nothing: name the libraries by hand then.
find_program(TESSIVO_DPKG_SHLIBDEPS dpkg-shlibdeps)
find_program(TESSIVO_FILE file)
if(TESSIVO_DPKG_SHLIBDEPS AND TESSIVO_FILE)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    message(STATUS "dpkg-shlibdeps or file missing (packages dpkg-dev, file): "
                   "the Debian package names its libraries by hand")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "libqt6widgets6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6core6 (>= 6.4), libwayland-client0, libstdc++6, libc6")
endif()
# Metric-compatible with the fonts the windows were drawn for, so every caption fits.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")

include(CPack)
