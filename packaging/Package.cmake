# The Debian package: `cpack --config build/CPackConfig.cmake -G DEB`, or
# scripts/package.sh, which builds what the package holds first.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME stickfight)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "stickfight maintainers <maintainers@users.noreply.c-seed-4afb6aab.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "3D fighting game for two players on one keyboard")
# Debian's long description: lines under 80 characters.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Two stick figures fight in a walled arena beside a small town, played by"
  "two players sharing one keyboard or with two gamepads. Walk, crouch, jump"
  "and chain three hits into a combo; every hit that lands takes a tenth of"
  "the other fighter's life. The camera turns around the fighters with the"
  "mouse, and a controls file moves the keys for keyboards that are not"
  "QWERTY.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
# The prefix the install sees is then /usr, not the staging folder, which the
# desktop entry would otherwise name.
set(CPACK_SET_DESTDIR ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded by Qt at run time, so no library link shows them: the X11 platform
# plugin. The fonts stand in for the ones the windows' layouts name; without
# them the texts fall back to another face.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine, fonts-comic-neue")
include(CPack)
