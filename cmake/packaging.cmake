# cpack -G DEB: vzupdater_<version>_<arch>.deb of the installed programs.
# The dependencies are read from the programs themselves (dpkg-shlibdeps), so
# they name the runtime libraries they link (Qt 6, the C++ library) and
# nothing of the build.
set(CPACK_PACKAGE_NAME vzupdater)
# All four parts: the default would drop the fourth.
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Zentrik")
set(CPACK_PACKAGE_CONTACT "Zentrik <support@zentrik.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Firmware updater for Vorna-Zadod video devices")
set(CPACK_PACKAGE_DESCRIPTION
  "Updates the firmware of the Vorna-Zadod models (KRA350, KRB350, KRC350, KRD350,
KRT120) over a serial line: the boot area, the keyboard flash banks and the JTAG
PROMs. Contains the window vzupdater, the command line vzflash and the emulated
device vzdevice.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://zentrik.example/vzupdater")
include(CPack)
