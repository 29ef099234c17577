# The Debian package: `cpack -G DEB` in the build folder. It installs below
# /usr what `cmake --install` installs; its dependencies come from the
# libraries the programs link, so they follow the build machine's Debian.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vorlune)
set(CPACK_PACKAGE_VENDOR "The Vorlune developers")
set(CPACK_PACKAGE_CONTACT "The Vorlune developers <dev@vorlune.example.org>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://vorlune.example.org/)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "build game-server plugins without writing code")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
  "A desktop tool that builds PHP game-server plugins from a project of plugin\n\
settings and events with ordered actions, packed as a PHAR or ZIP archive.\n\
The vorlune-build command builds a project without any window.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Test runs start the system's PHP; building plugins needs none.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS php-cli)
set(CPACK_STRIP_FILES ON)
# cpack installs through the `preinstall` target, which by default builds
# everything first, every test and benchmark included: `make deb` builds
# vorlune_package instead, what the package holds, and packs only that.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
add_custom_target(vorlune_package)
add_dependencies(vorlune_package vorlune vorlune-build vorlune_site vorlune_debian_files)
include(CPack)
